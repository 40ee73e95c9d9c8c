// Native stand-in for the code-page seam, for tests: ISO 8859-1, whose characters are the first
// 256 code points, so both directions are plain arithmetic; every other character becomes '?'.
#pragma once

#include <string>
#include "store/platform_seam.h"

class Latin1CodePage : public CodePage {
public:
    bool FromUtf8(const std::string& utf8, std::string* ansi) override;
    void ToUtf8(const std::string& ansi, std::string* utf8) override;
};
