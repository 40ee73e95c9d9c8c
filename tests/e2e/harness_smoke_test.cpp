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
    char wanted[8] = "";
    if (GetEnvironmentVariableA("BRISKLET_E2E_BITS", wanted, sizeof wanted) > 0) {
        const DWORD expected = std::string(wanted) == "32" ? SCS_32BIT_BINARY : SCS_64BIT_BINARY;
        EXPECT_EQ(expected, type) << e2e::BriskletExe();
    }
    e2e::Process process = e2e::StartBrisklet();
    EXPECT_NE(nullptr, e2e::FindBar()) << "the program found the InstalledPath written for it";
    EXPECT_TRUE(e2e::CloseBrisklet(process));
}

// What Wine 8's WoW64 mode cannot do in a 32-bit process, asked of a small helper built for the
// program's processor: against the 32-bit program the tests that need it are skipped
// (E2E_REQUIRES_COMBO_BOX, E2E_REQUIRES_32BIT_GDI, the mouse click on a bar's button), and these
// fail the day Wine can, when the skips must go. Against the 64-bit program everything must work.
namespace {

DWORD AskCanary(const char* question) {
    const std::string canary = e2e::TargetFolder() + "\\wow64_canary.exe";
    EXPECT_TRUE(e2e::FileExists(canary)) << canary;
    e2e::Process process = e2e::Process::Start(canary, question);
    EXPECT_TRUE(process.WaitForExit(20000)) << question;
    return process.exitCode();
}

// The helper must fail (exit code 1) in the 32-bit program's world and work (0) in the 64-bit one.
void ExpectOnlyThe32BitProcessFails(const char* question, const char* skipsToRemove) {
    if (e2e::Target32Bit()) {
        EXPECT_EQ(1u, AskCanary(question)) << "\"" << question << "\" now works in a 32-bit process: remove "
                                           << skipsToRemove << " and this case";
    } else {
        EXPECT_EQ(0u, AskCanary(question));
    }
}

}  // namespace

TEST(Wow64Canary, ComboBoxCannotBeCreatedInThe32BitProcess) {
    ExpectOnlyThe32BitProcessFails("combo-box", "E2E_REQUIRES_COMBO_BOX from the tests");
}

TEST(Wow64Canary, GdiFailsInThe32BitProcess) {
    ExpectOnlyThe32BitProcessFails("gdi", "E2E_REQUIRES_32BIT_GDI from the tests");
}

// The bar's buttons under the mouse (BarWindow.AltQuestionMarkWorksWhileAButtonHasTheFocus).
TEST(Wow64Canary, MenuBarIsMismeasuredInThe32BitProcess) {
    ExpectOnlyThe32BitProcessFails("menu-bar", "the 32-bit skip of the mouse click on the bar");
}
