// The invariant both the merge's property test and its fuzz harness check: no button that one
// side added or changed is missing from what the merge made.
#pragma once

#include "store/button_merge.h"

namespace merge_checks {

// Whether a button of `side` that `base` lacks (no base: every button of `side`) is missing from
// every merged table.
inline bool LosesAChange(const ButtonTable& side, const ButtonTable* base, const MergeResult& result) {
    for (int i = 0; i < ButtonCount(side); ++i) {
        ButtonRecord wanted = side.records[i];
        wanted.name[kNameSize - 1] = wanted.url[kUrlSize - 1] = wanted.ownFont.lfFaceName[kFaceNameSize - 1] = 0;
        bool known = false;
        for (int j = 0; base != nullptr && j < ButtonCount(*base) && !known; ++j) {
            known = SameButton(wanted, base->records[j]);
        }
        if (known) continue;
        bool kept = false;
        for (const auto& table : result.merged) {
            for (int j = 0; j < table->buttonCount && !kept; ++j) kept = SameButton(wanted, table->records[j]);
        }
        if (!kept) return true;
    }
    return false;
}

}  // namespace merge_checks
