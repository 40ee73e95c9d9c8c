// Any bytes as what is dragged onto the Button bar, and as the command line. The input scripts
// the data object's answers (file list, file name, folder or not, the shortcut's target and URL,
// text offered, the head every file starts with) and the dropped text itself; the drag is judged,
// what it brings for the import is imported, the text handed over and turned into a new button at
// the top of the table, which is saved. The file name doubles as the program's one command-line
// argument.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "app/shared_state.h"
#include "app/startup_rules.h"
#include "dialogs/table_edits.h"
#include "shell/drop_rules.h"
#include "store/bookmark_format.h"
#include "store/bookmark_import.h"
#include "store/button_files.h"
#include "store/text_encoding.h"
#include "tests/fuzz/fuzz_harnesses.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::ByteReader;
using fuzz::CutText;
using fuzz::FieldText;

// Copies text as the Windows calls do: at most size - 1 characters and a NUL.
void CopyOut(const std::string& text, char* out, size_t size) {
    FUZZ_CHECK(size > 0, "the core asks with room for a terminator");
    std::string cut = text.substr(0, text.find('\0'));
    if (cut.size() > size - 1) cut.resize(size - 1);
    std::memcpy(out, cut.c_str(), cut.size() + 1);
}

class ScriptedDrag : public DragData {
public:
    bool HasFileList() override { return hasFileList; }
    uint32_t FileCount() override { return fileCount; }
    bool FileName(uint32_t index, char* path, size_t size) override {
        if (!firstFileOk) return false;
        CopyOut(NameOf(index), path, size);
        return true;
    }
    // Every file starts with the scripted head.
    size_t ReadFileHead(const char*, char* buffer, size_t size) override {
        const size_t length = std::min(head.size(), size);
        std::memcpy(buffer, head.data(), length);
        return length;
    }
    // The files of a list have distinct names of one kind: the first as scripted, the others
    // with their number before its extension ("a.url", "a_1.url", ...).
    std::string NameOf(uint32_t index) const {
        const std::string first = fileName.substr(0, fileName.find('\0'));
        if (index == 0) return first;
        const size_t extension = static_cast<size_t>(PathExtension(first.c_str()) - first.c_str());
        return first.substr(0, extension) + "_" + std::to_string(index) + first.substr(extension);
    }
    bool IsFolder(const char*) override { return isFolder; }
    bool ResolveShortcut(const char*, char* target, size_t size) override {
        ++resolveCalls;
        if (resolves) CopyOut(target_, target, size);
        return resolves;
    }
    void ReadShortcutUrl(const char*, char* url, size_t size) override { CopyOut(shortcutUrl, url, size); }
    bool OffersText() override { return offersText; }
    // Without a file list the same files are described: named as they would be listed, each
    // holding the head.
    uint32_t DescribedFileCount() override { return fileCount; }
    bool DescribedFileName(uint32_t index, char* name, size_t size) override { return FileName(index, name, size); }
    size_t ReadDescribedFile(uint32_t, char* buffer, size_t size) override { return ReadFileHead("", buffer, size); }

    bool hasFileList = false, firstFileOk = false, isFolder = false, resolves = false, offersText = false;
    uint32_t fileCount = 0;
    std::string fileName, target_, shortcutUrl, head;
    int resolveCalls = 0;
};

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The extension of the last path component, worked out on its own.
std::string ExpectedExtension(const std::string& path) {
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':' && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        start = 2;
    }
    const size_t slash = path.find_last_of("\\/");
    if (slash != std::string::npos && slash + 1 > start) start = slash + 1;
    const size_t dot = path.rfind('.');
    return dot != std::string::npos && dot >= start ? path.substr(dot) : std::string();
}

void CheckExtension(const std::string& name) {
    const std::string path = name.substr(0, name.find('\0'));
    const char* extension = PathExtension(path.c_str());
    FUZZ_CHECK(extension >= path.c_str() && extension <= path.c_str() + path.size(), "the extension lies in the path");
    FUZZ_CHECK(std::string(extension) == ExpectedExtension(path), "the extension of the last component");
    FUZZ_CHECK(HasInternetShortcutExtension(path.c_str()) == (Lower(ExpectedExtension(path)) == ".url"),
               "Internet shortcuts are *.url in any case");
}

void CheckCommandLine(int count, const std::string& text) {
    const std::string argument = text.substr(0, text.find('\0'));
    const CommandLineRequest request = ClassifyCommandLine(count, argument.c_str());
    CommandLineRequest expected = CommandLineRequest::Activate;
    if (count == 1) {
        std::string upper = argument;
        for (char& c : upper) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        if (upper.size() >= kCommandLineCopySize || upper.find(".BKLT") == std::string::npos) {
            expected = CommandLineRequest::Ignore;
        } else {
            const bool ends = upper.size() >= 5 && upper.compare(upper.size() - 5, 5, ".BKLT") == 0;
            expected = ends ? CommandLineRequest::OpenButtonFile : CommandLineRequest::BadExtension;
        }
    }
    FUZZ_CHECK(request == expected, "the command line is read as one Button file argument, ending in .bklt, or not at all");
}

// Described files: shortcuts, each with the address its contents name, go to the import.
void CheckDescribed(const ScriptedDrag& drag, const DragVerdict& verdict, const std::vector<ImportSource>& imports) {
    const std::string head = drag.head.substr(0, kDescribedContentsSize);
    const std::string url = ShortcutUrlOf(head.data(), head.size());
    FUZZ_CHECK(url.find_first_of(std::string("\r\n\0", 3)) == std::string::npos, "an address is one line");
    const std::string first = drag.NameOf(0);
    const bool fits = drag.fileCount >= 1 && drag.NameOf(drag.fileCount - 1).size() < kDescribedNameSize;
    if (drag.fileCount == 0 || drag.fileCount > kMaxDroppedFiles || !drag.firstFileOk || url.empty() ||
        url.size() >= kDropPathSize || !HasInternetShortcutExtension(first.c_str())) {
        FUZZ_CHECK(!verdict.acceptable, "only shortcuts with an address are taken");
        return;
    }
    if (!fits) return;
    FUZZ_CHECK(verdict.acceptable && verdict.isImport && imports.size() == drag.fileCount, "every shortcut goes to the import");
    for (const ImportSource& source : imports) {
        FUZZ_CHECK(source.file.empty() && source.shortcutUrl == url, "with the address its contents name");
    }
}

void CheckJudgement(ScriptedDrag& drag, std::vector<ImportSource>& imports) {
    char path[kDropPathSize + 16];
    std::memset(path, 0x5a, sizeof path);
    path[0] = '\0';
    const DragVerdict verdict = JudgeDrag(drag, path, &imports);
    if (!verdict.isImport) imports.clear();
    for (size_t i = kDropPathSize; i < sizeof path; ++i) FUZZ_CHECK(path[i] == 0x5a, "the path stays in its buffer");
    FUZZ_CHECK(fuzz::Terminated(path, kDropPathSize), "the path is terminated");
    FUZZ_CHECK(verdict.acceptable == (verdict.effect == kDropEffectCopy), "copy is offered exactly for acceptable drags");
    FUZZ_CHECK(verdict.effect == kDropEffectCopy || verdict.effect == kDropEffectNone, "copy or nothing");
    if (verdict.acceptable) FUZZ_CHECK(verdict.result == kDropResultOk, "an accepted drag is S_OK");
    if (!drag.hasFileList) {
        FUZZ_CHECK(verdict.isText == drag.offersText, "text only without a file list");
        FUZZ_CHECK(path[0] == '\0', "a text drag, or described files, leave the path empty");
        if (drag.offersText) FUZZ_CHECK(verdict.acceptable, "text is taken");
        if (!drag.offersText) CheckDescribed(drag, verdict, imports);
        return;
    }
    FUZZ_CHECK(!verdict.isText, "a file list is never text");
    const std::string name = CutText(drag.fileName, kDropPathSize);
    const std::string extension = Lower(ExpectedExtension(name));
    const bool shortcut = extension == ".url";
    const bool several = drag.fileCount > 1 && drag.fileCount <= kMaxDroppedFiles;
    const bool candidate = (drag.fileCount == 1 || several) && drag.firstFileOk && !name.empty() && !drag.isFolder;
    const bool bookmarks = (extension == ".htm" || extension == ".html") &&
                           LooksLikeBookmarkFile(drag.head.data(), std::min(drag.head.size(), kBookmarkHeadSize));
    // A name made longer by its number may no longer fit: only lists whose every name fits are judged here.
    const bool namesFit = !several || drag.NameOf(drag.fileCount - 1).size() < kDropPathSize;
    if (candidate && bookmarks && namesFit) {
        FUZZ_CHECK(verdict.acceptable && verdict.isImport && imports.size() == drag.fileCount,
                   "bookmark files go to the import, each of them");
        for (uint32_t i = 0; i < imports.size(); ++i) {
            FUZZ_CHECK(imports[i].file == drag.NameOf(i), "in list order, by their own names");
        }
        return;
    }
    if (!candidate || !shortcut) {
        FUZZ_CHECK(!verdict.acceptable && drag.resolveCalls == 0, "only *.url files and bookmark files are considered");
        return;
    }
    FUZZ_CHECK(verdict.isImport == (several && verdict.acceptable), "several shortcuts go to the import");
    const std::string target = CutText(drag.target_, kDropPathSize);
    const std::string url = CutText(drag.shortcutUrl, kDroppedTextSize);
    const std::string address = drag.resolves && !target.empty() ? target : url;
    if (several) {
        const bool readable = !address.empty() && address.size() < kDropPathSize;
        FUZZ_CHECK(verdict.acceptable == readable && std::string(path) == name, "every shortcut has an address");
    } else if (drag.resolves && !target.empty()) {
        FUZZ_CHECK(verdict.acceptable && std::string(path) == target, "a resolved shortcut gives its target");
    } else if (!url.empty() && url.size() < kDropPathSize) {
        FUZZ_CHECK(verdict.acceptable && std::string(path) == url, "otherwise the shortcut's URL");
    } else if (!url.empty()) {
        FUZZ_CHECK(!verdict.acceptable, "a URL that does not fit the path is refused, not cut");
    } else if (!drag.resolves) {
        FUZZ_CHECK(!verdict.acceptable, "a shortcut with neither target nor URL is refused");
    }
}

// What a drop brings for the import: every bookmark of its files (each holding the head) and
// every shortcut is a row or counted as left out, and only what may become a button is a row.
void CheckImport(fuzz::Platform& platform, const std::vector<ImportSource>& imports, const std::string& head) {
    if (imports.empty()) return;
    const size_t bookmarksEach = ParseBookmarks(head.data(), head.size()).bookmarks.size();
    size_t offered = 0;
    for (const ImportSource& source : imports) {
        if (!source.file.empty()) platform.files.PutFile(source.file, head.data(), head.size());
        offered += source.file.empty() ? 1 : bookmarksEach;
    }
    ApplyButtonDefaults();
    const ImportList list = BuildImportList(imports, g_buttonTable);
    const size_t leftOut = std::accumulate(std::begin(list.leftOut), std::end(list.leftOut), size_t{0});
    FUZZ_CHECK(list.rows.size() + leftOut == offered, "every bookmark and shortcut is a row or counted as left out");
    for (const ImportRow& row : list.rows) {
        FUZZ_CHECK(IsPlaceToGo(row.url), "only what may become a button");
        const bool twoSlashes = row.url.size() >= 2 && (row.url[0] == '\\' || row.url[0] == '/') &&
                                (row.url[1] == '\\' || row.url[1] == '/');
        FUZZ_CHECK(!twoSlashes, "no network path");
    }
}

void CheckCopy(const std::string& text, size_t available, size_t outSize) {
    char out[96];
    std::memset(out, 0x5a, sizeof out);
    const size_t length = CopyDroppedText(text.data(), available, out, outSize);
    for (size_t i = outSize; i < sizeof out; ++i) FUZZ_CHECK(out[i] == 0x5a, "the copy stays in its buffer");
    if (outSize == 0) {
        FUZZ_CHECK(length == 0, "no room, no text");
        return;
    }
    size_t whole = std::min(available, outSize - 1);
    whole = std::min(whole, strnlen(text.data(), whole));
    // All of it that fits, less at most the three bytes of a character the room would cut.
    FUZZ_CHECK(length <= whole && length + 3 >= whole && out[length] == '\0' &&
                   std::memcmp(out, text.data(), length) == 0,
               "the text up to its NUL, its size and the buffer");
    if (length < whole) {
        const size_t next = Utf8CharLength(text.data() + length, strnlen(text.data() + length, available - length));
        FUZZ_CHECK(next == 0 || next > outSize - 1 - length,
                   "only a character that does not fit whole, or one cut short, is left out");
    }
}

}  // namespace

int FuzzDroppedText(const uint8_t* data, size_t size) {
    fuzz::Platform platform;
    ByteReader input(data, size);
    ScriptedDrag drag;
    const uint8_t flags = input.Byte();
    drag.hasFileList = (flags & 1) != 0;
    drag.firstFileOk = (flags & 2) == 0;
    drag.isFolder = (flags & 4) != 0;
    drag.resolves = (flags & 8) != 0;
    drag.offersText = (flags & 16) != 0;
    const uint32_t count = input.U32();
    drag.fileCount = (flags & 32) != 0 ? count : 1;
    drag.fileName = input.Text(kDropPathSize + 40);
    drag.target_ = input.Text(kDropPathSize + 40);
    drag.shortcutUrl = input.Text(kDroppedTextSize + 40);
    drag.head = input.Text(kBookmarkHeadSize + 40);
    const std::string name = input.Text(kEditorNameLimit + 10);
    const uint32_t availableChoice = input.U32();
    // The rest is the dropped text as the data object holds it, NUL or not.
    std::vector<char> text;
    while (!input.Empty()) text.push_back(static_cast<char>(input.Byte()));
    const size_t available = (flags & 64) != 0 ? availableChoice % (text.size() + 1) : text.size();
    text.push_back('\0');  // beyond what is available: never read past `available`

    CheckExtension(drag.fileName);
    CheckCommandLine((flags & 128) != 0 ? static_cast<int>(count % 3) : 1, drag.fileName);
    std::vector<ImportSource> imports;
    CheckJudgement(drag, imports);
    CheckImport(platform, imports, drag.head);
    CheckCopy(std::string(text.data(), text.size()), available, availableChoice % 90);

    // The drop hands the text over; the Add dialog opens with it as the URL.
    HandOverDroppedText(text.data(), available);
    FUZZ_CHECK(g_dropPending == 1, "a drop is pending");
    size_t expected = std::min(available, sizeof g_droppedText - 1);
    expected = strnlen(text.data(), expected);
    FUZZ_CHECK(std::strlen(g_droppedText) == expected && std::memcmp(g_droppedText, text.data(), expected) == 0,
               "the dropped text, cut to 1,023 characters");

    ApplyButtonDefaults();
    EditorResult result;
    std::memset(&result, 0, sizeof result);
    CopyTextToField(result.addUrl, sizeof result.addUrl, g_droppedText);
    CopyTextToField(result.addName, sizeof result.addName, name.c_str());
    FUZZ_CHECK(InsertButtonAtTop(g_buttonTable, result), "a dropped text becomes a button");
    FUZZ_CHECK(FieldText(g_buttonTable.records[0].url, kUrlSize) == CutText(g_droppedText, kUrlSize),
               "its URL is the dropped text, cut to 511");
    FUZZ_CHECK(g_buttonTable.buttonCount == 2, "next to the default button");
    fuzz::CheckTableSound(g_buttonTable, "after a drop");

    CopyTextToField(g_currentButtonFile, sizeof g_currentButtonFile, (std::string(fuzz::kDocumentsFolder) + "\\drop.bklt").c_str());
    FUZZ_CHECK(SaveButtonFile(), "the new button is saved");
    const std::vector<uint8_t>* file = platform.files.Get(g_currentButtonFile);
    FUZZ_CHECK(file != nullptr && file->size() == kButtonTableSize &&
                   fuzz::SameBytes(file->data(), &g_buttonTable, kButtonTableSize),
               "the saved file is the table");
    return 0;
}
