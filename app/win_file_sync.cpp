#include "app/win_file_sync.h"

#include <cstdint>
#include <algorithm>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/bar_messages.h"
#include "app/win_state.h"
#include "dialogs/win_dialogs.h"
#include "store/button_files.h"
#include "store/folder_watch.h"
#include "store/platform_seam.h"
#include "store/settings.h"
#include "store/sync_rules.h"
#include "store/text_encoding.h"
#include "store/win_folder_watch.h"

namespace {

// Timer ids on the bar (the tray's countdown is 1).
constexpr UINT_PTR kSaveRetryTimer = 20;
constexpr UINT_PTR kSettleTimer = 21;
constexpr UINT_PTR kLookTimer = 22;
constexpr UINT_PTR kReloadTimer = 23;
// A file heard of is taken once two looks this far apart find it alike; the current file is
// looked at this often whether or not a notification came (some network and cloud folders send
// none); a change that could not be read is tried again after this.
constexpr UINT kSettleMs = 300;
constexpr UINT kLookMs = 5000;
constexpr UINT kReloadRetryMs = 1000;

const char kCaption[] = "Brisklet";

// What a file looked like: there or not, its size and last write time.
struct Look {
    bool there = false;
    uint64_t size = 0;
    uint64_t time = 0;
    bool operator==(const Look& other) const {
        return there == other.there && size == other.size && time == other.time;
    }
};

Look LookAt(const std::string& path) {
    Look look;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) == FALSE) return look;
    look.there = true;
    look.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    look.time = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return look;
}

// The current Button file's folder and name.
std::string CurrentFolder() {
    const std::string path = g_currentButtonFile;
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
std::string CurrentName() {
    const std::string path = g_currentButtonFile;
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::pair<std::string, Look>> s_settling;   // names heard of, as they looked at the last look
Look s_current;                           // the current file at the last look
bool s_reloadDue = false;                 // a change of the current file waits to be taken
std::vector<std::string> s_copiesAsked;   // conflict copies asked about (lower-case paths)
std::vector<std::string> s_copiesDue;     // conflict copies waiting to be asked about
bool s_asking = false;

bool Asked(const std::string& copy) {
    return std::find(s_copiesAsked.begin(), s_copiesAsked.end(), LowerUtf8(copy)) != s_copiesAsked.end();
}

// A modal dialog or message box owned by the bar is open: what it shows stays as it is until it
// closes (its saves merge whatever arrived).
bool DialogOpen() { return IsWindowEnabled(g_hwndBar) == FALSE; }

class BarSyncEvents : public FileSyncEvents {
public:
    void RetrySaveLater(unsigned ms) override { SetTimer(g_hwndBar, kSaveRetryTimer, ms, nullptr); }
    void TableReplaced() override {
        PostMessageA(g_hwndBar, WM_BAR_RELAYOUT, 0, 0);
        RefreshSetupDialog();
    }
};
BarSyncEvents s_events;

void TakeCurrentChange() {
    if (DialogOpen()) {
        s_reloadDue = true;
        return;
    }
    s_reloadDue = false;
    if (TakeDiskChange() == DiskChange::TryLater) {
        s_reloadDue = true;
        SetTimer(g_hwndBar, kReloadTimer, kReloadRetryMs, nullptr);
    }
    s_current = LookAt(g_currentButtonFile);
}

void AskAboutCopies() {
    if (s_asking || DialogOpen()) return;
    s_asking = true;
    while (!s_copiesDue.empty()) {
        const std::string copy = s_copiesDue.front();
        s_copiesDue.erase(s_copiesDue.begin());
        if (Asked(copy) || !LookAt(copy).there) continue;
        s_copiesAsked.push_back(LowerUtf8(copy));
        const std::string question = "A synchronisation program left a copy of the Button file with changes made "
                                     "elsewhere:\n" + copy + "\n\nMerge its buttons into " + g_currentButtonFile +
                                     "?\nThe copy stays on disk, renamed to end in \".merged\".";
        if (MessageBoxA(g_hwndBar, question.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            AddDeclinedCopy(copy.c_str());  // never asked about again, also after a restart
            continue;
        }
        switch (MergeConflictCopy(copy.c_str())) {
            case CopyMerge::Merged:
            case CopyMerge::NotSaved: break;   // a save that failed has said so
            case CopyMerge::CannotRead:
                MessageBoxA(g_hwndBar, ("The copy cannot be read as a Button file:\n" + copy).c_str(), kCaption, MB_OK);
                break;
            case CopyMerge::NotRenamed:
                MessageBoxA(g_hwndBar, ("Its buttons were merged, but the copy could not be renamed:\n" + copy).c_str(),
                            kCaption, MB_OK);
                break;
        }
    }
    s_asking = false;
}

void QueueCopy(const std::string& folder, const std::string& name) {
    const std::string path = folder + "\\" + name;
    const std::string lower = LowerUtf8(path);
    if (Asked(path) ||
        std::any_of(s_copiesDue.begin(), s_copiesDue.end(), [&](const std::string& due) { return LowerUtf8(due) == lower; })) {
        return;
    }
    s_copiesDue.push_back(path);
}

// Every conflict copy of the current file already in its folder.
void ScanForCopies() {
    const std::string folder = CurrentFolder();
    const std::string current = CurrentName();
    for (const std::string& name : ButtonFileNamesIn(folder, SIZE_MAX)) {
        if (IsConflictCopyName(current.c_str(), name.c_str())) QueueCopy(folder, name);
    }
}

// The store's own listener: the current file and its conflict copies.
class CurrentFileListener : public ButtonFolderListener {
public:
    void ButtonFileChanged(const char* folder, const char* name) override {
        if (name == nullptr) {
            TakeCurrentChange();
            ScanForCopies();
        } else if (LowerUtf8(folder) == LowerUtf8(CurrentFolder())) {
            if (LowerUtf8(name) == LowerUtf8(CurrentName())) {
                TakeCurrentChange();
            } else if (IsConflictCopyName(CurrentName().c_str(), name)) {
                QueueCopy(folder, name);
            }
        }
        AskAboutCopies();
    }
};
CurrentFileListener s_listener;

// The folder of the current file is the one watched (the file may have changed since).
void WatchCurrentFolder() {
    const std::string folder = CurrentFolder();
    if (LowerUtf8(folder) == LowerUtf8(WatchedFolder())) return;
    s_settling.clear();
    // A folder without notifications is still looked at every 5 seconds.
    StartFolderWatch(folder.c_str(), g_hwndBar, WM_BAR_FOLDERCHANGED);
    s_current = LookAt(g_currentButtonFile);
    ScanForCopies();
}

void Hear(const std::string& name) {
    const Look look = LookAt(CurrentFolder() + "\\" + name);
    auto known = std::find_if(s_settling.begin(), s_settling.end(), [&](const auto& entry) { return entry.first == name; });
    if (known != s_settling.end()) {
        known->second = look;
    } else {
        s_settling.emplace_back(name, look);
    }
    SetTimer(g_hwndBar, kSettleTimer, kSettleMs, nullptr);
}

void OnSettleTick() {
    KillTimer(g_hwndBar, kSettleTimer);
    const std::string folder = CurrentFolder();
    std::vector<std::string> ready;
    for (auto& entry : s_settling) {
        const Look now = LookAt(folder + "\\" + entry.first);
        if (now == entry.second) {
            ready.push_back(entry.first);
        } else {
            entry.second = now;
        }
    }
    s_settling.erase(std::remove_if(s_settling.begin(), s_settling.end(),
                                    [&](const auto& entry) {
                                        return std::find(ready.begin(), ready.end(), entry.first) != ready.end();
                                    }),
                     s_settling.end());
    if (!s_settling.empty()) SetTimer(g_hwndBar, kSettleTimer, kSettleMs, nullptr);
    for (const std::string& name : ready) NotifyButtonFolderListeners(folder.c_str(), name.c_str());
}

void OnLookTick() {
    WatchCurrentFolder();
    const Look now = LookAt(g_currentButtonFile);
    if (!(now == s_current)) {
        s_current = now;
        Hear(CurrentName());
    }
    if (s_reloadDue) TakeCurrentChange();
    AskAboutCopies();
}

}  // namespace

void StartFileSync() {
    const std::vector<std::string> declined = ReadDeclinedCopies();
    std::transform(declined.begin(), declined.end(), std::back_inserter(s_copiesAsked), LowerUtf8);
    g_platform.sync = &s_events;
    AddButtonFolderListener(&s_listener);
    WatchCurrentFolder();
    SetTimer(g_hwndBar, kLookTimer, kLookMs, nullptr);
    // Copies found at start are offered once the bar is up.
    if (!s_copiesDue.empty()) SetTimer(g_hwndBar, kSettleTimer, kSettleMs, nullptr);
}

void StopFileSync() {
    for (UINT_PTR timer : {kSaveRetryTimer, kSettleTimer, kLookTimer, kReloadTimer}) KillTimer(g_hwndBar, timer);
    StopFolderWatch();
    RemoveButtonFolderListener(&s_listener);
    g_platform.sync = nullptr;
}

void OnFolderChanged(LPARAM lParam) {
    char* name = reinterpret_cast<char*>(lParam);
    if (name == nullptr) {
        NotifyButtonFolderListeners(CurrentFolder().c_str(), nullptr);
        return;
    }
    Hear(name);
    delete[] name;
}

bool OnFileSyncTimer(WPARAM timerId) {
    switch (timerId) {
        case kSaveRetryTimer:
            KillTimer(g_hwndBar, kSaveRetryTimer);
            RetryPendingSave();
            return true;
        case kSettleTimer:
            OnSettleTick();
            AskAboutCopies();
            return true;
        case kLookTimer: OnLookTick(); return true;
        case kReloadTimer:
            KillTimer(g_hwndBar, kReloadTimer);
            if (s_reloadDue) TakeCurrentChange();
            return true;
        default: return false;
    }
}
