// Native stand-ins for the code-page seam, for tests. Latin1CodePage is an older system: the
// program speaks ISO 8859-1, whose characters are the first 256 code points, so both directions
// are plain arithmetic; every other character becomes '?'. Utf8CodePage is a system that runs the
// program in UTF-8. Both have Windows-1252 as the legacy code page unless a test names another,
// which then has no characters beyond ASCII ('?').
#pragma once

#include <string>
#include "store/platform_seam.h"

class Latin1CodePage : public CodePage {
public:
    bool FromUtf8(const std::string& utf8, std::string* ansi) override;
    void ToUtf8(const std::string& ansi, std::string* utf8) override;
    bool IsUtf8() override { return false; }
    unsigned LegacyCodePage() override { return legacy; }
    void LegacyToUtf8(unsigned codePage, const std::string& text, std::string* utf8) override;

    unsigned legacy = 1252;
};

class Utf8CodePage : public Latin1CodePage {
public:
    bool FromUtf8(const std::string& utf8, std::string* ansi) override;
    void ToUtf8(const std::string& ansi, std::string* utf8) override;
    bool IsUtf8() override { return true; }
};
