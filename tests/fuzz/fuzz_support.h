// Pieces the fuzz harnesses share: the invariant check that stops the run, a reader that takes
// numbers and texts from the input's control bytes, the checks every Button table must pass,
// and the in-memory platform each run starts from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "store/button_table.h"
#include "store/native_code_page.h"
#include "store/text_encoding.h"
#include "store/native_registry.h"
#include "tests/fuzz/memory_files.h"

// A broken invariant is a finding: it is named on stderr and the process aborts, which
// libFuzzer reports as a crash with the input that caused it.
#define FUZZ_CHECK(condition, what)                                                              \
    do {                                                                                         \
        if (!(condition)) fuzz::Violation(__FILE__, __LINE__, #condition, what);                 \
    } while (0)

namespace fuzz {

[[noreturn]] inline void Violation(const char* file, int line, const char* condition, const char* what) {
    std::fprintf(stderr, "fuzz invariant broken at %s:%d: %s (%s)\n", file, line, what, condition);
    std::fflush(stderr);
    std::abort();
}

// Takes values from the front of a byte range; once it is used up, every value is 0 and every
// text empty, so a short input still runs every step.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
    uint32_t U32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(Byte()) << (8 * i);
        return value;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    uint64_t U64() { return U32() | static_cast<uint64_t>(U32()) << 32; }
    // A text of up to `limit` bytes, its length taken from the next two bytes. May hold NULs.
    std::string Text(size_t limit) {
        size_t length = Byte();
        length |= static_cast<size_t>(Byte()) << 8;
        if (length > limit) length = length % (limit + 1);
        const size_t left = size_ - position_;
        if (length > left) length = left;
        std::string text(reinterpret_cast<const char*>(data_ + position_), length);
        position_ += length;
        return text;
    }
    bool Empty() const { return position_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

inline bool Terminated(const char* field, size_t size) { return std::memchr(field, '\0', size) != nullptr; }

// The text of a field up to its terminator (the whole field when it has none).
inline std::string FieldText(const char* field, size_t size) {
    const void* end = std::memchr(field, '\0', size);
    return std::string(field, end ? static_cast<size_t>(static_cast<const char*>(end) - field) : size);
}

// Text cut as every write into the table cuts it: up to its first NUL, at most size - 1 bytes,
// between two characters of what the field reads of it (size bytes). The cut itself is checked:
// it never ends inside a well-formed character of the text.
inline std::string CutText(const std::string& text, size_t size) {
    const std::string whole = text.substr(0, text.find('\0'));
    const std::string seen = whole.substr(0, size);
    const std::string cut = seen.substr(0, CutLength(seen.data(), seen.size(), size - 1));
    FUZZ_CHECK(cut.size() <= size - 1, "a cut keeps to the field");
    for (size_t start = cut.size() >= 3 ? cut.size() - 3 : 0; start < cut.size(); ++start) {
        FUZZ_CHECK(start + Utf8CharLength(whole.data() + start, whole.size() - start) <= cut.size(),
                   "no cut falls inside a character");
    }
    return cut;
}

// What every table that the program works with must satisfy, whatever file it came from.
inline void CheckTableSound(const ButtonTable& table, const char* when) {
    FUZZ_CHECK(table.buttonCount >= 0 && table.buttonCount <= kMaxButtons, when);
    FUZZ_CHECK(ButtonCount(table) == table.buttonCount, when);
    FUZZ_CHECK(Terminated(table.favouriteUrl, kUrlSize), when);
    FUZZ_CHECK(Terminated(table.globalFont.lfFaceName, kFaceNameSize), when);
    for (const ButtonRecord& record : table.records) {
        FUZZ_CHECK(Terminated(record.name, kNameSize), when);
        FUZZ_CHECK(Terminated(record.url, kUrlSize), when);
        FUZZ_CHECK(Terminated(record.ownFont.lfFaceName, kFaceNameSize), when);
    }
}

// Byte comparison of the harnesses' own. The fuzzer watches every memcmp in the process to learn
// from the operands, which costs far more than the comparison; these are not its business. They
// read only memory the harness owns and knows to be valid, so they go unchecked by the
// sanitizers too: most of a run would otherwise be spent checking the checks.
#define FUZZ_UNCHECKED __attribute__((no_sanitize("address", "undefined")))

FUZZ_UNCHECKED inline bool SameBytes(const void* a, const void* b, size_t size) {
    const unsigned char* x = static_cast<const unsigned char*>(a);
    const unsigned char* y = static_cast<const unsigned char*>(b);
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t left, right;
        std::memcpy(&left, x + i, 8);
        std::memcpy(&right, y + i, 8);
        if (left != right) return false;
    }
    for (; i < size; ++i) {
        if (x[i] != y[i]) return false;
    }
    return true;
}

inline bool SameContent(const std::vector<uint8_t>& file, const void* data, size_t size) {
    return file.size() == size && SameBytes(file.data(), data, size);
}
inline bool SameContent(const std::vector<uint8_t>& file, const std::vector<uint8_t>& other) {
    return SameContent(file, other.data(), other.size());
}

// A 64-bit hash of a byte range, eight bytes at a time.
FUZZ_UNCHECKED inline uint64_t Hash(const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    uint64_t hash = 1469598103934665603ull ^ size;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        hash = (hash ^ word) * 0x9e3779b97f4a7c15ull;
        hash ^= hash >> 29;
    }
    for (; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

// The platform of one run: fresh files, registry and message count, and every process-wide
// value a run reads back set as a fresh process has it.
struct Platform {
    MemoryFileSystem files;
    NativeRegistry registry;
    CountingMessageSink messages;
    Latin1CodePage codePage;

    Platform();
    ~Platform();
};

// The folders every run starts with.
extern const char kDocumentsFolder[];
extern const char kAppDataFolder[];

// The Button file path as recorded in the registry, or "" when none is.
std::string RecordedButtonFile(NativeRegistry& registry);

}  // namespace fuzz
