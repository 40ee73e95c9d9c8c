// drag_source: a real OLE drag from a separate process, for the end-to-end tests.
//
//   drag_source.exe [--text TEXT | --utf8-hex HEX]... [--file PATH]... [--described-url NAME-HEX URL]...
//                   --at X Y [--from X Y] [--log FILE]
//
// Offers the given text (CF_TEXT) and/or files (CF_HDROP), starts DoDragDrop at the --from point
// (default: 200 pixels left of the target), while a second thread presses the left button, moves
// the pointer step by step to the --at point with SetCursorPos and absolute SendInput moves, lets
// the drag loop see it there, and releases the button. Wine does not see a button pressed through
// SendInput, so the source does not wait for the button to come up: QueryContinueDrag answers
// DRAGDROP_S_DROP once the moving thread says the pointer has arrived and settled.
//
// Exit code: 0 dropped with the copy effect, 1 dropped with no effect, 2 the drag was cancelled
// (a refusing target ends that way), 3 the pointer never settled on the target in time,
// 4 bad arguments, 5 OLE failure. --log writes "result=0x... effect=N feedback=N" to FILE, where
// feedback is the last effect the target showed during the drag. --utf8-hex gives a text in any
// script as the hex digits of its UTF-8 bytes; it is offered as a web browser offers text, as
// CF_UNICODETEXT and as CF_TEXT in this process's code page (what that lacks becomes '?').
// --described-url offers an Internet shortcut that exists only in the drag, as a browser drags a
// link: a file named by the hex digits of its UTF-8 bytes in a file group descriptor, both the
// Unicode one and the one of this process's code page ('?' for what that lacks), and contents
// naming URL, fetched by the file's index.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> g_started{false};    // the drag loop has called the source once
std::atomic<bool> g_arrived{false};    // the pointer is on the target
std::atomic<bool> g_settled{false};    // ... and the drag loop has looked at it there
std::atomic<bool> g_gaveUp{false};     // the mover ran out of time
std::atomic<int> g_feedbackSinceArrival{0};
std::atomic<DWORD> g_lastFeedback{DROPEFFECT_NONE};

FORMATETC HGlobalFormat(CLIPFORMAT format) {
    FORMATETC fmt = {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return fmt;
}

const CLIPFORMAT kDescriptorW = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileGroupDescriptorW"));
const CLIPFORMAT kDescriptorA = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileGroupDescriptor"));
const CLIPFORMAT kContents = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileContents"));

struct Described {
    std::wstring name;
    std::string contents;
};

HGLOBAL CopyToGlobal(const void* bytes, size_t size) {
    HGLOBAL memory = GlobalAlloc(GHND, size);
    if (!memory) return nullptr;
    std::memcpy(GlobalLock(memory), bytes, size);
    GlobalUnlock(memory);
    return memory;
}

class DataObject final : public IDataObject {
public:
    DataObject(std::vector<std::string> files, std::vector<std::string> texts, std::wstring unicode,
               std::vector<Described> described)
        : files_(std::move(files)), texts_(std::move(texts)), unicode_(std::move(unicode)), described_(std::move(described)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* fmt, STGMEDIUM* medium) override {
        const HRESULT offered = QueryGetData(fmt);
        if (offered != S_OK) return offered;
        HGLOBAL memory = fmt->cfFormat == CF_HDROP          ? FileList()
                         : fmt->cfFormat == CF_UNICODETEXT ? UnicodeText()
                         : fmt->cfFormat == kDescriptorW   ? DescriptorW()
                         : fmt->cfFormat == kDescriptorA   ? DescriptorA()
                         : fmt->cfFormat == kContents
                             ? CopyToGlobal(described_[static_cast<size_t>(fmt->lindex)].contents.data(),
                                            described_[static_cast<size_t>(fmt->lindex)].contents.size())
                             : Text();
        if (!memory) return E_OUTOFMEMORY;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* fmt) override {
        if (!fmt) return E_INVALIDARG;
        if (!(fmt->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        if (fmt->cfFormat == CF_HDROP && !files_.empty()) return S_OK;
        if (fmt->cfFormat == CF_TEXT && !texts_.empty()) return S_OK;
        if (fmt->cfFormat == CF_UNICODETEXT && !unicode_.empty()) return S_OK;
        if ((fmt->cfFormat == kDescriptorW || fmt->cfFormat == kDescriptorA) && !described_.empty()) return S_OK;
        if (fmt->cfFormat == kContents && fmt->lindex >= 0 && static_cast<size_t>(fmt->lindex) < described_.size()) return S_OK;
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (direction != DATADIR_GET) return E_NOTIMPL;
        std::vector<FORMATETC> formats;
        if (!files_.empty()) formats.push_back(HGlobalFormat(CF_HDROP));
        if (!unicode_.empty()) formats.push_back(HGlobalFormat(CF_UNICODETEXT));
        if (!texts_.empty()) formats.push_back(HGlobalFormat(CF_TEXT));
        if (!described_.empty()) {
            formats.push_back(HGlobalFormat(kDescriptorW));
            formats.push_back(HGlobalFormat(kDescriptorA));
            formats.push_back(HGlobalFormat(kContents));
        }
        return SHCreateStdEnumFmtEtc(static_cast<UINT>(formats.size()), formats.data(), out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ~DataObject() = default;

    HGLOBAL FileList() const {
        size_t size = sizeof(DROPFILES) + 1;
        for (const auto& f : files_) size += f.size() + 1;
        HGLOBAL memory = GlobalAlloc(GHND, size);
        if (!memory) return nullptr;
        auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
        header->pFiles = sizeof(DROPFILES);
        header->fWide = FALSE;
        char* names = reinterpret_cast<char*>(header + 1);
        for (const auto& f : files_) {
            std::memcpy(names, f.c_str(), f.size() + 1);
            names += f.size() + 1;
        }
        *names = '\0';
        GlobalUnlock(memory);
        return memory;
    }
    HGLOBAL Text() const {
        const std::string& text = texts_.front();
        HGLOBAL memory = GlobalAlloc(GHND, text.size() + 1);
        if (!memory) return nullptr;
        std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
        GlobalUnlock(memory);
        return memory;
    }

    HGLOBAL UnicodeText() const {
        const size_t size = (unicode_.size() + 1) * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GHND, size);
        if (!memory) return nullptr;
        std::memcpy(GlobalLock(memory), unicode_.c_str(), size);
        GlobalUnlock(memory);
        return memory;
    }

    template <typename Group, typename Fill>
    HGLOBAL Descriptor(Fill fill) const {
        const size_t size = sizeof(Group) + (described_.size() - 1) * sizeof(Group::fgd[0]);
        HGLOBAL memory = GlobalAlloc(GHND, size);
        if (!memory) return nullptr;
        auto* group = static_cast<Group*>(GlobalLock(memory));
        group->cItems = static_cast<UINT>(described_.size());
        for (size_t i = 0; i < described_.size(); ++i) fill(described_[i], group->fgd[i]);
        GlobalUnlock(memory);
        return memory;
    }
    HGLOBAL DescriptorW() const {
        return Descriptor<FILEGROUPDESCRIPTORW>([](const Described& file, FILEDESCRIPTORW& record) {
            lstrcpynW(record.cFileName, file.name.c_str(), MAX_PATH);
        });
    }
    HGLOBAL DescriptorA() const {
        return Descriptor<FILEGROUPDESCRIPTORA>([](const Described& file, FILEDESCRIPTORA& record) {
            WideCharToMultiByte(CP_ACP, 0, file.name.c_str(), -1, record.cFileName, MAX_PATH - 1, "?", nullptr);
        });
    }

    LONG refs_ = 1;
    std::vector<std::string> files_;
    std::vector<std::string> texts_;
    std::wstring unicode_;
    std::vector<Described> described_;
};

class DropSource final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
            *object = static_cast<IDropSource*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD) override {
        g_started = true;
        if (escapePressed || g_gaveUp) return DRAGDROP_S_CANCEL;
        return g_settled ? DRAGDROP_S_DROP : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override {
        g_started = true;
        g_lastFeedback = effect;
        if (g_arrived) ++g_feedbackSinceArrival;
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }

private:
    ~DropSource() = default;
    LONG refs_ = 1;
};

void SendMouse(DWORD flags, int x, int y) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = MulDiv(x, 65535, cx > 1 ? cx - 1 : 1);
    input.mi.dy = MulDiv(y, 65535, cy > 1 ? cy - 1 : 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

// Waits for `flag`, polling; false after timeoutMs.
bool WaitFor(const std::atomic<bool>& flag, int timeoutMs) {
    for (int waited = 0; !flag; waited += 10) {
        if (waited >= timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

void MovePointer(POINT from, POINT to) {
    if (!WaitFor(g_started, 10000)) {
        g_gaveUp = true;
        return;
    }
    const int steps = 30;
    for (int i = 1; i <= steps; ++i) {
        const int x = from.x + (to.x - from.x) * i / steps;
        const int y = from.y + (to.y - from.y) * i / steps;
        SetCursorPos(x, y);
        SendMouse(MOUSEEVENTF_MOVE, x, y);
        Sleep(15);
    }
    g_arrived = true;
    // The drag loop has looked at the target once it has asked for feedback a few times since.
    for (int waited = 0; g_feedbackSinceArrival < 3; waited += 10) {
        if (waited >= 10000) {
            g_gaveUp = true;
            return;
        }
        SetCursorPos(to.x, to.y);
        Sleep(10);
    }
    SendMouse(MOUSEEVENTF_LEFTUP, to.x, to.y);
    g_settled = true;
}

bool ParseInt(const char* text, LONG* value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end != '\0' || end == text) return false;
    *value = v;
    return true;
}

}  // namespace

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t k = 0; k + 1 < hex.size(); k += 2) bytes.push_back(static_cast<char>(std::stoi(hex.substr(k, 2), nullptr, 16)));
    return bytes;
}

std::wstring WideFromUtf8(const std::string& utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (size <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(size - 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], size);
    return wide;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::vector<std::string> files, texts;
    std::vector<Described> described;
    std::wstring unicode;
    POINT to = {-1, -1}, from = {-1, -1};
    std::string logPath;
    for (int i = 1; i < __argc; ++i) {
        const std::string arg = __argv[i];
        if (arg == "--text" && i + 1 < __argc) {
            texts.push_back(__argv[++i]);
        } else if (arg == "--utf8-hex" && i + 1 < __argc) {
            unicode = WideFromUtf8(FromHex(__argv[++i]));
            if (unicode.empty()) return 4;
            char ansi[4096] = "";
            WideCharToMultiByte(CP_ACP, 0, unicode.c_str(), -1, ansi, sizeof ansi - 1, "?", nullptr);
            texts.push_back(ansi);
        } else if (arg == "--described-url" && i + 2 < __argc) {
            const std::wstring name = WideFromUtf8(FromHex(__argv[i + 1]));
            if (name.empty()) return 4;
            described.push_back({name, std::string("[InternetShortcut]\r\nURL=") + __argv[i + 2] + "\r\n"});
            i += 2;
        } else if (arg == "--file" && i + 1 < __argc) {
            files.push_back(__argv[++i]);
        } else if (arg == "--log" && i + 1 < __argc) {
            logPath = __argv[++i];
        } else if ((arg == "--at" || arg == "--from") && i + 2 < __argc) {
            POINT& p = arg == "--at" ? to : from;
            if (!ParseInt(__argv[i + 1], &p.x) || !ParseInt(__argv[i + 2], &p.y)) return 4;
            i += 2;
        } else {
            return 4;
        }
    }
    if ((files.empty() && texts.empty() && described.empty()) || to.x < 0 || to.y < 0) return 4;
    if (from.x < 0) from = {to.x > 205 ? to.x - 200 : 5, to.y};

    if (FAILED(OleInitialize(nullptr))) return 5;
    auto* data = new DataObject(files, texts, unicode, described);
    auto* source = new DropSource;

    SetCursorPos(from.x, from.y);
    SendMouse(MOUSEEVENTF_MOVE, from.x, from.y);
    SendMouse(MOUSEEVENTF_LEFTDOWN, from.x, from.y);
    std::thread mover(MovePointer, from, to);
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT result = DoDragDrop(data, source, DROPEFFECT_COPY, &effect);
    const bool gaveUp = g_gaveUp;
    g_gaveUp = true;  // ends the mover if the drag ended before it did
    mover.join();
    if (!g_settled) SendMouse(MOUSEEVENTF_LEFTUP, to.x, to.y);

    if (!logPath.empty()) {
        if (FILE* log = std::fopen(logPath.c_str(), "w")) {
            std::fprintf(log, "result=0x%08lX effect=%lu feedback=%lu\n", static_cast<unsigned long>(result),
                         static_cast<unsigned long>(effect), static_cast<unsigned long>(g_lastFeedback.load()));
            std::fclose(log);
        }
    }
    data->Release();
    source->Release();
    OleUninitialize();

    if (gaveUp) return 3;
    if (result == DRAGDROP_S_DROP) return effect & DROPEFFECT_COPY ? 0 : 1;
    if (result == DRAGDROP_S_CANCEL) return 2;
    return 5;
}
