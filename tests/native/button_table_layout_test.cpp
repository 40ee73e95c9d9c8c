#include <gtest/gtest.h>

#include <cstring>
#include "store/button_table.h"

namespace {

// The image after ApplyButtonDefaults on a zeroed table, byte for byte.
TEST(ButtonTableDefaults, ZeroTableGetsExactlyTheDefaultImage) {
    std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
    g_defaultFontHeight = -13;
    ApplyButtonDefaults();
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&g_buttonTable);

    const unsigned char width[4] = {0x8C, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(b, width, 4));
    for (int i = 4; i < 16; ++i) EXPECT_EQ(0, b[i]) << "byte " << i;
    const unsigned char count[4] = {1, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(b + 16, count, 4));
    EXPECT_STREQ(kDefaultFavouriteUrl, reinterpret_cast<const char*>(b + 20));
    EXPECT_EQ(0, std::memcmp(b + 532, "Brisklet", 9));
    EXPECT_STREQ(kHomePageUrl, reinterpret_cast<const char*>(b + 532 + 64));
    EXPECT_EQ(0, std::memcmp(b + 1112, b + 64932, 60)) << "record 0 own font equals global font";

    const unsigned char* font = b + 64932;
    int32_t height;
    std::memcpy(&height, font, 4);
    EXPECT_EQ(-13, height);
    const unsigned char weight[4] = {0xBC, 0x02, 0, 0};
    EXPECT_EQ(0, std::memcmp(font + 16, weight, 4));
    EXPECT_EQ(0, std::memcmp(font + 28, "System", 7));
    for (int i = 4; i < 16; ++i) EXPECT_EQ(0, font[i]) << "font byte " << i;
    for (int i = 20; i < 28; ++i) EXPECT_EQ(0, font[i]) << "font byte " << i;
    for (int i = 35; i < 60; ++i) EXPECT_EQ(0, font[i]) << "font byte " << i;
    for (int i = 64992; i < 64996; ++i) EXPECT_EQ(0, b[i]) << "byte " << i;

    // Nothing outside the default fields was written: records 1..99 are still zero.
    for (size_t i = 532 + 644; i < 64932; ++i) ASSERT_EQ(0, b[i]) << "byte " << i;
    std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
    g_defaultFontHeight = 0;
}

}  // namespace
