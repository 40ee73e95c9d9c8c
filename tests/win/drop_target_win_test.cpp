// The drop target in-process: the real object against a data object of the test's own that
// offers a file list (CF_HDROP in global memory) and/or text, with real files, folders and shell
// links on disk.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <thread>
#include <vector>
#include "app/shared_state.h"
#include "shell/win_drop_target.h"
#include "shell/win_drop_target_internal.h"
#include "store/bookmark_import.h"
#include "store/text_encoding.h"

namespace {

// Counts its releases; frees the memory of a medium handed out with it.
class MediumOwner final : public IUnknown {
public:
    explicit MediumOwner(HGLOBAL memory, std::atomic<int>* releases) : memory_(memory), releases_(releases) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            ++*releases_;
            GlobalFree(memory_);
            delete this;
        }
        return left;
    }

private:
    ~MediumOwner() = default;
    HGLOBAL memory_;
    std::atomic<int>* releases_;
    ULONG refs_ = 1;
};

// A data object offering what the test asks for. Lives on the stack; its own count is not used
// to delete it.
class TestDataObject final : public IDataObject {
public:
    bool offerFiles = false;
    std::vector<std::string> files;
    bool offerText = false;
    std::string text;
    std::wstring wideText;            // offered under wideFormat, when that is not 0
    CLIPFORMAT wideFormat = 0;
    bool textFetchFails = false;      // QueryGetData says yes, GetData says no
    bool mediaWithOwner = false;      // hand media out with a release object
    std::atomic<int> ownerReleases{0};
    int fileListFetches = 0;
    int textFetches = 0;
    std::vector<std::pair<CLIPFORMAT, std::string>> blocks;  // more formats, each a block of bytes
    std::string contents;             // every described file's, handed out as a stream

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
            *object = static_cast<IDataObject*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* fmt, STGMEDIUM* medium) override {
        if (!(fmt->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        HGLOBAL memory = nullptr;
        if (fmt->cfFormat == CF_HDROP && offerFiles) {
            ++fileListFetches;
            memory = MakeFileList();
        } else if (fmt->cfFormat == CF_TEXT && offerText) {
            ++textFetches;
            if (textFetchFails) return E_OUTOFMEMORY;
            memory = MakeText();
        } else if (wideFormat != 0 && fmt->cfFormat == wideFormat) {
            memory = GlobalAlloc(GHND, (wideText.size() + 1) * sizeof(wchar_t));
            std::memcpy(GlobalLock(memory), wideText.c_str(), (wideText.size() + 1) * sizeof(wchar_t));
            GlobalUnlock(memory);
        } else if (fmt->cfFormat == RegisterClipboardFormatA("FileContents") && (fmt->tymed & TYMED_ISTREAM) != 0) {
            medium->tymed = TYMED_ISTREAM;
            medium->pstm = SHCreateMemStream(reinterpret_cast<const BYTE*>(contents.data()), static_cast<UINT>(contents.size()));
            medium->pUnkForRelease = nullptr;
            return S_OK;
        } else if (const std::string* block = Block(fmt->cfFormat)) {
            memory = GlobalAlloc(GHND, block->size());
            std::memcpy(GlobalLock(memory), block->data(), block->size());
            GlobalUnlock(memory);
        } else {
            return DV_E_FORMATETC;
        }
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = mediaWithOwner ? new MediumOwner(memory, &ownerReleases) : nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* fmt) override {
        if (fmt->cfFormat == CF_HDROP && offerFiles) return S_OK;
        if (fmt->cfFormat == CF_TEXT && offerText) return S_OK;
        if (wideFormat != 0 && fmt->cfFormat == wideFormat) return S_OK;
        return Block(fmt->cfFormat) != nullptr ? S_OK : DV_E_FORMATETC;
    }
    const std::string* Block(CLIPFORMAT format) const {
        for (const auto& block : blocks) {
            if (block.first == format) return &block.second;
        }
        return nullptr;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    HGLOBAL MakeFileList() const {
        size_t size = sizeof(DROPFILES) + 1;
        for (const auto& f : files) size += f.size() + 1;
        HGLOBAL memory = GlobalAlloc(GHND, size);
        auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
        header->pFiles = sizeof(DROPFILES);
        header->fWide = FALSE;
        char* names = reinterpret_cast<char*>(header) + sizeof(DROPFILES);
        for (const auto& f : files) {
            std::memcpy(names, f.c_str(), f.size() + 1);
            names += f.size() + 1;
        }
        *names = '\0';
        GlobalUnlock(memory);
        return memory;
    }
    HGLOBAL MakeText() const {
        HGLOBAL memory = GlobalAlloc(GHND, text.size() + 1);
        std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
        GlobalUnlock(memory);
        return memory;
    }
};

std::string TempFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "drop_target_test_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void WriteText(const std::string& path, const std::string& content) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

// A binary shell link to `target`, saved under `linkPath` (whatever its extension).
bool SaveShellLink(const std::string& target, const std::string& linkPath) {
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
        return false;
    }
    link->SetPath(target.c_str());
    IPersistFile* file = nullptr;
    bool saved = false;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
        saved = SUCCEEDED(file->Save(wide, TRUE));
        file->Release();
    }
    link->Release();
    return saved;
}

constexpr POINTL kPoint = {10, 10};

class DropTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        folder_ = TempFolder();
        target_ = new DropTarget;
        target_->AddRef();
        g_dropPending = 0;
        g_droppedText[0] = '\0';
    }
    void TearDown() override {
        target_->Release();
        if (bar_) DestroyWindow(bar_);
        g_dropPending = 0;
        g_droppedText[0] = '\0';
        OleUninitialize();
    }

    // A hidden top-level window titled like the Button bar, to receive the drop's command.
    HWND MakeBar() {
        bar_ = CreateWindowExA(0, "STATIC", "Brisklet", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        EXPECT_EQ(bar_, FindWindowExA(nullptr, nullptr, nullptr, "Brisklet")) << "another Brisklet window exists";
        return bar_;
    }
    // Whether WM_COMMAND 136 with lParam 0 was posted to the bar (and takes it off the queue).
    bool SetupCommandPosted() {
        MSG msg;
        bool seen = false;
        while (PeekMessageA(&msg, bar_, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
            if (msg.wParam == 136 && msg.lParam == 0) seen = true;
        }
        return seen;
    }
    HRESULT Enter(TestDataObject& data, DWORD* effect) {
        *effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        return target_->DragEnter(&data, MK_LBUTTON, kPoint, effect);
    }
    DWORD Over() {
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        EXPECT_EQ(S_OK, target_->DragOver(MK_LBUTTON, kPoint, &effect));
        return effect;
    }
    std::string File(const char* name) { return folder_ + "\\" + name; }

    std::string folder_;
    DropTarget* target_ = nullptr;
    HWND bar_ = nullptr;
};

TEST_F(DropTargetTest, AnswersOnlyItsTwoInterfacesComparingAllSixteenBytes) {
    void* out = nullptr;
    EXPECT_EQ(S_OK, target_->QueryInterface(IID_IUnknown, &out));
    EXPECT_EQ(static_cast<IDropTarget*>(target_), out);
    EXPECT_EQ(2, target_->RefCount());
    EXPECT_EQ(S_OK, target_->QueryInterface(IID_IDropTarget, &out));
    EXPECT_EQ(static_cast<IDropTarget*>(target_), out);
    EXPECT_EQ(3, target_->RefCount());
    EXPECT_EQ(2u, target_->Release());
    EXPECT_EQ(1u, target_->Release());

    out = target_;
    EXPECT_EQ(E_NOINTERFACE, target_->QueryInterface(IID_IDataObject, &out));
    EXPECT_EQ(nullptr, out);
    IID almost = IID_IDropTarget;
    almost.Data4[7] ^= 1;  // differs only in the last byte
    out = target_;
    EXPECT_EQ(E_NOINTERFACE, target_->QueryInterface(almost, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(1, target_->RefCount());
    EXPECT_EQ(2u, target_->AddRef());
    EXPECT_EQ(1u, target_->Release());
}

TEST_F(DropTargetTest, SeveralFilesAFolderAndUnreadableShortcutsAreRefusedAsInvalid) {
    MakeBar();
    const std::string folderUrl = File("folder.url");
    CreateDirectoryA(folderUrl.c_str(), nullptr);
    const std::string notInternet = File("Site.URL");
    WriteText(notInternet, "just some text, no shortcut section\r\n");
    const std::string noUrlValue = File("empty.url");
    WriteText(noUrlValue, "[InternetShortcut]\r\nIconIndex=0\r\n");

    const std::vector<std::vector<std::string>> cases = {
        {File("a.url"), File("b.url")}, {folderUrl}, {notInternet}, {noUrlValue}, {}};
    for (const auto& files : cases) {
        TestDataObject data;
        data.offerFiles = true;
        data.files = files;
        DWORD effect;
        EXPECT_EQ(E_INVALIDARG, Enter(data, &effect)) << (files.empty() ? "no files" : files[0]);
        EXPECT_EQ(DROPEFFECT_NONE, effect);
        EXPECT_FALSE(target_->IsAcceptable());
        EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), Over());
        effect = DROPEFFECT_COPY;
        EXPECT_EQ(S_OK, target_->Drop(&data, 0, kPoint, &effect));
        EXPECT_EQ(DROPEFFECT_NONE, effect);
    }
    EXPECT_EQ(0, g_dropPending);
    EXPECT_FALSE(SetupCommandPosted());
}

TEST_F(DropTargetTest, OneOrdinaryFileIsRefusedWithoutError) {
    const std::string notes = File("notes.txt");
    WriteText(notes, "http://not.taken.example/\r\n");
    TestDataObject data;
    data.offerFiles = true;
    data.files = {notes};
    DWORD effect;
    EXPECT_EQ(S_OK, Enter(data, &effect));
    EXPECT_EQ(DROPEFFECT_NONE, effect);
    EXPECT_FALSE(target_->IsAcceptable());
    EXPECT_FALSE(target_->IsTextDrag());
    EXPECT_STREQ(notes.c_str(), target_->Path());
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), Over());
}

TEST_F(DropTargetTest, InternetShortcutIsAcceptedWithItsAddressAndDropsLikeText) {
    MakeBar();
    const std::string shortcut = File("Example Site.URL");
    WriteText(shortcut, "[DEFAULT]\r\nBASEURL=http://base.example/\r\n"
                        "[InternetShortcut]\r\nURL=https://www.example.com/dropped?x=1\r\nIconIndex=0\r\n");
    TestDataObject data;
    data.offerFiles = true;
    data.files = {shortcut};
    data.mediaWithOwner = true;
    DWORD effect;
    EXPECT_EQ(S_OK, Enter(data, &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
    EXPECT_TRUE(target_->IsAcceptable());
    EXPECT_FALSE(target_->IsTextDrag());
    EXPECT_STREQ("https://www.example.com/dropped?x=1", target_->Path());
    EXPECT_EQ(1, data.ownerReleases.load()) << "the file list's medium is released through its owner";
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), Over());

    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(S_OK, target_->Drop(&data, 0, kPoint, &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
    EXPECT_EQ(1, g_dropPending);
    EXPECT_STREQ("https://www.example.com/dropped?x=1", g_droppedText);
    EXPECT_TRUE(SetupCommandPosted());
    EXPECT_EQ(0, data.textFetches);
}

TEST_F(DropTargetTest, ShellLinkFileNamedUrlResolvesToItsTarget) {
    const std::string notes = File("linked.txt");
    WriteText(notes, "x");
    const std::string link = File("real link.url");
    ASSERT_TRUE(SaveShellLink(notes, link)) << "the Shell Link object could not save a link";
    TestDataObject data;
    data.offerFiles = true;
    data.files = {link};
    DWORD effect;
    EXPECT_EQ(S_OK, Enter(data, &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
    EXPECT_TRUE(target_->IsAcceptable());
    EXPECT_STREQ(notes.c_str(), target_->Path());

    char target[MAX_PATH];
    EXPECT_TRUE(ResolveShortcut(link.c_str(), target));
    EXPECT_STREQ(notes.c_str(), target);
    // An Internet shortcut is no shell link: the Shell Link object refuses it.
    const std::string internet = File("plain.url");
    WriteText(internet, "[InternetShortcut]\r\nURL=http://plain.example/\r\n");
    std::memset(target, 'x', sizeof target);
    EXPECT_FALSE(ResolveShortcut(internet.c_str(), target));
    EXPECT_STREQ("", target);
}

TEST_F(DropTargetTest, BothFormatsAreJudgedByTheFileListAlone) {
    const std::string notes = File("notes.txt");
    WriteText(notes, "x");
    TestDataObject refusedFile;
    refusedFile.offerFiles = true;
    refusedFile.files = {notes};
    refusedFile.offerText = true;
    refusedFile.text = "http://text.example/";
    DWORD effect;
    EXPECT_EQ(S_OK, Enter(refusedFile, &effect));
    EXPECT_EQ(DROPEFFECT_NONE, effect);
    EXPECT_FALSE(target_->IsAcceptable());
    EXPECT_FALSE(target_->IsTextDrag());

    TestDataObject twoFiles;
    twoFiles.offerFiles = true;
    twoFiles.files = {notes, notes};
    twoFiles.offerText = true;
    twoFiles.text = "http://text.example/";
    EXPECT_EQ(E_INVALIDARG, Enter(twoFiles, &effect));
    EXPECT_EQ(DROPEFFECT_NONE, effect);
    EXPECT_FALSE(target_->IsTextDrag());
    EXPECT_EQ(0, twoFiles.textFetches);
}

TEST_F(DropTargetTest, TextAloneIsAcceptedAndDragLeaveEmptiesOnlyThePath) {
    const std::string shortcut = File("leave.url");
    WriteText(shortcut, "[InternetShortcut]\r\nURL=http://leave.example/\r\n");
    TestDataObject file;
    file.offerFiles = true;
    file.files = {shortcut};
    DWORD effect;
    ASSERT_EQ(S_OK, Enter(file, &effect));
    EXPECT_STREQ("http://leave.example/", target_->Path());
    EXPECT_EQ(S_OK, target_->DragLeave());
    EXPECT_STREQ("", target_->Path());
    EXPECT_TRUE(target_->IsAcceptable()) << "kept until the next DragEnter";

    TestDataObject text;
    text.offerText = true;
    text.text = "http://text.example/";
    EXPECT_EQ(S_OK, Enter(text, &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
    EXPECT_TRUE(target_->IsAcceptable());
    EXPECT_TRUE(target_->IsTextDrag());
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), Over());
    EXPECT_EQ(0, text.textFetches) << "DragEnter only asks whether text is offered";

    TestDataObject nothing;
    EXPECT_EQ(E_INVALIDARG, Enter(nothing, &effect));
    EXPECT_EQ(DROPEFFECT_NONE, effect);
    EXPECT_FALSE(target_->IsAcceptable());
    EXPECT_FALSE(target_->IsTextDrag());
    EXPECT_EQ(E_INVALIDARG, target_->DragEnter(nullptr, 0, kPoint, &effect));
    EXPECT_EQ(DROPEFFECT_NONE, effect);
}

TEST_F(DropTargetTest, TextDropFillsDroppedTextAndAsksTheBarForSetup) {
    MakeBar();
    TestDataObject text;
    text.offerText = true;
    text.text = "http://dropped.example/a b";
    DWORD effect;
    ASSERT_EQ(S_OK, Enter(text, &effect));
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(S_OK, target_->Drop(&text, 0, kPoint, &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
    EXPECT_STREQ("http://dropped.example/a b", g_droppedText);
    EXPECT_EQ(1, g_dropPending);
    EXPECT_TRUE(SetupCommandPosted());

    // 1,500 characters are cut to 1,023.
    g_dropPending = 0;
    TestDataObject longText;
    longText.offerText = true;
    longText.text = "http://" + std::string(1493, 'q');
    ASSERT_EQ(1500u, longText.text.size());
    ASSERT_EQ(S_OK, Enter(longText, &effect));
    EXPECT_EQ(S_OK, target_->Drop(&longText, 0, kPoint, &effect));
    EXPECT_EQ(1023u, std::strlen(g_droppedText));
    EXPECT_EQ(longText.text.substr(0, 1023), g_droppedText);
    EXPECT_EQ(1, g_dropPending);
    EXPECT_TRUE(SetupCommandPosted());
}

// Unicode is read where it is offered, a link's own address before any text; CF_TEXT, offered
// beside them, loses what the source's code page lacks and is not read.
TEST_F(DropTargetTest, UnicodeFormatsArePreferredOverTheCodePagesText) {
    MakeBar();
    const struct {
        const char* format;
        bool withText;
    } cases[] = {{"UniformResourceLocatorW", false}, {"UniformResourceLocatorW", true}, {nullptr, true}};
    for (const auto& c : cases) {
        g_dropPending = 0;
        g_droppedText[0] = '\0';
        TestDataObject data;
        data.offerText = c.withText;
        data.text = "http://cafe.example/";  // what a source without the letter offers
        data.wideText = L"http://caf\x00E9.example/";
        data.wideFormat = c.format != nullptr ? static_cast<CLIPFORMAT>(RegisterClipboardFormatA(c.format)) : CF_UNICODETEXT;
        DWORD effect;
        ASSERT_EQ(S_OK, Enter(data, &effect)) << (c.format != nullptr ? c.format : "CF_UNICODETEXT");
        EXPECT_EQ(S_OK, target_->Drop(&data, 0, kPoint, &effect));
        // In the program's code page: UTF-8 where the process runs in it, Windows-1252 in this suite.
        EXPECT_STREQ(GetACP() == CP_UTF8 ? "http://caf\xC3\xA9.example/" : "http://caf\xE9.example/", g_droppedText);
        EXPECT_EQ(1, g_dropPending);
    }
}

// A file group descriptor of `count` records, claiming `claimed` of them, the first named `name`.
template <typename Group, typename Name>
std::string Descriptor(const Name* name, size_t length, UINT claimed, size_t count = 1) {
    std::string block(offsetof(Group, fgd) + count * sizeof(Group::fgd[0]), '\0');
    auto* group = reinterpret_cast<Group*>(&block[0]);
    group->cItems = claimed;
    std::memcpy(group->fgd[0].cFileName, name, length * sizeof(Name));
    return block;
}

// Shortcuts described without a path: the Unicode descriptor's name is taken over the code page's
// one, which is read when it is the only one; the contents may come as a stream. A descriptor
// that claims more records than its block holds is not read.
TEST_F(DropTargetTest, DescribedShortcutsAreImportedNamedFromTheUnicodeDescriptorFirst) {
    MakeBar();
    const CLIPFORMAT wide = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileGroupDescriptorW"));
    const CLIPFORMAT ansi = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileGroupDescriptor"));
    const std::string wideBlock = Descriptor<FILEGROUPDESCRIPTORW>(L"Caf\x00E9 W.url", 10, 1);
    const std::string ansiBlock = Descriptor<FILEGROUPDESCRIPTORA>("Caf\xE9 A.url", 10, 1);
    // In the program's code page: the Unicode name through the process's, the code page's one by
    // the text rules (a name that is no UTF-8 is legacy text).
    const std::string cafeW = GetACP() == CP_UTF8 ? "Caf\xC3\xA9" : "Caf\xE9";
    const std::string cafeA = ProgramTextIsUtf8() ? "Caf\xC3\xA9" : "Caf\xE9";
    const struct {
        std::vector<std::pair<CLIPFORMAT, std::string>> blocks;
        std::string name;  // "" when refused
    } cases[] = {
        {{{ansi, ansiBlock}, {wide, wideBlock}}, cafeW + " W"},
        {{{ansi, ansiBlock}}, cafeA + " A"},
        {{{wide, Descriptor<FILEGROUPDESCRIPTORW>(L"Two.url", 7, 2)}}, ""},
    };
    for (const auto& c : cases) {
        TestDataObject data;
        data.blocks = c.blocks;
        data.contents = "[InternetShortcut]\r\nURL=http://described.example/\r\n";
        g_pendingImport.clear();
        DWORD effect;
        EXPECT_EQ(c.name.empty() ? E_INVALIDARG : S_OK, Enter(data, &effect)) << c.name;
        EXPECT_EQ(!c.name.empty(), target_->IsImportDrag()) << c.name;
        if (c.name.empty()) continue;
        EXPECT_EQ(S_OK, target_->Drop(&data, 0, kPoint, &effect));
        ASSERT_EQ(1u, g_pendingImport.size());
        EXPECT_EQ(c.name, g_pendingImport[0].shortcutName);
        EXPECT_EQ("http://described.example/", g_pendingImport[0].shortcutUrl);
    }
    g_pendingImport.clear();
}

TEST_F(DropTargetTest, TextDropThatCannotBeFetchedOrFindsNoBarChangesNothing) {
    TestDataObject text;
    text.offerText = true;
    text.text = "http://nobar.example/";
    DWORD effect;
    ASSERT_EQ(S_OK, Enter(text, &effect));
    ASSERT_EQ(nullptr, FindWindowExA(nullptr, nullptr, nullptr, "Brisklet"));
    EXPECT_EQ(S_OK, target_->Drop(&text, 0, kPoint, &effect));
    EXPECT_EQ(0, text.textFetches);
    EXPECT_EQ(0, g_dropPending);
    EXPECT_STREQ("", g_droppedText);

    MakeBar();
    text.textFetchFails = true;
    EXPECT_EQ(E_OUTOFMEMORY, target_->Drop(&text, 0, kPoint, &effect));
    EXPECT_EQ(0, g_dropPending);
    EXPECT_STREQ("", g_droppedText);
    EXPECT_FALSE(SetupCommandPosted());
}

// Closes every message box of this process with an empty caption and records its text and
// owner, until stopped.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() : thread_([this] { Run(); }) {}
    ~MessageBoxWatcher() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::vector<std::string> texts;
    std::vector<HWND> owners;

private:
    void Run() {
        while (!stop_) {
            EnumWindows(&MessageBoxWatcher::Visit, reinterpret_cast<LPARAM>(this));
            Sleep(20);
        }
    }
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM self) {
        auto* watcher = reinterpret_cast<MessageBoxWatcher*>(self);
        // Nothing here may send a message to a window of a thread that is waiting for this one.
        char cls[32] = "";
        WCHAR caption[64] = L"?";
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        GetClassNameA(hwnd, cls, sizeof cls);
        if (pid != GetCurrentProcessId() || std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
        InternalGetWindowText(hwnd, caption, 64);
        if (caption[0] != L'\0') return TRUE;
        for (HWND seen : watcher->handled_) if (seen == hwnd) return TRUE;
        watcher->handled_.push_back(hwnd);
        char text[256] = "";
        GetDlgItemTextA(hwnd, 0xFFFF, text, sizeof text);
        watcher->texts.push_back(text);
        watcher->owners.push_back(GetWindow(hwnd, GW_OWNER));
        PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDOK)));
        return TRUE;
    }
    std::atomic<bool> stop_{false};
    std::vector<HWND> handled_;
    std::thread thread_;
};

HWND MakeWindow() {
    return CreateWindowExA(0, "STATIC", "drop test owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

TEST_F(DropTargetTest, CreateDropTargetLocksAndRegistersTheObject) {
    HWND window = MakeWindow();
    g_dropTarget = nullptr;
    MessageBoxWatcher watcher;
    CreateDropTarget(window);
    watcher.Stop();
    EXPECT_TRUE(watcher.texts.empty());
    ASSERT_NE(nullptr, g_dropTarget);
    EXPECT_GE(g_dropTarget->RefCount(), 2) << "the external lock and the registration hold it";
    EXPECT_FALSE(g_dropTarget->IsAcceptable());
    EXPECT_STREQ("", g_dropTarget->Path());
    EXPECT_EQ(DRAGDROP_E_ALREADYREGISTERED, RegisterDragDrop(window, target_));

    RevokeDragDrop(window);
    CoLockObjectExternal(g_dropTarget, FALSE, TRUE);
    g_dropTarget = nullptr;
    DestroyWindow(window);
}

TEST_F(DropTargetTest, RegistrationFailureIsReportedAndTheBarGoesOn) {
    HWND window = MakeWindow();
    ASSERT_EQ(S_OK, RegisterDragDrop(window, target_));  // the window is taken already
    MessageBoxWatcher watcher;
    CreateDropTarget(window);
    watcher.Stop();
    ASSERT_EQ(1u, watcher.texts.size());
    EXPECT_EQ("Unable to Register as OLE Object", watcher.texts[0]);
    EXPECT_EQ(window, watcher.owners[0]);
    ASSERT_NE(nullptr, g_dropTarget);
    EXPECT_NE(static_cast<IDropTarget*>(g_dropTarget), static_cast<IDropTarget*>(target_));

    RevokeDragDrop(window);
    CoLockObjectExternal(g_dropTarget, FALSE, TRUE);
    g_dropTarget = nullptr;
    DestroyWindow(window);
}

TEST_F(DropTargetTest, LockFailureIsReportedAndRegistrationSkipped) {
    // A thread without COM cannot lock the object.
    std::vector<std::string> texts;
    std::vector<HWND> owners;
    HWND window = nullptr;
    HRESULT laterRegistration = E_FAIL;
    std::thread gui([&] {
        window = MakeWindow();
        MessageBoxWatcher watcher;
        CreateDropTarget(window);
        watcher.Stop();
        texts = watcher.texts;
        owners = watcher.owners;
        if (SUCCEEDED(OleInitialize(nullptr))) {
            DropTarget* other = new DropTarget;
            other->AddRef();
            laterRegistration = RegisterDragDrop(window, other);  // free: nothing was registered
            RevokeDragDrop(window);
            other->Release();
            OleUninitialize();
        }
        DestroyWindow(window);
    });
    gui.join();
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ("OLE Lock Object Error", texts[0]);
    EXPECT_EQ(window, owners[0]);
    EXPECT_EQ(S_OK, laterRegistration);
    g_dropTarget = nullptr;
}

}  // namespace
