// The icon worker: the queue, the cache folder, WinINet and the shell. The thread takes one job
// at a time, so at most one request is in flight; every request is bounded by the time-outs
// below, so a site that never answers holds the queue for seconds, never for good. The thread
// is never waited for: when the bar closes, the process ends with it wherever it is.
#include "app/win_icon_worker.h"

#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <atomic>
#include <deque>
#include <memory>

#include "app/bar_messages.h"
#include "app/site_icons.h"

namespace {

constexpr DWORD kTimeoutMs = 5000;          // connect, send and receive, each
constexpr DWORD kSiteDeadlineMs = 20000;    // all requests for one site together
constexpr DWORD kReadChunk = 16 * 1024;

// The queue, made once and never freed: the worker may still be waiting on it while the
// process ends, so nothing may tear it down.
struct Queue {
    CRITICAL_SECTION lock{};
    HANDLE wake = nullptr;
    std::deque<IconJob> jobs;
    HWND bar = nullptr;
    bool started = false;
    // Cleared when the icons are switched off: a job under way asks nothing more of any server.
    std::atomic<bool> wanted{true};
};

Queue& TheQueue() {
    // NOLINTNEXTLINE(cppcoreguidelines-owning-memory): lives as long as the process, see Queue
    static Queue* const queue = [] {
        auto* made = new Queue;
        InitializeCriticalSection(&made->lock);
        made->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        return made;
    }();
    return *queue;
}

class Lock {
public:
    explicit Lock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
    ~Lock() { LeaveCriticalSection(&section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION& section_;
};

// A WinINet handle, closed on every path.
class Internet {
public:
    explicit Internet(HINTERNET handle) : handle_(handle) {}
    ~Internet() {
        if (handle_ != nullptr) InternetCloseHandle(handle_);
    }
    Internet(const Internet&) = delete;
    Internet& operator=(const Internet&) = delete;
    HINTERNET get() const { return handle_; }

private:
    HINTERNET handle_;
};

bool Wanted() { return TheQueue().wanted.load(); }

// Whether another request may be made: the site's time is not up and the icons are still on.
bool TimeLeft(DWORD deadline) { return static_cast<LONG>(deadline - GetTickCount()) > 0 && Wanted(); }

void SetTimeouts(HINTERNET handle) {
    DWORD timeout = kTimeoutMs;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
}

// One GET, redirects followed by hand (at most five, each resolved against the address it came
// from, never from https down to http), the body cut at 256 KiB. No cookies, no authentication, no user interface; a
// certificate error fails the request. `address` ends as the address the body came from. The
// request is made step by step rather than with InternetOpenUrl so that its own handle carries
// the time-outs: Wine does not pass a session's on to the requests of InternetOpenUrl.
bool Get(HINTERNET session, std::string* address, std::vector<uint8_t>* body, DWORD deadline) {
    body->clear();
    for (int hop = 0; hop <= kIconMaxRedirects && TimeLeft(deadline); ++hop) {
        WebAddress target;
        if (!ParseWebAddress(*address, &target)) return false;
        const bool secure = target.scheme == "https";
        Internet connection(InternetConnectA(session, target.host.c_str(), static_cast<INTERNET_PORT>(target.port),
                                             nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
        if (connection.get() == nullptr) return false;
        const DWORD flags = INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_NO_UI |
                            INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD |
                            (secure ? INTERNET_FLAG_SECURE : 0);
        Internet request(HttpOpenRequestA(connection.get(), "GET", target.path.c_str(), nullptr, nullptr, nullptr,
                                          flags, 0));
        if (request.get() == nullptr) return false;
        SetTimeouts(request.get());
        if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return false;
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
            return false;
        }
        if (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) {
            char location[2048] = "";
            size = sizeof location - 1;
            if (!HttpQueryInfoA(request.get(), HTTP_QUERY_LOCATION, location, &size, nullptr)) return false;
            const std::string next = RedirectTarget(*address, location);
            if (next.empty()) return false;
            *address = next;
            continue;
        }
        if (status != 200) return false;
        while (body->size() < kIconResponseLimit) {
            if (!TimeLeft(deadline)) return false;
            const size_t room = kIconResponseLimit - body->size();
            const DWORD chunk = room < kReadChunk ? static_cast<DWORD>(room) : kReadChunk;
            const size_t at = body->size();
            body->resize(at + chunk);
            DWORD read = 0;
            if (!InternetReadFile(request.get(), body->data() + at, chunk, &read)) return false;
            body->resize(at + read);
            if (read == 0) break;
        }
        return true;
    }
    return false;
}

HINTERNET Session() {
    static HINTERNET session = nullptr;
    if (session != nullptr) return session;
    session = InternetOpenA("Brisklet", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session != nullptr) {
        SetTimeouts(session);
        DWORD retries = 1;
        InternetSetOptionA(session, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries);
    }
    return session;
}

// The site's icon from the network: /favicon.ico, else the icon the page links to. Empty when
// there is none.
std::vector<uint8_t> FetchSiteIcon(const IconJob& job) {
    std::vector<uint8_t> icon;
    if (!Wanted()) return icon;
    HINTERNET session = Session();
    WebAddress site;
    if (session == nullptr || !ParseWebAddress(job.address, &site)) return icon;
    const DWORD deadline = GetTickCount() + kSiteDeadlineMs;
    std::vector<uint8_t> body;
    std::string address = FaviconAddress(site);
    if (Get(session, &address, &body, deadline)) icon = CleanIcon(body.data(), body.size());
    if (!icon.empty()) return icon;
    address = FormatWebAddress(site);
    if (!Get(session, &address, &body, deadline)) return icon;
    const std::string link = ResolveAddress(address, FindIconLink(reinterpret_cast<const char*>(body.data()), body.size()));
    if (link.empty()) return icon;
    if (link.compare(0, 5, "data:") == 0) {
        if (DecodeIconDataUri(link, &body)) icon = CleanIcon(body.data(), body.size());
        return icon;
    }
    address = link;
    if (Get(session, &address, &body, deadline)) icon = CleanIcon(body.data(), body.size());
    return icon;
}

// ---- The cache folder ----

int64_t Seconds(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<int64_t>(value.QuadPart / 10000000);
}

FILETIME FileTimeOf(int64_t seconds) {
    ULARGE_INTEGER value;
    value.QuadPart = static_cast<ULONGLONG>(seconds) * 10000000;
    return FILETIME{value.LowPart, value.HighPart};
}

int64_t Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return Seconds(now);
}

IconCacheFile LookAt(const std::string& path) {
    IconCacheFile file;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return file;
    }
    file.exists = true;
    file.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    file.modified = Seconds(data.ftLastWriteTime);
    return file;
}

// The file's bytes, at most 256 KiB; empty when it cannot be read or is larger.
std::vector<uint8_t> ReadSmallFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    const DWORD size = GetFileSize(file, nullptr);
    DWORD read = 0;
    if (size != INVALID_FILE_SIZE && size <= kIconResponseLimit) {
        bytes.resize(size);
        if (size > 0 && (!ReadFile(file, bytes.data(), size, &read, nullptr) || read != size)) bytes.clear();
    }
    CloseHandle(file);
    return bytes;
}

// Written whole to a temporary file beside it, then moved into place.
bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temporary = path + ".tmp";
    auto create = [&] {
        return CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE file = create();
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND) {
        // The first icon, or the folder was removed since: Brisklet\icons made, and again.
        const std::string folder = IconFolder();
        CreateDirectoryA(folder.substr(0, folder.rfind('\\')).c_str(), nullptr);
        CreateDirectoryA(folder.c_str(), nullptr);
        file = create();
    }
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool complete = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                                      nullptr) && written == bytes.size());
    const bool closed = CloseHandle(file) != FALSE;
    if (complete && closed && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileA(temporary.c_str());
    return false;
}

void SetModified(const std::string& path, int64_t seconds) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const FILETIME time = FileTimeOf(seconds);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

// The oldest icons go until the folder holds at most 5 MB.
void TrimFolder(const std::string& folder) {
    std::vector<IconFolderFile> files;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*.ico").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        files.push_back(IconFolderFile{found.cFileName,
                                       (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow,
                                       Seconds(found.ftLastWriteTime)});
    } while (FindNextFileA(search, &found));
    FindClose(search);
    for (const std::string& name : IconFilesOverLimit(files)) {
        std::string path = folder;
        path += '\\';
        path += name;
        DeleteFileA(path.c_str());
    }
}

// Posted to the bar, which frees the delivery; when the bar is gone, freed here.
void Deliver(const std::string& key, std::vector<uint8_t> icon, HICON shellIcon) {
    std::unique_ptr<IconDelivery> delivery(new IconDelivery{key, std::move(icon), shellIcon});
    IconDelivery* posted = delivery.release();
    // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks): a posted delivery belongs to the bar
    if (PostMessageA(TheQueue().bar, WM_BAR_ICONREADY, 0, reinterpret_cast<LPARAM>(posted))) return;
    delivery.reset(posted);
    if (shellIcon != nullptr) DestroyIcon(shellIcon);
}

// A site: the cached icon when there is a sound one, and the network when the plan says so. What
// the network gives is cached (a site with none is noted by an empty file), and delivered.
void RunSiteJob(const IconJob& job) {
    const std::string folder = IconFolder();
    if (folder.empty()) return;
    const std::string path = folder + "\\" + job.cacheName;
    IconCacheFile file = LookAt(path);
    bool haveCached = false;
    if (file.exists && file.size > 0) {
        const std::vector<uint8_t> bytes = ReadSmallFile(path);
        std::vector<uint8_t> icon = CleanIcon(bytes.data(), bytes.size());
        // A file that is no sound icon (someone else wrote it) counts as none.
        haveCached = !icon.empty() && icon.size() == bytes.size();
        if (haveCached) Deliver(job.key, std::move(icon), nullptr);
        if (!haveCached) file = IconCacheFile{};
    }
    if (!job.carried.empty()) {
        if (haveCached) return;
        std::vector<uint8_t> icon;
        if (DecodeIconDataUri(job.carried, &icon)) icon = CleanIcon(icon.data(), icon.size());
        if (icon.empty() || !WriteWhole(path, icon)) return;
        TrimFolder(folder);
        Deliver(job.key, std::move(icon), nullptr);
        return;
    }
    const int64_t now = Now();
    const IconPlan plan = PlanIconFetch(file, now);
    if (plan == IconPlan::UseCached || plan == IconPlan::Wait) return;
    std::vector<uint8_t> icon = FetchSiteIcon(job);
    if (!Wanted()) return;  // switched off under way: what was found is neither kept nor shown
    if (icon.empty()) {
        if (haveCached) {
            SetModified(path, FailedRefreshTime(now));  // kept, and asked again in a day
        } else {
            WriteWhole(path, icon);
        }
        return;
    }
    if (WriteWhole(path, icon)) TrimFolder(folder);
    Deliver(job.key, std::move(icon), nullptr);
}

DriveKind KindOfDrive(char letter) {
    if (letter == 0) return DriveKind::Unknown;
    const char root[] = {letter, ':', '\\', '\0'};
    const UINT kind = GetDriveTypeA(root);
    return kind <= DRIVE_RAMDISK ? static_cast<DriveKind>(kind) : DriveKind::Unknown;
}

// A path's icon: the shell's own for a file on a local fixed or removable drive, which opens the
// file; for any other path the icon of its extension, asked about a made-up name so that nothing
// is opened and no other computer is reached.
void RunPathJob(const IconJob& job) {
    static const bool apartment = SUCCEEDED(CoInitialize(nullptr));  // the shell's icons want one
    static_cast<void>(apartment);
    const char* address = job.address.c_str();
    SHFILEINFOA info{};
    DWORD_PTR found = 0;
    if (ChoosePathIconSource(address, KindOfDrive(PathDriveLetter(address))) == PathIconSource::Shell) {
        found = SHGetFileInfoA(address, 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON);
    } else {
        found = SHGetFileInfoA(ExtensionIconName(address).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                               SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | SHGFI_SMALLICON);
    }
    if (found == 0 || info.hIcon == nullptr) return;
    Deliver(job.key, {}, info.hIcon);
}

bool TakeJob(IconJob* job) {
    Queue& queue = TheQueue();
    Lock lock(queue.lock);
    if (queue.jobs.empty()) return false;
    *job = std::move(queue.jobs.front());
    queue.jobs.pop_front();
    return true;
}

DWORD WINAPI IconWorkerMain(LPVOID) {
    for (;;) {
        WaitForSingleObject(TheQueue().wake, INFINITE);
        IconJob job;
        while (TakeJob(&job)) {
            try {
                if (job.path) {
                    RunPathJob(job);
                } else {
                    RunSiteJob(job);
                }
            } catch (...) {
                // Out of memory for one job: the button keeps its built-in icon.
            }
        }
    }
}

}  // namespace

void StartIconWorker(HWND bar) {
    Queue& queue = TheQueue();
    {
        Lock lock(queue.lock);
        if (queue.started) return;
        queue.bar = bar;
        queue.started = true;
    }
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, IconWorkerMain, nullptr, 0, &id);
    if (thread != nullptr) CloseHandle(thread);
    SetEvent(queue.wake);
}

void QueueIconJob(const IconJob& job) {
    Queue& queue = TheQueue();
    {
        Lock lock(queue.lock);
        queue.jobs.push_back(job);
        queue.wanted = true;
    }
    SetEvent(queue.wake);
}

void ClearIconJobs() {
    Queue& queue = TheQueue();
    Lock lock(queue.lock);
    queue.jobs.clear();
    queue.wanted = false;
}

std::string IconFolder() {
    // Looked up once; the folder itself is made when an icon is first written there.
    static const std::string folder = [] {
        char local[MAX_PATH] = "";
        if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, local))) {
            return std::string();
        }
        return std::string(local) + "\\Brisklet\\icons";
    }();
    return folder;
}

std::string CachedIconUri(const std::string& cacheName) {
    const std::string folder = IconFolder();
    if (folder.empty() || cacheName.empty()) return "";
    const std::vector<uint8_t> bytes = ReadSmallFile(folder + "\\" + cacheName);
    const std::vector<uint8_t> icon = CleanIcon(bytes.data(), bytes.size());
    return icon.empty() ? std::string() : IconDataUri(icon);
}
