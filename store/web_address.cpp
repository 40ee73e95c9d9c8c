#include "store/web_address.h"

#include <algorithm>
#include "store/text_encoding.h"

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSchemeCharacter(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '+' || c == '-' || c == '.'; }
bool IsMediaTypeCharacter(char c) { return IsSchemeCharacter(c) || c == '/' || c == ':' || c == ';' || c == '='; }

// The length of the scheme before its ':', or 0 when the text starts with none.
size_t SchemeLength(const std::string& text) {
    if (text.empty() || !IsAsciiLetter(text[0])) return 0;
    size_t i = 1;
    while (i < text.size() && IsSchemeCharacter(text[i])) ++i;
    return i < text.size() && text[i] == ':' ? i : 0;
}

// 1 ... 65535 written in at most five digits, 0 for no digits at all, else -1.
int PortNumber(const std::string& text, size_t start, size_t end) {
    if (start == end) return 0;
    if (end - start > 5) return -1;
    int port = 0;
    for (size_t i = start; i < end; ++i) {
        if (!IsAsciiDigit(text[i])) return -1;
        port = port * 10 + (text[i] - '0');
    }
    return port >= 1 && port <= 65535 ? port : -1;
}

}  // namespace

AddressParts ReadAddress(const std::string& text) {
    AddressParts parts;
    const size_t scheme = SchemeLength(text);
    parts.scheme = LowerUtf8(text.substr(0, scheme));
    size_t pathStart = scheme > 0 ? scheme + 1 : 0;
    if (scheme > 0 && text.compare(scheme, 3, "://") == 0) {
        parts.hasAuthority = true;
        const size_t start = scheme + 3;
        const size_t end = std::min(text.find_first_of("/?#\\", start), text.size());
        const size_t at = text.rfind('@', end);
        parts.hostStart = at != std::string::npos && at >= start && at < end ? at + 1 : start;
        parts.hostEnd = end;
        // A colon inside the brackets of an IPv6 literal is the address's, not the port's.
        const size_t colon = text.rfind(':', end);
        const size_t bracket = text.rfind(']', end);
        const bool bracketInHost = bracket != std::string::npos && bracket >= parts.hostStart && bracket < end;
        if (colon != std::string::npos && colon >= parts.hostStart && colon < end && (!bracketInHost || colon > bracket)) {
            parts.hostEnd = colon;
            parts.port = PortNumber(text, colon + 1, end);
        }
        parts.host = LowerUtf8(text.substr(parts.hostStart, parts.hostEnd - parts.hostStart));
        parts.authorityEnd = end;
        pathStart = end;
    }
    const size_t hash = text.find('#', pathStart);
    parts.path = text.substr(pathStart, hash == std::string::npos ? std::string::npos : hash - pathStart);
    if (hash != std::string::npos) parts.fragment = text.substr(hash + 1);
    if (!parts.hasAuthority) parts.authorityEnd = scheme;
    return parts;
}

size_t ImageDataUriPayload(const std::string& text) {
    static const char kPrefix[] = "data:image/";
    static const char kBase64[] = ";base64";
    const size_t prefix = sizeof kPrefix - 1;
    const size_t comma = text.find(',');
    if (comma == std::string::npos || comma < prefix + sizeof kBase64 - 1) return 0;
    std::string media = text.substr(0, comma);
    for (char& c : media) {
        if (!IsMediaTypeCharacter(c)) return 0;
        c = LowerAscii(c);
    }
    const bool image = media.compare(0, prefix, kPrefix) == 0;
    return image && media.compare(comma - (sizeof kBase64 - 1), std::string::npos, kBase64) == 0 ? comma + 1 : 0;
}
