#include "store/sync_rules.h"

#include <cstring>

#include "store/text_encoding.h"

namespace {

const char kExtension[] = ".bklt";
const size_t kExtensionLength = sizeof kExtension - 1;
const char kNotSavedMark[] = " (not saved)";

bool SameLetters(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool Contains(const char* text, size_t length, const char* word) {
    const size_t wordLength = std::strlen(word);
    for (size_t at = 0; at + wordLength <= length; ++at) {
        if (SameLetters(text + at, word, wordLength)) return true;
    }
    return false;
}

bool AllDigits(const char* text, size_t length) {
    if (length == 0) return false;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

// A computer's name as sync clients append it: letters, digits, '-' and '_', at most 63.
bool MachineName(const char* text, size_t length) {
    if (length == 0 || length > 63) return false;
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                        c == '_';
        if (!ok) return false;
    }
    return true;
}

// The file's name up to ".bklt" (any case); false when it does not end so.
bool Stem(const char* name, size_t* length) {
    const size_t full = std::strlen(name);
    if (full < kExtensionLength || !SameLetters(name + full - kExtensionLength, kExtension, kExtensionLength)) {
        return false;
    }
    *length = full - kExtensionLength;
    return true;
}

// The mark between the current file's stem and ".bklt".
bool ConflictMark(const char* mark, size_t length) {
    if (length < 2) return false;
    const char first = mark[0];
    const char last = mark[length - 1];
    // " (...)" and " [...]": a number, or words that say what it is.
    if (first == ' ' && length > 3 && ((mark[1] == '(' && last == ')') || (mark[1] == '[' && last == ']'))) {
        const char* inner = mark + 2;
        const size_t innerLength = length - 3;
        return AllDigits(inner, innerLength) || Contains(inner, innerLength, "conflict") ||
               Contains(inner, innerLength, "copy") || Contains(inner, innerLength, "not saved");
    }
    // " 2": a number after a space.
    if (first == ' ') return AllDigits(mark + 1, length - 1);
    // ".sync-conflict-...", ".conflict", "_conflict-...", "-conflict..."
    if ((first == '.' || first == '_' || first == '-') && Contains(mark, length, "conflict")) return true;
    // "-PCNAME"
    return first == '-' && MachineName(mark + 1, length - 1);
}

}  // namespace

bool IsConflictCopyName(const char* current, const char* candidate) {
    size_t currentStem = 0;
    size_t candidateStem = 0;
    if (!Stem(current, &currentStem) || !Stem(candidate, &candidateStem)) return false;
    if (candidateStem <= currentStem || !SameLetters(current, candidate, currentStem)) return false;
    return ConflictMark(candidate + currentStem, candidateStem - currentStem);
}

bool NotSavedCopyPath(const char* path, char* out, size_t size) {
    size_t stem = 0;
    if (!Stem(path, &stem)) stem = std::strlen(path);
    const size_t needed = stem + (sizeof kNotSavedMark - 1) + kExtensionLength + 1;
    if (needed > size) return false;
    std::memcpy(out, path, stem);
    std::memcpy(out + stem, kNotSavedMark, sizeof kNotSavedMark - 1);
    std::memcpy(out + stem + sizeof kNotSavedMark - 1, kExtension, kExtensionLength + 1);
    return true;
}

DiskState JudgeDiskRead(bool exists, const DiskRead& now, const DiskRead* earlier, const ButtonTable* base) {
    if (!exists) return DiskState::Missing;
    if (!now.read) return DiskState::Unreadable;
    if (now.size != kButtonTableSize || now.image == nullptr) {
        // A sync client truncates, writes and renames: a wrong size may be a file in the making.
        const bool confirmed = earlier != nullptr && earlier->read && earlier->size == now.size;
        if (!confirmed) return DiskState::NotReady;
        return now.size == 0 ? DiskState::Empty : DiskState::Foreign;
    }
    if (base != nullptr && std::memcmp(now.image, base, kButtonTableSize) == 0) return DiskState::Unchanged;
    return DiskState::Changed;
}

unsigned SaveRetryDelayMs(int attempt) {
    unsigned delay = 250;
    for (int i = 1; i < attempt && delay < 4000; ++i) delay *= 2;
    return delay < 4000 ? delay : 4000;
}
