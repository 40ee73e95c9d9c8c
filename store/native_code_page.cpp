#include "store/native_code_page.h"

#include <algorithm>

bool Latin1CodePage::FromUtf8(const std::string& utf8, std::string* ansi) {
    ansi->clear();
    bool lossless = true;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        size_t length = 1;
        uint32_t code = lead;
        if (lead >= 0xF0) {
            length = 4;
            code = lead & 0x07u;
        } else if (lead >= 0xE0) {
            length = 3;
            code = lead & 0x0Fu;
        } else if (lead >= 0xC0) {
            length = 2;
            code = lead & 0x1Fu;
        }
        for (size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        i += length;
        // Windows-1252, the legacy code page this stands in for, puts other characters at 0x80 to
        // 0x9F: the C1 controls of Latin-1 are not in it.
        if (code > 0xFF || (code >= 0x80 && code <= 0x9F)) {
            code = '?';
            lossless = false;
        }
        ansi->push_back(static_cast<char>(code));
    }
    return lossless;
}

void Latin1CodePage::ToUtf8(const std::string& ansi, std::string* utf8) {
    utf8->clear();
    for (const char c : ansi) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8->push_back(c);
        } else {
            utf8->push_back(static_cast<char>(0xC0 | (byte >> 6)));
            utf8->push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
}

void Latin1CodePage::LegacyToUtf8(unsigned, const std::string& text, std::string* utf8) {
    utf8->resize(text.size());
    std::transform(text.begin(), text.end(), utf8->begin(),
                   [](char c) { return static_cast<unsigned char>(c) < 0x80 ? c : '?'; });
}

bool Utf8CodePage::FromUtf8(const std::string& utf8, std::string* ansi) {
    *ansi = utf8;
    return true;
}

void Utf8CodePage::ToUtf8(const std::string& ansi, std::string* utf8) { *utf8 = ansi; }
