#include <gtest/gtest.h>

#include "tests/e2e/harness.h"

// The harness itself: registry round trips and Button file images, before any program runs.
TEST(Harness, RegistryAndFileHelpersRoundTrip) {
    e2e::ResetState();
    std::string value;
    EXPECT_FALSE(e2e::ReadUserString("CurrentButtonFileName", &value)) << "ResetState removes the per-user key";
    ASSERT_TRUE(e2e::WriteUserString("CurrentButtonFileName", "C:\\x.bklt"));
    ASSERT_TRUE(e2e::ReadUserString("CurrentButtonFilename", &value));
    EXPECT_EQ("C:\\x.bklt", value);
    e2e::DeleteUserKey();
    EXPECT_FALSE(e2e::ReadUserString("CurrentButtonFileName", &value));

    const auto image = e2e::MakeButtonFile({{"One", "http://one.example/"}, {"Two", "http://two.example/"}});
    ASSERT_EQ(64996u, image.size());
    const std::string path = e2e::ScratchFolder("harness") + "\\two.bklt";
    ASSERT_TRUE(e2e::WriteFileBytes(path, image.data(), image.size()));
    EXPECT_EQ(image, e2e::ReadFileBytes(path));
    EXPECT_EQ(2, image[16]);
}

// The harness drives the build named for it, and the program reads "InstalledPath" from the
// registry view that harness writes.
TEST(Harness, DrivesTheTargetBuildAndWritesItsRegistryView) {
    e2e::ResetState();
    DWORD type = 0;
    ASSERT_TRUE(GetBinaryTypeA(e2e::BriskletExe().c_str(), &type)) << e2e::BriskletExe();
    // Without BRISKLET_E2E_BITS the harness drives the 64-bit build beside it.
    char wanted[8] = "64";
    GetEnvironmentVariableA("BRISKLET_E2E_BITS", wanted, sizeof wanted);
    EXPECT_EQ(std::string(wanted) == "32" ? SCS_32BIT_BINARY : SCS_64BIT_BINARY, type) << e2e::BriskletExe();
    EXPECT_EQ(std::string(wanted) == "32", e2e::Target32Bit());
    e2e::Process process = e2e::StartBrisklet();
    EXPECT_NE(nullptr, e2e::FindBar()) << "the program found the InstalledPath written for it";
    EXPECT_TRUE(e2e::CloseBrisklet(process));
}
