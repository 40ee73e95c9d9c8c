// Any bytes as three Button tables that two writers changed apart (the base both started from,
// this program's, the file's), merged three ways and as a union, and as two file names for the
// conflict-copy rule. The tables are written compactly, so short inputs meet: per table a width,
// a count (past 100 too), the Favourite URL, and per button a name, an address (longer than their
// fields too, then without a terminator), flags and a font height. An input of three whole
// images or more is taken as those images, byte for byte.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "store/button_merge.h"
#include "store/sync_rules.h"
#include "tests/fuzz/fuzz_harnesses.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/merge_checks.h"

namespace {

using fuzz::ByteReader;
using merge_checks::LosesAChange;

// A byte as a small signed number (-128 ... 127): counts below zero and past 100 too.
int32_t Signed(uint8_t byte) { return byte >= 128 ? static_cast<int32_t>(byte) - 256 : byte; }

void PutField(char* field, size_t size, const std::string& text) {
    std::memset(field, 0, size);
    // A text as long as the field fills it without a terminator, on purpose.
    std::memcpy(field, text.data(), text.size() < size ? text.size() : size);  // NOLINT(bugprone-not-null-terminated-result)
}

std::unique_ptr<ButtonTable> ReadTable(ByteReader& in) {
    auto table = std::make_unique<ButtonTable>();
    std::memset(table.get(), 0, sizeof *table);
    table->buttonWidth = in.I32();
    table->buttonCount = Signed(in.Byte());
    table->wide = in.Byte();
    PutField(table->favouriteUrl, kUrlSize, in.Text(kUrlSize + 8));
    for (int i = 0; i < ButtonCount(*table); ++i) {
        ButtonRecord& record = table->records[i];
        PutField(record.name, kNameSize, in.Text(kNameSize + 8));
        PutField(record.url, kUrlSize, in.Text(kUrlSize + 8));
        const uint8_t flags = in.Byte();
        record.hasOwnFont = flags & 3;
        record.newWindow = (flags >> 2) & 3;
        record.ownFont.lfHeight = Signed(in.Byte());
    }
    return table;
}

std::unique_ptr<ButtonTable> RawTable(const uint8_t* data) {
    auto table = std::make_unique<ButtonTable>();
    std::memcpy(table.get(), data, sizeof *table);
    return table;
}

void CheckResult(const MergeResult& result, int most) {
    FUZZ_CHECK(!result.merged.empty() && result.merged.size() <= 2, "one table, or two past 100 buttons");
    int total = 0;
    for (const auto& table : result.merged) {
        fuzz::CheckTableSound(*table, "a merged table is a valid image");
        total += table->buttonCount;
    }
    FUZZ_CHECK(total <= most, "a merge makes no more buttons than both sides hold");
    FUZZ_CHECK(result.merged.size() == 1 || result.merged[0]->buttonCount == kMaxButtons,
               "a second table only once the first is full");
    DescribeMerge(result.notes, "overflow.bklt");
}

}  // namespace

int FuzzButtonMerge(const uint8_t* data, size_t size) {
    ByteReader in(data, size);
    std::unique_ptr<ButtonTable> base, ours, theirs;
    if (size >= 3 * kButtonTableSize) {
        base = RawTable(data);
        ours = RawTable(data + kButtonTableSize);
        theirs = RawTable(data + 2 * kButtonTableSize);
    } else {
        base = ReadTable(in);
        ours = ReadTable(in);
        theirs = ReadTable(in);
    }

    const MergeResult merged = MergeButtonTables(*base, *ours, *theirs);
    CheckResult(merged, ButtonCount(*ours) + ButtonCount(*theirs));
    FUZZ_CHECK(!LosesAChange(*ours, base.get(), merged), "no button added or changed here is lost");
    FUZZ_CHECK(!LosesAChange(*theirs, base.get(), merged), "no button added or changed there is lost");

    const MergeResult united = UniteButtonTables(*ours, *theirs);
    CheckResult(united, ButtonCount(*ours) + ButtonCount(*theirs));
    FUZZ_CHECK(!LosesAChange(*theirs, nullptr, united), "a union keeps every button of the copy");
    FUZZ_CHECK(!LosesAChange(*ours, nullptr, united), "a union keeps every button of ours");

    // The rest of the input as two file names.
    const std::string current = in.Text(300);
    const std::string candidate = in.Text(300);
    FUZZ_CHECK(!IsConflictCopyName(current.c_str(), current.c_str()), "a file is no conflict copy of itself");
    if (IsConflictCopyName(current.c_str(), candidate.c_str())) {
        const size_t length = std::strlen(candidate.c_str());
        FUZZ_CHECK(length > 5 && std::strlen(current.c_str()) < length, "a copy's name is longer");
    }
    char path[64];
    if (NotSavedCopyPath(current.c_str(), path, sizeof path)) {
        FUZZ_CHECK(std::strlen(path) < sizeof path, "the (not saved) name fits");
    }
    return 0;
}
