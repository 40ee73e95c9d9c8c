#include "store/bookmark_format.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include "store/text_encoding.h"
#include "store/web_address.h"

const char kFolderPathSeparator[] = " > ";

namespace {

constexpr char kDocumentType[] = "<!doctype netscape-bookmark-file-1";
constexpr size_t kHeadBytes = 1024;
constexpr uint32_t kReplacement = 0xFFFD;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool StartsWithFolded(const char* at, const char* end, const char* lower) {
    for (; *lower != '\0'; ++lower, ++at) {
        if (at >= end || LowerAscii(*at) != *lower) return false;
    }
    return true;
}

// A decoded character goes out unless it is a control character; tab, line feed and carriage
// return stay (they are white space to the callers).
void AppendCharacter(std::string& out, uint32_t code) {
    if ((code < 0x20 && code != '\t' && code != '\n' && code != '\r') || code == 0x7F) return;
    AppendUtf8(code, &out);
}

struct NamedReference {
    const char* name;
    uint32_t code;
};

// The references bookmark titles carry in practice.
const NamedReference kNamedReferences[] = {
    {"amp", '&'},     {"AMP", '&'},      {"lt", '<'},       {"LT", '<'},       {"gt", '>'},
    {"GT", '>'},      {"quot", '"'},     {"QUOT", '"'},     {"apos", '\''},    {"nbsp", 0xA0},
    {"copy", 0xA9},   {"reg", 0xAE},     {"laquo", 0xAB},   {"raquo", 0xBB},   {"middot", 0xB7},
    {"deg", 0xB0},    {"times", 0xD7},   {"ndash", 0x2013}, {"mdash", 0x2014}, {"lsquo", 0x2018},
    {"rsquo", 0x2019}, {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"bull", 0x2022}, {"hellip", 0x2026},
    {"euro", 0x20AC}, {"trade", 0x2122},
};

// A character reference at `at` (which points at '&'). Returns false, `at` unchanged, when
// there is none; numeric ones need no ';', named ones do.
bool ReadReference(const char*& at, const char* end, uint32_t* code) {
    const char* p = at + 1;
    if (p < end && *p == '#') {
        ++p;
        const bool hex = p < end && (*p == 'x' || *p == 'X');
        if (hex) ++p;
        uint32_t value = 0;
        bool digits = false;
        bool tooLarge = false;
        for (; p < end; ++p) {
            uint32_t digit = 0;
            if (IsDigit(*p)) {
                digit = static_cast<uint32_t>(*p - '0');
            } else if (hex && LowerAscii(*p) >= 'a' && LowerAscii(*p) <= 'f') {
                digit = static_cast<uint32_t>(LowerAscii(*p) - 'a' + 10);
            } else {
                break;
            }
            digits = true;
            if (!tooLarge) value = value * (hex ? 16 : 10) + digit;
            if (value > 0x10FFFF) tooLarge = true;
        }
        if (!digits) return false;
        if (p < end && *p == ';') ++p;
        *code = (tooLarge || value == 0 || (value >= 0xD800 && value <= 0xDFFF)) ? kReplacement : value;
        at = p;
        return true;
    }
    for (const NamedReference& reference : kNamedReferences) {
        const size_t length = std::strlen(reference.name);
        if (static_cast<size_t>(end - p) > length && std::memcmp(p, reference.name, length) == 0 && p[length] == ';') {
            *code = reference.code;
            at = p + length + 1;
            return true;
        }
    }
    return false;
}

// Cuts UTF-8 text to at most `limit` bytes, never inside a character.
void CutUtf8(std::string& text, size_t limit) {
    if (text.size() <= limit) return;
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
}

// The tokenizer and what it builds. Each step reads on from `at_`; nothing is read twice.
class Parser {
public:
    Parser(const char* data, size_t size) : at_(data), end_(data + size) {
        result_.folders.emplace_back();
        levels_.push_back(0);
    }

    ParsedBookmarks Run() {
        while (at_ < end_ && !result_.cut) {
            if (*at_ == '<') {
                Tag();
            } else {
                Text(*at_++);
            }
        }
        FinishCapture();
        return std::move(result_);
    }

private:
    enum class Capture { None, Title, FolderName };

    void Text(char c) {
        if (capture_ == Capture::None || captured_.size() >= kMaxTitleBytes) return;
        captured_.push_back(c);
    }

    // From '<': a comment, a declaration, an end tag or a start tag. A '<' that starts none of
    // them is text. A tag that never ends ends the file.
    void Tag() {
        const char* p = at_ + 1;
        if (StartsWithFolded(p, end_, "!--")) {
            at_ = Find(p + 3, "-->");
            return;
        }
        if (p < end_ && (*p == '!' || *p == '?')) {
            at_ = Find(p, ">");
            return;
        }
        const bool closing = p < end_ && *p == '/';
        if (closing) ++p;
        if (p >= end_ || !IsLetter(*p)) {
            Text(*at_++);
            return;
        }
        char name[8] = "";
        size_t length = 0;
        for (; p < end_ && (IsLetter(*p) || IsDigit(*p)); ++p) {
            if (length < sizeof name - 1) name[length++] = LowerAscii(*p);
        }
        name[length] = '\0';
        const bool anchor = !closing && std::strcmp(name, "a") == 0;
        if (anchor) FinishCapture();
        p = Attributes(p, anchor);
        if (p == nullptr) {
            at_ = end_;
            if (anchor) capture_ = Capture::None;  // a bookmark whose tag never ends is no bookmark
            return;
        }
        at_ = p;
        if (closing) {
            EndTag(name);
        } else {
            StartTag(name);
        }
    }

    // Past "needle", or the end when it does not come.
    const char* Find(const char* from, const char* needle) const {
        const size_t length = std::strlen(needle);
        for (const char* p = from; p + length <= end_; ++p) {
            if (std::memcmp(p, needle, length) == 0) return p + length;
        }
        return end_;
    }

    // Reads the attributes up to and past the tag's '>'; nullptr when the tag never ends. For
    // an anchor, HREF and ICON begin a new bookmark.
    const char* Attributes(const char* p, bool anchor) {
        if (anchor) {
            current_ = ParsedBookmark();
            current_.folder = levels_.back();
        }
        while (p < end_) {
            while (p < end_ && (IsSpace(*p) || *p == '/')) ++p;
            if (p >= end_) return nullptr;
            if (*p == '>') return p + 1;
            const char* name = p;
            while (p < end_ && !IsSpace(*p) && *p != '=' && *p != '>' && *p != '/') ++p;
            const size_t nameLength = static_cast<size_t>(p - name);
            while (p < end_ && IsSpace(*p)) ++p;
            const char* value = p;
            const char* valueEnd = p;
            if (p < end_ && *p == '=') {
                ++p;
                while (p < end_ && IsSpace(*p)) ++p;
                if (p < end_ && (*p == '"' || *p == '\'')) {
                    const char quote = *p++;
                    value = p;
                    while (p < end_ && *p != quote) ++p;
                    if (p >= end_) return nullptr;
                    valueEnd = p++;
                } else {
                    value = p;
                    while (p < end_ && !IsSpace(*p) && *p != '>') ++p;
                    valueEnd = p;
                }
            }
            if (anchor) Attribute(name, nameLength, value, static_cast<size_t>(valueEnd - value));
        }
        return nullptr;
    }

    void Attribute(const char* name, size_t nameLength, const char* value, size_t length) {
        if (nameLength == 4 && StartsWithFolded(name, name + 4, "href")) {
            current_.addressTooLong = length > kMaxAddressBytes;
            current_.address = TidyAddress(DecodeHtmlText(value, current_.addressTooLong ? kMaxAddressBytes : length));
        } else if (nameLength == 4 && StartsWithFolded(name, name + 4, "icon") && length <= kMaxIconBytes) {
            current_.icon.assign(value, length);
            if (!IsIconDataUri(current_.icon)) current_.icon.clear();
        }
    }

    void StartTag(const char* name) {
        if (std::strcmp(name, "a") == 0) {
            capture_ = Capture::Title;
            captured_.clear();
        } else if (std::strcmp(name, "h3") == 0) {
            FinishCapture();
            capture_ = Capture::FolderName;
            captured_.clear();
        } else if (std::strcmp(name, "dl") == 0) {
            FinishCapture();
            OpenList();
        } else if (std::strcmp(name, "dd") == 0) {
            FinishCapture();  // a description follows; it belongs to no title
        } else if (std::strcmp(name, "dt") == 0 || std::strcmp(name, "h1") == 0 || std::strcmp(name, "title") == 0) {
            FinishCapture();
            pendingFolder_ = false;  // a folder name not followed by its list names no folder
        }
    }

    void EndTag(const char* name) {
        if (std::strcmp(name, "a") == 0 || std::strcmp(name, "h3") == 0 || std::strcmp(name, "dt") == 0) {
            FinishCapture();
        } else if (std::strcmp(name, "dl") == 0) {
            FinishCapture();
            CloseList();
        }
    }

    // A list opens a level: the folder just named, or, without a name, more of the same folder.
    void OpenList() {
        size_t folder = levels_.back();
        if (pendingFolder_ && levels_.size() < kMaxFolderDepth && result_.folders.size() < kMaxBookmarkFolders) {
            const std::string& parent = result_.folders[folder];
            std::string path = parent.empty() ? pendingName_ : parent + kFolderPathSeparator + pendingName_;
            CutUtf8(path, kMaxFolderPathBytes);
            result_.folders.push_back(std::move(path));
            folder = result_.folders.size() - 1;
        }
        pendingFolder_ = false;
        if (levels_.size() < kMaxFolderDepth) {
            levels_.push_back(folder);
        } else {
            ++levelsPastDepth_;
        }
    }

    void CloseList() {
        pendingFolder_ = false;
        if (levelsPastDepth_ > 0) {
            --levelsPastDepth_;
        } else if (levels_.size() > 1) {
            levels_.pop_back();
        }
    }

    // What was being captured ends here: a bookmark's title or a folder's name.
    void FinishCapture() {
        const Capture capture = capture_;
        capture_ = Capture::None;
        if (capture == Capture::FolderName) {
            pendingName_ = TidyWhiteSpace(DecodeHtmlText(captured_.data(), captured_.size()));
            pendingFolder_ = true;
        } else if (capture == Capture::Title) {
            current_.title = TidyWhiteSpace(DecodeHtmlText(captured_.data(), captured_.size()));
            if (result_.bookmarks.size() >= kMaxBookmarks) {
                result_.cut = true;
                return;
            }
            result_.bookmarks.push_back(std::move(current_));
            current_ = ParsedBookmark();
        }
        captured_.clear();
    }

    const char* at_;
    const char* end_;
    ParsedBookmarks result_;
    Capture capture_ = Capture::None;
    std::string captured_;
    ParsedBookmark current_;
    bool pendingFolder_ = false;
    std::string pendingName_;
    std::vector<size_t> levels_;  // the folder of each open list, the top level first
    size_t levelsPastDepth_ = 0;  // lists open beyond kMaxFolderDepth
};

void AppendEscaped(std::string& out, const std::string& text) {
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out.push_back(c); break;
        }
    }
}

}  // namespace

bool LooksLikeBookmarkFile(const char* data, size_t size) {
    const char* end = data + (size < kHeadBytes ? size : kHeadBytes);
    const char* p = data;
    if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    for (;;) {
        while (p < end && IsSpace(*p)) ++p;
        if (!StartsWithFolded(p, end, "<!--")) break;
        const char* close = p + 4;
        while (close + 3 <= end && std::memcmp(close, "-->", 3) != 0) ++close;
        if (close + 3 > end) return false;
        p = close + 3;
    }
    return StartsWithFolded(p, end, kDocumentType);
}

ParsedBookmarks ParseBookmarks(const char* data, size_t size) { return Parser(data, size).Run(); }

std::string DecodeHtmlText(const char* data, size_t size) {
    std::string out;
    out.reserve(size);
    const char* at = data;
    const char* end = data + size;
    while (at < end) {
        uint32_t code = 0;
        if (*at == '&' && ReadReference(at, end, &code)) {
            AppendCharacter(out, code);
        } else {
            AppendCharacter(out, NextCodePoint(at, end));
        }
    }
    return out;
}

std::string TidyWhiteSpace(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (!IsSpace(text[i])) {
            out.push_back(text[i++]);
            continue;
        }
        const size_t start = i;
        bool wrapped = false;
        for (; i < text.size() && IsSpace(text[i]); ++i) wrapped = wrapped || text[i] != ' ';
        if (!out.empty() && i < text.size()) out.append(wrapped ? 1 : i - start, ' ');
    }
    return out;
}

std::string TidyAddress(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::copy_if(text.begin(), text.end(), std::back_inserter(out),
                 [](char c) { return c != '\t' && c != '\n' && c != '\r'; });
    const char* const kEdges = " \f";
    const size_t first = out.find_first_not_of(kEdges);
    if (first == std::string::npos) return std::string();
    return out.substr(first, out.find_last_not_of(kEdges) - first + 1);
}

bool IsIconDataUri(const std::string& value) {
    const size_t payload = ImageDataUriPayload(value);
    if (payload == 0 || value.size() > kMaxIconBytes) return false;
    return std::all_of(value.begin() + static_cast<std::ptrdiff_t>(payload), value.end(),
                       [](char c) { return IsLetter(c) || IsDigit(c) || c == '+' || c == '/' || c == '='; });
}

std::string WriteBookmarks(const std::string& folderName, const std::vector<BookmarkToWrite>& bookmarks) {
    std::string out =
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n"
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\r\n"
        "<TITLE>Bookmarks</TITLE>\r\n"
        "<H1>Bookmarks</H1>\r\n"
        "<DL><p>\r\n"
        "    <DT><H3>";
    AppendEscaped(out, folderName);
    out += "</H3>\r\n    <DL><p>\r\n";
    for (const BookmarkToWrite& bookmark : bookmarks) {
        out += "        <DT><A HREF=\"";
        AppendEscaped(out, bookmark.address);
        out += '"';
        if (IsIconDataUri(bookmark.icon)) {
            out += " ICON=\"";
            out += bookmark.icon;
            out += '"';
        }
        out += '>';
        AppendEscaped(out, bookmark.title);
        out += "</A>\r\n";
    }
    out += "    </DL><p>\r\n</DL><p>\r\n";
    return out;
}
