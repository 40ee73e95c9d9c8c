#include <gtest/gtest.h>

#include <windows.h>
#include <cstring>
#include "app/win_state.h"
#include "store/button_table.h"

// The same image in the Windows build: the defaults over a zeroed table.
TEST(ButtonTableWin, DefaultImageMatchesTheFileFormat) {
    std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
    g_defaultFontHeight = -13;
    ApplyButtonDefaults();
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&g_buttonTable);
    EXPECT_EQ(64996u, sizeof g_buttonTable);
    EXPECT_EQ(0x8C, b[0]);
    EXPECT_EQ(1, b[16]);
    EXPECT_EQ(0, std::memcmp(b + 532, "Brisklet", 9));
    EXPECT_EQ(0, std::memcmp(b + 1112, b + 64932, 60));
    const LOGFONTA lf = ToLogFont(g_buttonTable.globalFont);
    EXPECT_EQ(-13, lf.lfHeight);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    EXPECT_STREQ("System", lf.lfFaceName);
    for (int i = 64992; i < 64996; ++i) EXPECT_EQ(0, b[i]);
    std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
    g_defaultFontHeight = 0;
}
