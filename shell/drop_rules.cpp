#include "shell/drop_rules.h"

#include <cstring>
#include <string>
#include <utility>
#include "store/bookmark_format.h"
#include "app/shared_state.h"
#include "store/text_encoding.h"

namespace {

// Whether [start, end) is `word` without regard to ASCII case.
bool EqualsIgnoringAsciiCase(const char* start, const char* end, const char* word) {
    for (; start < end && *word != '\0'; ++start, ++word) {
        if (LowerAscii(*start) != LowerAscii(*word)) return false;
    }
    return start == end && *word == '\0';
}

bool EqualsIgnoringAsciiCase(const char* text, const char* word) {
    return EqualsIgnoringAsciiCase(text, text + std::strlen(text), word);
}

// The address of an Internet shortcut into `target` (kDropPathSize bytes): the target the Shell
// Link object resolves it to, or else the "URL" value of its "InternetShortcut" section (an
// Internet shortcut is an INI file the Shell Link object cannot load). False when it has
// neither, or the address would not fit: refused rather than cut. A link that resolves to an
// empty target and has no URL value gives "" and true.
bool ShortcutAddress(DragData& data, const char* path, char* target) {
    target[0] = '\0';
    const bool resolved = data.ResolveShortcut(path, target, kDropPathSize);
    if (resolved && target[0] != '\0') return true;
    char url[kDroppedTextSize] = "";
    data.ReadShortcutUrl(path, url, sizeof url);
    const size_t length = strnlen(url, sizeof url);
    if (length >= kDropPathSize) return false;
    if (length > 0) {
        std::memcpy(target, url, length + 1);
        return true;
    }
    target[0] = '\0';
    return resolved;
}

bool IsBookmarkFile(DragData& data, const char* path) {
    char head[kBookmarkHeadSize];
    const size_t read = data.ReadFileHead(path, head, sizeof head);
    return LooksLikeBookmarkFile(head, read < sizeof head ? read : sizeof head);
}

// The file name of a path without its folder and extension.
std::string FileStem(const char* path) {
    const char* extension = PathExtension(path);
    const char* start = extension;
    while (start > path && start[-1] != '\\' && start[-1] != '/' && !(start - path == 2 && start[-1] == ':')) --start;
    return std::string(start, extension);
}

DragVerdict Accepted(bool isImport) {
    DragVerdict verdict;
    verdict.result = kDropResultOk;
    verdict.effect = kDropEffectCopy;
    verdict.acceptable = true;
    verdict.isImport = isImport;
    return verdict;
}

// Several files: each one a bookmark file or a shortcut with an address, or the drag is refused.
DragVerdict JudgeSeveralFiles(DragData& data, uint32_t count, char* path, std::vector<ImportSource>* imports) {
    std::vector<ImportSource> sources;
    char name[kDropPathSize];
    for (uint32_t i = 0; i < count; ++i) {
        if (!data.FileName(i, name, sizeof name) || name[0] == '\0' || data.IsFolder(name)) return DragVerdict();
        if (i == 0) std::memcpy(path, name, sizeof name);
        ImportSource source;
        char target[kDropPathSize];
        if (HasInternetShortcutExtension(name)) {
            if (!ShortcutAddress(data, name, target) || target[0] == '\0') return DragVerdict();
            source.shortcutName = FileStem(name);
            source.shortcutUrl = target;
        } else if (HasHtmlExtension(name) && IsBookmarkFile(data, name)) {
            source.file = name;
        } else {
            return DragVerdict();
        }
        sources.push_back(std::move(source));
    }
    if (imports != nullptr) *imports = std::move(sources);
    return Accepted(true);
}

// Described files: each one a shortcut whose contents name an address, or the drag is refused.
DragVerdict JudgeDescribedFiles(DragData& data, uint32_t count, std::vector<ImportSource>* imports) {
    if (count > kMaxDroppedFiles) return DragVerdict();
    std::vector<ImportSource> sources;
    char name[kDescribedNameSize];
    std::string contents(kDescribedContentsSize, '\0');
    for (uint32_t i = 0; i < count; ++i) {
        if (!data.DescribedFileName(i, name, sizeof name) || !HasInternetShortcutExtension(name)) return DragVerdict();
        const size_t read = data.ReadDescribedFile(i, contents.data(), contents.size());
        std::string url = ShortcutUrlOf(contents.data(), read < contents.size() ? read : contents.size());
        if (url.empty() || url.size() >= kDropPathSize) return DragVerdict();  // as a shortcut file's address
        sources.push_back(ImportSource{std::string(), FileStem(name), std::move(url)});
    }
    if (imports != nullptr) *imports = std::move(sources);
    return Accepted(true);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The line [start, end) without the blanks around it.
void TrimBlanks(const char*& start, const char*& end) {
    while (start < end && IsBlank(*start)) ++start;
    while (end > start && IsBlank(end[-1])) --end;
}

// The file-list half of the judgement; `path` is kDropPathSize bytes.
DragVerdict JudgeFileList(DragData& data, char* path, std::vector<ImportSource>* imports) {
    DragVerdict verdict;  // refused with E_INVALIDARG until a rule says otherwise
    const uint32_t count = data.FileCount();
    if (count == 0 || count > kMaxDroppedFiles) return verdict;
    if (count > 1) return JudgeSeveralFiles(data, count, path, imports);
    if (!data.FileName(0, path, kDropPathSize) || path[0] == '\0') return verdict;
    if (data.IsFolder(path)) return verdict;
    if (HasHtmlExtension(path) && IsBookmarkFile(data, path)) {
        if (imports != nullptr) *imports = {ImportSource{path, std::string(), std::string()}};
        return Accepted(true);
    }
    if (!HasInternetShortcutExtension(path)) {
        verdict.result = kDropResultOk;  // a plain file: refused, but not an error
        return verdict;
    }
    char target[kDropPathSize];
    if (!ShortcutAddress(data, path, target)) return verdict;
    std::memcpy(path, target, sizeof target);
    return Accepted(false);
}

}  // namespace

const char* PathExtension(const char* path) {
    const char* component = path;
    if (((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':') {
        component = path + 2;
    }
    const char* end = path + std::strlen(path);
    for (const char* p = component; p < end; ++p) {
        if (*p == '\\' || *p == '/') component = p + 1;
    }
    const char* dot = std::strrchr(component, '.');
    return dot ? dot : end;
}

bool HasInternetShortcutExtension(const char* path) {
    return EqualsIgnoringAsciiCase(PathExtension(path), ".url");
}

bool HasHtmlExtension(const char* path) {
    const char* extension = PathExtension(path);
    return EqualsIgnoringAsciiCase(extension, ".htm") || EqualsIgnoringAsciiCase(extension, ".html");
}

DragVerdict JudgeDrag(DragData& data, char* path, std::vector<ImportSource>* imports) {
    if (data.HasFileList()) return JudgeFileList(data, path, imports);

    DragVerdict verdict;
    if (data.OffersText()) {
        verdict.result = kDropResultOk;
        verdict.effect = kDropEffectCopy;
        verdict.acceptable = true;
        verdict.isText = true;
        return verdict;
    }
    const uint32_t described = data.DescribedFileCount();
    return described > 0 ? JudgeDescribedFiles(data, described, imports) : verdict;
}

std::string ShortcutUrlOf(const char* contents, size_t size) {
    const char* end = static_cast<const char*>(std::memchr(contents, '\0', size));
    if (end == nullptr) end = contents + size;
    const char* line = contents;
    if (end - line >= 3 && std::memcmp(line, "\xEF\xBB\xBF", 3) == 0) line += 3;  // a UTF-8 mark
    bool inSection = false;
    while (line < end) {
        const char* lineEnd = line;
        while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n') ++lineEnd;
        const char* next = lineEnd < end ? lineEnd + 1 : end;
        const char* start = line;
        TrimBlanks(start, lineEnd);
        if (start < lineEnd && *start == '[') {
            const char* close = static_cast<const char*>(std::memchr(start, ']', static_cast<size_t>(lineEnd - start)));
            const char* nameStart = start + 1;
            const char* nameEnd = close != nullptr ? close : lineEnd;
            TrimBlanks(nameStart, nameEnd);
            inSection = EqualsIgnoringAsciiCase(nameStart, nameEnd, "InternetShortcut");
        } else if (inSection) {
            const char* equals = static_cast<const char*>(std::memchr(start, '=', static_cast<size_t>(lineEnd - start)));
            const char* keyEnd = equals;
            if (equals != nullptr) TrimBlanks(start, keyEnd);
            if (equals != nullptr && EqualsIgnoringAsciiCase(start, keyEnd, "URL")) {
                const char* value = equals + 1;
                TrimBlanks(value, lineEnd);
                if (lineEnd - value >= 2 && *value == '"' && lineEnd[-1] == '"') {
                    ++value;
                    --lineEnd;
                }
                return ShownText(value, static_cast<size_t>(lineEnd - value));
            }
        }
        line = next;
    }
    return std::string();
}

uint32_t DescribedFileCountIn(size_t blockSize, uint32_t claimed, size_t headerSize, size_t recordSize) {
    if (blockSize < headerSize || recordSize == 0) return 0;
    return claimed <= (blockSize - headerSize) / recordSize ? claimed : 0;
}

size_t CopyDroppedText(const char* text, size_t available, char* out, size_t outSize) {
    if (outSize == 0) return 0;
    if (text == nullptr) {
        out[0] = '\0';
        return 0;
    }
    // What lies beyond the room is looked at too (within `available`), so a character the room
    // cannot hold whole is left out.
    const size_t seen = strnlen(text, available < outSize ? available : outSize);
    const size_t length = CutLength(text, seen, outSize - 1);
    std::memcpy(out, text, length);
    out[length] = '\0';
    return length;
}

void HandOverDroppedText(const char* text, size_t available) {
    CopyDroppedText(text, available, g_droppedText, sizeof g_droppedText);
    g_dropPending = 1;
}

void HandOverImport(std::vector<ImportSource> sources) { g_pendingImport = std::move(sources); }
