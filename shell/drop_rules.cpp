#include "shell/drop_rules.h"

#include <cstring>
#include "app/shared_state.h"

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) return false;
    }
    return *a == *b;
}

// The file-list half of the judgement; `path` is kDropPathSize bytes.
DragVerdict JudgeFileList(DragData& data, char* path) {
    DragVerdict verdict;  // refused with E_INVALIDARG until a rule says otherwise
    if (data.FileCount() != 1) return verdict;
    if (!data.FirstFile(path, kDropPathSize) || path[0] == '\0') return verdict;
    if (data.IsFolder(path)) return verdict;
    if (!HasInternetShortcutExtension(path)) {
        verdict.result = kDropResultOk;  // a plain file: refused, but not an error
        return verdict;
    }

    char target[kDropPathSize] = "";
    const bool resolved = data.ResolveShortcut(path, target, sizeof target);
    if (!resolved || target[0] == '\0') {
        // An Internet shortcut is an INI file the Shell Link object cannot load: its address is
        // the "URL" value of the "InternetShortcut" section.
        char url[kDroppedTextSize] = "";
        data.ReadShortcutUrl(path, url, sizeof url);
        const size_t length = strnlen(url, sizeof url);
        if (length >= kDropPathSize) return verdict;  // would not fit: refused rather than cut
        if (length > 0) {
            std::memcpy(target, url, length + 1);
        } else if (!resolved) {
            return verdict;
        }
    }
    std::memcpy(path, target, sizeof target);
    verdict.result = kDropResultOk;
    verdict.effect = kDropEffectCopy;
    verdict.acceptable = true;
    return verdict;
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

DragVerdict JudgeDrag(DragData& data, char* path) {
    if (data.HasFileList()) return JudgeFileList(data, path);

    DragVerdict verdict;
    if (data.OffersText()) {
        verdict.result = kDropResultOk;
        verdict.effect = kDropEffectCopy;
        verdict.acceptable = true;
        verdict.isText = true;
    }
    return verdict;
}

size_t CopyDroppedText(const char* text, size_t available, char* out, size_t outSize) {
    if (outSize == 0) return 0;
    size_t limit = outSize - 1;
    if (available < limit) limit = available;
    const size_t length = text ? strnlen(text, limit) : 0;
    if (length) std::memcpy(out, text, length);
    out[length] = '\0';
    return length;
}

void HandOverDroppedText(const char* text, size_t available) {
    CopyDroppedText(text, available, g_droppedText, sizeof g_droppedText);
    g_dropPending = 1;
}
