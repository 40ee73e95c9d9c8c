#include "store/button_merge.h"

#include <cstdlib>
#include <cstring>

namespace {

// Text fields compare up to their terminator; the last byte of a field is its terminator, as
// every load makes it.
bool SameText(const char* a, const char* b, size_t size) {
    for (size_t i = 0; i + 1 < size; ++i) {
        if (a[i] != b[i]) return false;
        if (a[i] == '\0') return true;
    }
    return true;
}

bool SameFont(const FontDesc& a, const FontDesc& b) {
    return std::memcmp(&a, &b, offsetof(FontDesc, lfFaceName)) == 0 &&
           SameText(a.lfFaceName, b.lfFaceName, sizeof a.lfFaceName);
}

bool SameKey(const ButtonRecord& a, const ButtonRecord& b) {
    return SameText(a.name, b.name, sizeof a.name) && SameText(a.url, b.url, sizeof a.url);
}

bool SameNameOrUrl(const ButtonRecord& a, const ButtonRecord& b) {
    return SameText(a.name, b.name, sizeof a.name) || SameText(a.url, b.url, sizeof a.url);
}

// The buttons of a table in bar order; a count outside 0..100 reads as the table's loader does.
struct Buttons {
    const ButtonRecord* records;
    int count;
};

Buttons ButtonsOf(const ButtonTable& table) { return {table.records, ButtonCount(table)}; }

// For each button of `from`, the index of its match in `to`, or -1. A pass over exact keys (name
// and address) first, then one over buttons that keep one of the two; in each, the unmatched
// candidate nearest in position wins (the earlier one on a tie).
std::vector<int> MatchButtons(Buttons from, Buttons to) {
    std::vector<int> match(static_cast<size_t>(from.count), -1);
    std::vector<bool> taken(static_cast<size_t>(to.count), false);
    for (auto same : {SameKey, SameNameOrUrl}) {
        for (int i = 0; i < from.count; ++i) {
            if (match[i] >= 0) continue;
            int best = -1;
            for (int j = 0; j < to.count; ++j) {
                if (taken[j] || !same(from.records[i], to.records[j])) continue;
                if (best < 0 || std::abs(j - i) < std::abs(best - i)) best = j;
            }
            if (best >= 0) {
                match[i] = best;
                taken[best] = true;
            }
        }
    }
    return match;
}

std::vector<int> Inverse(const std::vector<int>& match, int size) {
    std::vector<int> inverse(static_cast<size_t>(size), -1);
    for (size_t i = 0; i < match.size(); ++i) {
        if (match[i] >= 0) inverse[match[i]] = static_cast<int>(i);
    }
    return inverse;
}

std::string NameOf(const ButtonRecord& record) {
    const void* end = std::memchr(record.name, '\0', sizeof record.name);
    const size_t length = end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - record.name)
                                         : sizeof record.name - 1;
    return std::string(record.name, length);
}

// One table-wide setting: changed on one side, that side's value; on both, ours, and the user
// hears of it unless both made the same change.
template <typename Value, typename Same>
void MergeSetting(Value& out, const Value& base, const Value& ours, const Value& theirs, Same same, const char* name,
                  std::vector<MergeNote>& notes) {
    if (same(ours, base)) {
        out = theirs;
    } else {
        out = ours;
        if (!same(theirs, base) && !same(theirs, ours)) notes.push_back({MergeNote::Kind::SettingKeptOurs, name});
    }
}

bool SameInt(const int32_t& a, const int32_t& b) { return a == b; }
bool SameFlag(const uint8_t& a, const uint8_t& b) { return (a == 1) == (b == 1); }

struct UrlField {
    char text[kUrlSize];
};

// Lays `list` out in tables of at most 100 buttons, each with the settings of `settings`.
MergeResult Pack(const ButtonTable& settings, const std::vector<const ButtonRecord*>& list,
                 std::vector<MergeNote> notes) {
    MergeResult result;
    size_t next = 0;
    do {
        auto table = std::make_unique<ButtonTable>(settings);
        std::memset(table->records, 0, sizeof table->records);
        int count = 0;
        for (; next < list.size() && count < kMaxButtons; ++next, ++count) table->records[count] = *list[next];
        table->buttonCount = count;
        RepairLoadedTable(*table);
        result.merged.push_back(std::move(table));
    } while (next < list.size());
    if (list.size() > static_cast<size_t>(kMaxButtons)) {
        notes.push_back({MergeNote::Kind::Overflow, std::to_string(list.size() - kMaxButtons)});
    }
    result.notes = std::move(notes);
    return result;
}

}  // namespace

bool SameButton(const ButtonRecord& a, const ButtonRecord& b) {
    return SameKey(a, b) && a.legacyValue == b.legacyValue && SameFont(a.ownFont, b.ownFont) &&
           a.hasOwnFont == b.hasOwnFont && a.newWindow == b.newWindow &&
           std::memcmp(a.reserved, b.reserved, sizeof a.reserved) == 0;
}

MergeResult MergeButtonTables(const ButtonTable& base, const ButtonTable& ours, const ButtonTable& theirs) {
    const Buttons b = ButtonsOf(base);
    const Buttons o = ButtonsOf(ours);
    const Buttons t = ButtonsOf(theirs);
    const std::vector<int> baseInOurs = MatchButtons(b, o);
    const std::vector<int> baseInTheirs = MatchButtons(b, t);
    const std::vector<int> oursInBase = Inverse(baseInOurs, o.count);
    const std::vector<int> theirsInBase = Inverse(baseInTheirs, t.count);
    std::vector<MergeNote> notes;

    // What each of their buttons becomes, in their order.
    std::vector<std::vector<const ButtonRecord*>> slot(static_cast<size_t>(t.count));
    for (int k = 0; k < t.count; ++k) {
        const ButtonRecord& theirsRecord = t.records[k];
        const int at = theirsInBase[k];
        if (at < 0) {
            slot[k].push_back(&theirsRecord);   // added by them
            continue;
        }
        const bool theyChanged = !SameButton(theirsRecord, b.records[at]);
        const int j = baseInOurs[at];
        if (j < 0) {
            // Deleted by us: gone unless they changed it.
            if (theyChanged) {
                slot[k].push_back(&theirsRecord);
                notes.push_back({MergeNote::Kind::KeptOverDelete, NameOf(theirsRecord)});
            }
            continue;
        }
        const ButtonRecord& oursRecord = o.records[j];
        const bool weChanged = !SameButton(oursRecord, b.records[at]);
        if (weChanged && !theyChanged) {
            slot[k].push_back(&oursRecord);
        } else {
            slot[k].push_back(&theirsRecord);
            if (weChanged && !SameButton(oursRecord, theirsRecord)) {
                slot[k].push_back(&oursRecord);
                notes.push_back({MergeNote::Kind::BothVersionsKept, NameOf(oursRecord)});
            }
        }
    }

    // Our additions that they made too, alike, are one button.
    std::vector<int> sameAddition(static_cast<size_t>(o.count), -1);
    std::vector<bool> theirAdditionTaken(static_cast<size_t>(t.count), false);
    for (int j = 0; j < o.count; ++j) {
        if (oursInBase[j] >= 0) continue;
        for (int k = 0; k < t.count; ++k) {
            if (theirsInBase[k] < 0 && !theirAdditionTaken[k] && SameButton(o.records[j], t.records[k])) {
                sameAddition[j] = k;
                theirAdditionTaken[k] = true;
                break;
            }
        }
    }

    // Our buttons that their order has no place for (our additions, our changes to buttons they
    // deleted) follow the nearest button before them in our order that theirs has too.
    std::vector<std::vector<const ButtonRecord*>> after(static_cast<size_t>(t.count) + 1);
    size_t anchor = 0;
    for (int j = 0; j < o.count; ++j) {
        const int at = oursInBase[j];
        const int k = at >= 0 ? baseInTheirs[at] : sameAddition[j];
        if (k >= 0) {
            anchor = static_cast<size_t>(k) + 1;
            continue;
        }
        const bool kept = at < 0 || !SameButton(o.records[j], b.records[at]);
        if (!kept) continue;   // unchanged here, deleted there
        after[anchor].push_back(&o.records[j]);
        if (at >= 0) notes.push_back({MergeNote::Kind::KeptOverDelete, NameOf(o.records[j])});
    }

    std::vector<const ButtonRecord*> list(after[0]);
    for (int k = 0; k < t.count; ++k) {
        list.insert(list.end(), slot[k].begin(), slot[k].end());
        list.insert(list.end(), after[k + 1].begin(), after[k + 1].end());
    }

    // The settings: our image's reserved bytes, each setting merged as one record.
    ButtonTable settings = ours;
    MergeSetting(settings.buttonWidth, base.buttonWidth, ours.buttonWidth, theirs.buttonWidth, SameInt, "button width",
                 notes);
    MergeSetting(settings.wide, base.wide, ours.wide, theirs.wide, SameFlag, "wide buttons", notes);
    MergeSetting(settings.sameFont, base.sameFont, ours.sameFont, theirs.sameFont, SameFlag, "same font for all",
                 notes);
    MergeSetting(settings.globalFont, base.globalFont, ours.globalFont, theirs.globalFont, SameFont, "global font",
                 notes);
    UrlField favourite{};
    MergeSetting(favourite, *reinterpret_cast<const UrlField*>(base.favouriteUrl),
                 *reinterpret_cast<const UrlField*>(ours.favouriteUrl),
                 *reinterpret_cast<const UrlField*>(theirs.favouriteUrl),
                 [](const UrlField& x, const UrlField& y) { return SameText(x.text, y.text, sizeof x.text); },
                 "Favourite URL", notes);
    std::memcpy(settings.favouriteUrl, favourite.text, sizeof settings.favouriteUrl);
    return Pack(settings, list, std::move(notes));
}

MergeResult UniteButtonTables(const ButtonTable& ours, const ButtonTable& other) {
    const Buttons o = ButtonsOf(ours);
    const Buttons x = ButtonsOf(other);
    std::vector<const ButtonRecord*> list;
    list.reserve(static_cast<size_t>(o.count) + static_cast<size_t>(x.count));
    for (int j = 0; j < o.count; ++j) list.push_back(&o.records[j]);
    std::vector<bool> matched(static_cast<size_t>(o.count), false);
    for (int k = 0; k < x.count; ++k) {
        bool found = false;
        for (int j = 0; j < o.count && !found; ++j) {
            if (!matched[j] && SameButton(o.records[j], x.records[k])) found = matched[j] = true;
        }
        if (!found) list.push_back(&x.records[k]);
    }
    return Pack(ours, list, {});
}

std::string DescribeMerge(const std::vector<MergeNote>& notes, const char* overflowFile) {
    if (notes.empty()) return std::string();
    const size_t kMaxLines = 12;
    std::string text = "Another program changed the Button file while Brisklet had changes of its own. "
                       "Both were kept:";
    size_t shown = 0;
    for (const MergeNote& note : notes) {
        if (note.kind != MergeNote::Kind::Overflow && shown >= kMaxLines) {
            if (shown == kMaxLines) text += "\n...";
            shown = kMaxLines + 1;
            continue;
        }
        switch (note.kind) {
            case MergeNote::Kind::BothVersionsKept:
                text += "\n\"" + note.what + "\" was changed on both sides: both versions stand next to each other.";
                break;
            case MergeNote::Kind::SettingKeptOurs:
                text += "\nThe " + note.what + " was changed on both sides: the one set here stands.";
                break;
            case MergeNote::Kind::KeptOverDelete:
                text += "\n\"" + note.what + "\" was deleted on one side and changed on the other: it stays.";
                break;
            case MergeNote::Kind::Overflow:
                text += "\n" + note.what + " buttons more than the bar holds are in - " +
                        (overflowFile != nullptr ? overflowFile : "a new Button file");
                continue;
        }
        ++shown;
    }
    return text;
}
