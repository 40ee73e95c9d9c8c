// The OLE drop target on the Button bar. Text dragged onto the bar, or an Internet shortcut
// file, becomes the address of a new button: the drop hands it to the Setup dialog, which opens
// its Add dialog with it. Bookmark files, and several shortcuts at once, go to the Import
// Bookmarks dialog instead.
#include "shell/win_drop_target.h"

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include "res/resource.h"
#include "shell/drop_rules.h"
#include "shell/win_drop_target_internal.h"
#include "store/text_encoding.h"

DropTarget* g_dropTarget = nullptr;

static_assert(MAX_PATH == kDropPathSize, "path buffers hold MAX_PATH bytes");
static_assert(DROPEFFECT_NONE == kDropEffectNone && DROPEFFECT_COPY == kDropEffectCopy, "drop effects");
static_assert(static_cast<int32_t>(S_OK) == kDropResultOk &&
              static_cast<int32_t>(E_INVALIDARG) == kDropResultInvalidArg, "drop results");

namespace {

constexpr char kBarTitle[] = "Brisklet";

FORMATETC HGlobalFormat(CLIPFORMAT format) {
    FORMATETC fmt;
    fmt.cfFormat = format;
    fmt.ptd = nullptr;
    fmt.dwAspect = DVASPECT_CONTENT;
    fmt.lindex = -1;
    fmt.tymed = TYMED_HGLOBAL;
    return fmt;
}

CLIPFORMAT RegisteredFormat(const char* name) { return static_cast<CLIPFORMAT>(RegisterClipboardFormatA(name)); }

// A browser's dragged link: its address as Unicode text.
CLIPFORMAT UrlFormatW() {
    static const CLIPFORMAT format = RegisteredFormat("UniformResourceLocatorW");
    return format;
}

// Files a data object describes without a path: their names in UTF-16, or else in the source's
// code page, and their contents by index.
CLIPFORMAT DescriptorFormatW() {
    static const CLIPFORMAT format = RegisteredFormat("FileGroupDescriptorW");
    return format;
}
CLIPFORMAT DescriptorFormatA() {
    static const CLIPFORMAT format = RegisteredFormat("FileGroupDescriptor");
    return format;
}
CLIPFORMAT FileContentsFormat() {
    static const CLIPFORMAT format = RegisteredFormat("FileContents");
    return format;
}

// Answers the drag judgement's questions from a data object and the shell. A file list or a
// file group descriptor fetched from the data object is released when the questions are done.
class DataObjectQuestions final : public DragData {
public:
    explicit DataObjectQuestions(IDataObject* data) : data_(data) {}
    ~DataObjectQuestions() override {
        if (haveMedium_) ReleaseStgMedium(&medium_);
        if (descriptor_ != nullptr) GlobalUnlock(descriptorMedium_.hGlobal);
        if (haveDescriptor_) ReleaseStgMedium(&descriptorMedium_);
    }
    DataObjectQuestions(const DataObjectQuestions&) = delete;
    DataObjectQuestions& operator=(const DataObjectQuestions&) = delete;

    bool HasFileList() override {
        FORMATETC fmt = HGlobalFormat(CF_HDROP);
        std::memset(&medium_, 0, sizeof medium_);
        haveMedium_ = SUCCEEDED(data_->GetData(&fmt, &medium_));
        return haveMedium_;
    }
    uint32_t FileCount() override {
        HDROP drop = FileList();
        return drop ? DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) : 0;
    }
    bool FileName(uint32_t index, char* path, size_t size) override {
        HDROP drop = FileList();
        path[0] = '\0';
        if (!drop || DragQueryFileA(drop, index, path, static_cast<UINT>(size)) == 0) return false;
        path[size - 1] = '\0';
        return true;
    }
    size_t ReadFileHead(const char* path, char* buffer, size_t size) override {
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 0;
        DWORD read = 0;
        if (!ReadFile(file, buffer, static_cast<DWORD>(size), &read, nullptr)) read = 0;
        CloseHandle(file);
        return read;
    }
    bool IsFolder(const char* path) override { return PathIsDirectoryA(path) != FALSE; }
    bool ResolveShortcut(const char* path, char* target, size_t size) override {
        if (size < MAX_PATH) return false;
        return ::ResolveShortcut(path, target);
    }
    void ReadShortcutUrl(const char* path, char* url, size_t size) override {
        url[0] = '\0';
        GetPrivateProfileStringA("InternetShortcut", "URL", "", url, static_cast<DWORD>(size), path);
        url[size - 1] = '\0';
    }
    bool OffersText() override {
        FORMATETC text = HGlobalFormat(CF_TEXT);
        FORMATETC unicode = HGlobalFormat(CF_UNICODETEXT);
        FORMATETC url = HGlobalFormat(UrlFormatW());
        return data_->QueryGetData(&url) == S_OK || data_->QueryGetData(&unicode) == S_OK ||
               data_->QueryGetData(&text) == S_OK;
    }
    // The Unicode descriptor where the data object offers it, else the code page's one. The
    // block's claimed count is believed only when the block holds that many records.
    uint32_t DescribedFileCount() override {
        if (FetchDescriptor(DescriptorFormatW())) {
            wide_ = true;
        } else if (!FetchDescriptor(DescriptorFormatA())) {
            return 0;
        }
        descriptor_ = static_cast<const BYTE*>(GlobalLock(descriptorMedium_.hGlobal));
        if (descriptor_ == nullptr) return 0;
        UINT claimed = 0;
        const size_t size = GlobalSize(descriptorMedium_.hGlobal);
        if (size >= sizeof claimed) std::memcpy(&claimed, descriptor_, sizeof claimed);
        described_ = wide_ ? DescribedFileCountIn(size, claimed, offsetof(FILEGROUPDESCRIPTORW, fgd), sizeof(FILEDESCRIPTORW))
                           : DescribedFileCountIn(size, claimed, offsetof(FILEGROUPDESCRIPTORA, fgd), sizeof(FILEDESCRIPTORA));
        return described_;
    }
    bool DescribedFileName(uint32_t index, char* name, size_t size) override {
        name[0] = '\0';
        if (index >= described_ || size == 0) return false;
        if (wide_) {
            const auto* group = reinterpret_cast<const FILEGROUPDESCRIPTORW*>(descriptor_);
            const WCHAR* wide = group->fgd[index].cFileName;
            int length = 0;
            while (length < MAX_PATH && wide[length] != L'\0') ++length;
            const int written = WideCharToMultiByte(CP_ACP, 0, wide, length, name, static_cast<int>(size - 1), nullptr, nullptr);
            if (written <= 0) return false;
            name[written] = '\0';
            return true;
        }
        const auto* group = reinterpret_cast<const FILEGROUPDESCRIPTORA*>(descriptor_);
        const std::string shown = ShownText(group->fgd[index].cFileName, sizeof group->fgd[index].cFileName);
        if (shown.empty() || shown.size() >= size) return false;
        std::memcpy(name, shown.c_str(), shown.size() + 1);
        return true;
    }
    size_t ReadDescribedFile(uint32_t index, char* buffer, size_t size) override {
        FORMATETC fmt = HGlobalFormat(FileContentsFormat());
        fmt.lindex = static_cast<LONG>(index);
        fmt.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;
        STGMEDIUM medium{};
        if (index >= described_ || FAILED(data_->GetData(&fmt, &medium))) return 0;
        size_t read = 0;
        if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal != nullptr) {
            if (const void* contents = GlobalLock(medium.hGlobal)) {
                const size_t available = GlobalSize(medium.hGlobal);
                read = available < size ? available : size;
                std::memcpy(buffer, contents, read);
                GlobalUnlock(medium.hGlobal);
            }
        } else if (medium.tymed == TYMED_ISTREAM && medium.pstm != nullptr) {
            ULONG got = 0;
            while (read < size && SUCCEEDED(medium.pstm->Read(buffer + read, static_cast<ULONG>(size - read), &got)) && got > 0) {
                read += got;
            }
        }
        ReleaseStgMedium(&medium);
        return read;
    }

private:
    bool FetchDescriptor(CLIPFORMAT format) {
        FORMATETC fmt = HGlobalFormat(format);
        std::memset(&descriptorMedium_, 0, sizeof descriptorMedium_);
        haveDescriptor_ = SUCCEEDED(data_->GetData(&fmt, &descriptorMedium_));
        if (haveDescriptor_ && (descriptorMedium_.tymed != TYMED_HGLOBAL || descriptorMedium_.hGlobal == nullptr)) {
            ReleaseStgMedium(&descriptorMedium_);
            haveDescriptor_ = false;
        }
        return haveDescriptor_;
    }

    HDROP FileList() const {
        if (!haveMedium_ || medium_.tymed != TYMED_HGLOBAL) return nullptr;
        return static_cast<HDROP>(medium_.hGlobal);
    }

    IDataObject* data_;
    STGMEDIUM medium_{};
    bool haveMedium_ = false;
    STGMEDIUM descriptorMedium_{};
    bool haveDescriptor_ = false;
    bool wide_ = false;
    const BYTE* descriptor_ = nullptr;  // the locked descriptor block
    uint32_t described_ = 0;            // ... and the records it holds
};

// Hands `text` to the Setup dialog: it becomes the dropped text, and the bar is asked to open
// the Setup dialog, which opens its Add dialog at once.
void StartHandOver(HWND bar, const char* text, size_t available) {
    HandOverDroppedText(text, available);
    PostMessageA(bar, WM_COMMAND, IDM_SETUP, 0);
    SetForegroundWindow(bar);
}

// Unicode text in `format`, where the data object offers it, as the dropped text in the program's
// code page: CF_TEXT holds only what the source's own code page has. False when there is none.
bool HandOverUnicodeTextOf(IDataObject* data, HWND bar, CLIPFORMAT format) {
    FORMATETC fmt = HGlobalFormat(format);
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&fmt, &medium))) return false;
    const wchar_t* text = medium.tymed == TYMED_HGLOBAL && medium.hGlobal ? static_cast<const wchar_t*>(GlobalLock(medium.hGlobal)) : nullptr;
    if (text != nullptr) {
        // The block need not hold a NUL: never read past its size, nor more than the dropped text keeps.
        const size_t units = GlobalSize(medium.hGlobal) / sizeof(wchar_t);
        int length = 0;
        while (static_cast<size_t>(length) < units && length < static_cast<int>(kDroppedTextSize) && text[length] != L'\0') ++length;
        static char converted[3 * kDroppedTextSize];
        const int size = WideCharToMultiByte(CP_ACP, 0, text, length, converted, sizeof converted, nullptr, nullptr);
        StartHandOver(bar, converted, size > 0 ? static_cast<size_t>(size) : 0);
        GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    return text != nullptr;
}

// The text of a data object as the dropped text. Returns the HRESULT of fetching it.
HRESULT HandOverDroppedTextOf(IDataObject* data, HWND bar) {
    if (!data) return E_INVALIDARG;
    // A link's own address first, then the Unicode text, then the source's code page.
    if (HandOverUnicodeTextOf(data, bar, UrlFormatW()) || HandOverUnicodeTextOf(data, bar, CF_UNICODETEXT)) return S_OK;
    FORMATETC fmt = HGlobalFormat(CF_TEXT);
    STGMEDIUM medium;
    std::memset(&medium, 0, sizeof medium);
    const HRESULT fetched = data->GetData(&fmt, &medium);
    if (FAILED(fetched)) return fetched;
    if (medium.tymed != TYMED_HGLOBAL || !medium.hGlobal) {
        ReleaseStgMedium(&medium);
        return DV_E_TYMED;
    }
    const char* text = static_cast<const char*>(GlobalLock(medium.hGlobal));
    if (!text) {
        const DWORD error = GetLastError();
        ReleaseStgMedium(&medium);
        return error ? HRESULT_FROM_WIN32(error) : E_OUTOFMEMORY;
    }
    // The block need not hold a NUL: never read past its size.
    StartHandOver(bar, text, GlobalSize(medium.hGlobal));
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return fetched;
}

}  // namespace

DropTarget::DropTarget() : acceptable(0), path(), refCount(0), isText(0), isImport(0) {}

HRESULT STDMETHODCALLTYPE DropTarget::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (std::memcmp(&iid, &IID_IUnknown, sizeof(IID)) == 0 ||
        std::memcmp(&iid, &IID_IDropTarget, sizeof(IID)) == 0) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DropTarget::AddRef() {
    return static_cast<ULONG>(++refCount);
}

ULONG STDMETHODCALLTYPE DropTarget::Release() {
    const LONG count = --refCount;
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE DropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
    acceptable = 0;
    isText = 0;
    isImport = 0;
    if (!effect) return E_INVALIDARG;
    *effect = DROPEFFECT_NONE;
    if (!data) return E_INVALIDARG;
    try {
        imports.clear();
        DataObjectQuestions questions(data);
        const DragVerdict verdict = JudgeDrag(questions, path, &imports);
        acceptable = verdict.acceptable ? 1 : 0;
        isText = verdict.isText ? 1 : 0;
        isImport = verdict.isImport ? 1 : 0;
        *effect = verdict.effect;
        return static_cast<HRESULT>(verdict.result);
    } catch (...) {
        acceptable = 0;
        isText = 0;
        isImport = 0;
        *effect = DROPEFFECT_NONE;
        return E_UNEXPECTED;
    }
}

HRESULT STDMETHODCALLTYPE DropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    *effect = acceptable == 1 ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragLeave() {
    path[0] = '\0';
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    if (acceptable == 0) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    *effect = DROPEFFECT_COPY;
    HWND bar = FindWindowExA(nullptr, nullptr, nullptr, kBarTitle);
    if (!bar) return S_OK;
    if (isImport != 0) {
        // The bar opens the Import Bookmarks dialog once the drop has returned.
        HandOverImport(std::move(imports));
        imports.clear();
        PostMessageA(bar, WM_COMMAND, IDM_IMPORT_BOOKMARKS, 0);
        SetForegroundWindow(bar);
        return S_OK;
    }
    if (isText == 0) {
        // An accepted Internet shortcut: its address (or the link's target) is handed over as
        // if it had been dragged as text. Nothing to hand over when the link had no target.
        if (path[0] == '\0') {
            *effect = DROPEFFECT_NONE;
            return S_OK;
        }
        StartHandOver(bar, path, sizeof path);
        return S_OK;
    }
    return HandOverDroppedTextOf(data, bar);
}

bool ResolveShortcut(const char* shortcutPath, char* target) {
    target[0] = '\0';
    CoInitialize(nullptr);  // OLE is already up on the GUI thread; this only counts up

    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
        return false;
    }
    IPersistFile* file = nullptr;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        link->Release();
        return false;
    }

    WCHAR widePath[MAX_PATH];
    HRESULT hr = E_INVALIDARG;
    if (MultiByteToWideChar(CP_ACP, 0, shortcutPath, -1, widePath, MAX_PATH) != 0) {
        hr = file->Load(widePath, STGM_READ);
    }
    if (SUCCEEDED(hr)) hr = link->Resolve(nullptr, SLR_ANY_MATCH);
    if (SUCCEEDED(hr)) {
        WIN32_FIND_DATAA found;
        hr = link->GetPath(target, MAX_PATH, &found, SLGP_RAWPATH);
        target[MAX_PATH - 1] = '\0';
    }
    file->Release();
    link->Release();
    return SUCCEEDED(hr);
}

void CreateDropTarget(HWND bar) {
    DropTarget* target = new (std::nothrow) DropTarget;
    if (!target) return;  // the bar works without drag-and-drop
    g_dropTarget = target;
    if (CoLockObjectExternal(target, TRUE, TRUE) != S_OK) {
        MessageBoxA(bar, "OLE Lock Object Error", "", MB_OK);
        return;
    }
    if (RegisterDragDrop(bar, target) != S_OK) {
        MessageBoxA(bar, "Unable to Register as OLE Object", "", MB_OK);
    }
}
