#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include "app/startup_rules.h"

namespace {

TEST(StartupCommandLine, AnyCountButOneAsksForActivation) {
    EXPECT_EQ(CommandLineRequest::Activate, ClassifyCommandLine(0, nullptr));
    EXPECT_EQ(CommandLineRequest::Activate, ClassifyCommandLine(2, "C:\\My"));
    EXPECT_EQ(CommandLineRequest::Activate, ClassifyCommandLine(3, "a.bklt"));
}

TEST(StartupCommandLine, ButtonFileInAnyLetterCase) {
    EXPECT_EQ(CommandLineRequest::OpenButtonFile, ClassifyCommandLine(1, "C:\\Work.Bklt"));
    EXPECT_EQ(CommandLineRequest::OpenButtonFile, ClassifyCommandLine(1, "c:\\list.bklt"));
    EXPECT_EQ(CommandLineRequest::OpenButtonFile, ClassifyCommandLine(1, "X.BKLT"));
    EXPECT_EQ(CommandLineRequest::OpenButtonFile, ClassifyCommandLine(1, ".bklt"));
    EXPECT_EQ(CommandLineRequest::OpenButtonFile, ClassifyCommandLine(1, "a.bklt.BkLt"));
}

TEST(StartupCommandLine, ExtensionPresentButNotLast) {
    EXPECT_EQ(CommandLineRequest::BadExtension, ClassifyCommandLine(1, "list.bklt.doc"));
    EXPECT_EQ(CommandLineRequest::BadExtension, ClassifyCommandLine(1, "list.bklt "));
    EXPECT_EQ(CommandLineRequest::BadExtension, ClassifyCommandLine(1, "list.bkl.bklts"));
    // Holding ".BKLT" and ending in T is not enough: the name must end in the extension.
    EXPECT_EQ(CommandLineRequest::BadExtension, ClassifyCommandLine(1, "notes.bklt.txt"));
    EXPECT_EQ(CommandLineRequest::BadExtension, ClassifyCommandLine(1, "list.bkltt"));
}

TEST(StartupCommandLine, NoExtensionIsIgnored) {
    EXPECT_EQ(CommandLineRequest::Ignore, ClassifyCommandLine(1, "readme.txt"));
    EXPECT_EQ(CommandLineRequest::Ignore, ClassifyCommandLine(1, ""));
    EXPECT_EQ(CommandLineRequest::Ignore, ClassifyCommandLine(1, "bklt"));
    EXPECT_EQ(CommandLineRequest::Ignore, ClassifyCommandLine(1, "a.bkl t"));
}

TEST(StartupCommandLine, LongestArgumentThatFitsAndOneBeyond) {
    std::string fits(1023 - 5, 'a');
    fits += ".bklt";
    EXPECT_EQ(CommandLineRequest::OpenButtonFile, ClassifyCommandLine(1, fits.c_str()));
    EXPECT_EQ(CommandLineRequest::Ignore, ClassifyCommandLine(1, ("a" + fits).c_str()));
    std::string huge(5000 - 5, 'x');
    huge += ".bklt";
    EXPECT_EQ(CommandLineRequest::Ignore, ClassifyCommandLine(1, huge.c_str()));
    EXPECT_EQ(CommandLineRequest::Ignore, ClassifyCommandLine(1, (huge + ".doc").c_str()));
}

TEST(StartupUpperCase, OnlyAsciiLettersChangeAndTheCopyIsBounded) {
    char out[16];
    ASSERT_TRUE(UpperCaseCopy("ab\xe4z-Q.bklt", out, sizeof out));
    EXPECT_STREQ("AB\xe4Z-Q.BKLT", out);
    std::memset(out, 'x', sizeof out);
    EXPECT_TRUE(UpperCaseCopy("123456789012345", out, sizeof out));  // 15 characters fit
    EXPECT_FALSE(UpperCaseCopy("1234567890123456", out, sizeof out));
    EXPECT_STREQ("", out);
    EXPECT_FALSE(UpperCaseCopy("a", out, 0));
}

TEST(StartupPaths, QuotedProgramAndHelpPath) {
    char out[kInstallPathSize];
    ASSERT_TRUE(BuildQuotedProgramPath("C:\\Program Files\\Brisklet", out, sizeof out));
    EXPECT_STREQ("\"C:\\Program Files\\Brisklet\\brisklet.exe\"", out);
    ASSERT_TRUE(BuildHelpPath("C:\\Program Files\\Brisklet", out, sizeof out));
    EXPECT_STREQ("C:\\Program Files\\Brisklet\\brisklet.chm", out);
}

TEST(StartupPaths, InstallFolderLengthLimit) {
    // 1 + n + 13 + 1 characters must fit in 1,023: n = 1,008 is the longest usable folder.
    const std::string longest(1008, 'f');
    EXPECT_TRUE(InstallFolderUsable(longest.c_str()));
    char out[kInstallPathSize];
    ASSERT_TRUE(BuildQuotedProgramPath(longest.c_str(), out, sizeof out));
    EXPECT_EQ(1023u, std::strlen(out));
    EXPECT_EQ('"', out[1022]);

    const std::string tooLong(1009, 'f');
    EXPECT_FALSE(InstallFolderUsable(tooLong.c_str()));
    std::memset(out, 'x', sizeof out);
    EXPECT_FALSE(BuildQuotedProgramPath(tooLong.c_str(), out, sizeof out));
    EXPECT_STREQ("", out);
    // The help path alone still fits up to 1,010 characters, but the folder is refused as a
    // whole, so neither path is ever cut.
    EXPECT_TRUE(BuildHelpPath(std::string(1010, 'f').c_str(), out, sizeof out));
    EXPECT_FALSE(BuildHelpPath(std::string(1011, 'f').c_str(), out, sizeof out));
    EXPECT_FALSE(InstallFolderUsable(std::string(5000, 'f').c_str()));
}

TEST(StartupPaths, ProbeFileInTheTemporaryFolder) {
    char out[1024];
    ASSERT_TRUE(BuildProbePath("C:\\TEMP\\", out, sizeof out));
    EXPECT_STREQ("C:\\TEMP\\dummy.htm", out);
    const std::string longTemp(1024 - 9 - 1, 't');  // leaves exactly room for "dummy.htm"
    EXPECT_TRUE(BuildProbePath(longTemp.c_str(), out, sizeof out));
    EXPECT_FALSE(BuildProbePath((longTemp + "t").c_str(), out, sizeof out));
}

TEST(StartupPaths, JoinBoundedRefusesRatherThanCuts) {
    char out[8];
    EXPECT_TRUE(JoinBounded(out, sizeof out, {"abc", "", "defg"}));
    EXPECT_STREQ("abcdefg", out);
    EXPECT_FALSE(JoinBounded(out, sizeof out, {"abcd", "efgh"}));
    EXPECT_STREQ("", out);
    EXPECT_FALSE(JoinBounded(out, 0, {"a"}));
}

}  // namespace
