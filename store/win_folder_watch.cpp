#include "store/win_folder_watch.h"

#include <cstring>

#include "store/button_table.h"
#include "store/folder_watch.h"

namespace {

struct Watch {
    HANDLE folder = INVALID_HANDLE_VALUE;
    HANDLE stop = nullptr;
    HANDLE changed = nullptr;
    HANDLE thread = nullptr;
    HWND window = nullptr;
    UINT message = 0;
};

Watch s_watch;
char s_watchedFolder[2048];

void Post(const Watch& watch, const WCHAR* name, DWORD nameBytes) {
    char* ansi = nullptr;
    if (name != nullptr) {
        const int length = static_cast<int>(nameBytes / sizeof(WCHAR));
        const int size = WideCharToMultiByte(CP_ACP, 0, name, length, nullptr, 0, nullptr, nullptr);
        if (size <= 0 || size >= MAX_PATH) return;
        ansi = new char[static_cast<size_t>(size) + 1];
        WideCharToMultiByte(CP_ACP, 0, name, length, ansi, size, nullptr, nullptr);
        ansi[size] = '\0';
        if (!IsButtonFileName(ansi)) {
            delete[] ansi;
            return;
        }
    }
    if (PostMessageA(watch.window, watch.message, 0, reinterpret_cast<LPARAM>(ansi)) == FALSE) delete[] ansi;
}

// Reports each entry of one batch; a name replaced by rename shows as its new name.
void ReportBatch(const Watch& watch, const BYTE* buffer, DWORD bytes) {
    if (bytes == 0) {
        Post(watch, nullptr, 0);   // the batch overflowed: changes were lost
        return;
    }
    DWORD offset = 0;
    for (;;) {
        if (offset + sizeof(FILE_NOTIFY_INFORMATION) > bytes) return;
        const auto* entry = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + offset);
        if (entry->Action != FILE_ACTION_RENAMED_OLD_NAME &&
            offset + offsetof(FILE_NOTIFY_INFORMATION, FileName) + entry->FileNameLength <= bytes) {
            Post(watch, entry->FileName, entry->FileNameLength);
        }
        if (entry->NextEntryOffset == 0) return;
        offset += entry->NextEntryOffset;
    }
}

DWORD WINAPI WatchThread(void* parameter) {
    const Watch watch = *static_cast<const Watch*>(parameter);
    alignas(DWORD) static BYTE buffer[16384];
    for (;;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = watch.changed;
        DWORD bytes = 0;
        const DWORD filter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;
        if (ReadDirectoryChangesW(watch.folder, buffer, sizeof buffer, FALSE, filter, nullptr, &overlapped, nullptr) ==
            FALSE) {
            return 0;
        }
        const HANDLE events[] = {watch.stop, watch.changed};
        const DWORD woke = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (woke != WAIT_OBJECT_0 + 1) {
            CancelIo(watch.folder);
            GetOverlappedResult(watch.folder, &overlapped, &bytes, TRUE);
            return 0;
        }
        if (GetOverlappedResult(watch.folder, &overlapped, &bytes, FALSE) == FALSE) {
            if (GetLastError() != ERROR_NOTIFY_ENUM_DIR) return 0;
            bytes = 0;
        }
        ReportBatch(watch, buffer, bytes);
    }
}

void CloseWatch(Watch& watch) {
    if (watch.folder != INVALID_HANDLE_VALUE) CloseHandle(watch.folder);
    if (watch.stop != nullptr) CloseHandle(watch.stop);
    if (watch.changed != nullptr) CloseHandle(watch.changed);
    if (watch.thread != nullptr) CloseHandle(watch.thread);
    watch = Watch();
}

}  // namespace

bool StartFolderWatch(const char* folder, HWND window, UINT message) {
    StopFolderWatch();
    Watch watch;
    watch.window = window;
    watch.message = message;
    watch.folder = CreateFileA(folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    watch.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    watch.changed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (watch.folder == INVALID_HANDLE_VALUE || watch.stop == nullptr || watch.changed == nullptr) {
        CloseWatch(watch);
        return false;
    }
    s_watch = watch;
    // The thread reads s_watch, which stays as it is until StopFolderWatch has waited for it.
    s_watch.thread = CreateThread(nullptr, 0, WatchThread, &s_watch, 0, nullptr);
    if (s_watch.thread == nullptr) {
        CloseWatch(s_watch);
        return false;
    }
    CopyTextToField(s_watchedFolder, sizeof s_watchedFolder, folder);
    return true;
}

void StopFolderWatch() {
    s_watchedFolder[0] = '\0';
    if (s_watch.thread == nullptr) return;
    SetEvent(s_watch.stop);
    WaitForSingleObject(s_watch.thread, INFINITE);
    CloseWatch(s_watch);
}

const char* WatchedFolder() { return s_watchedFolder; }

std::vector<std::string> ButtonFileNamesIn(const std::string& folder, size_t most) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*.bklt").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && IsButtonFileName(found.cFileName))
            names.emplace_back(found.cFileName);
    } while (names.size() < most && FindNextFileA(search, &found) != FALSE);
    FindClose(search);
    return names;
}
