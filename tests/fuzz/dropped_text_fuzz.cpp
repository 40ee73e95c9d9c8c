// Any bytes as what is dragged onto the Button bar, and as the command line. The input scripts
// the data object's answers (file list, file name, folder or not, the shortcut's target and URL,
// text offered) and the dropped text itself; the drag is judged, the text handed over and turned
// into a new button at the top of the table, which is saved. The file name doubles as the
// program's one command-line argument.
#include <cstdint>
#include <string>
#include <vector>

#include "app/shared_state.h"
#include "app/startup_rules.h"
#include "dialogs/table_edits.h"
#include "shell/drop_rules.h"
#include "store/button_files.h"
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
    bool FileName(uint32_t, char* path, size_t size) override {
        if (!firstFileOk) return false;
        CopyOut(fileName, path, size);
        return true;
    }
    size_t ReadFileHead(const char*, char*, size_t) override { return 0; }
    bool IsFolder(const char*) override { return isFolder; }
    bool ResolveShortcut(const char*, char* target, size_t size) override {
        ++resolveCalls;
        if (resolves) CopyOut(target_, target, size);
        return resolves;
    }
    void ReadShortcutUrl(const char*, char* url, size_t size) override { CopyOut(shortcutUrl, url, size); }
    bool OffersText() override { return offersText; }

    bool hasFileList = false, firstFileOk = false, isFolder = false, resolves = false, offersText = false;
    uint32_t fileCount = 0;
    std::string fileName, target_, shortcutUrl;
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
            expected = upper.back() == 'T' ? CommandLineRequest::OpenButtonFile : CommandLineRequest::BadExtension;
        }
    }
    FUZZ_CHECK(request == expected, "the command line is read as one Button file argument or not at all");
}

void CheckJudgement(ScriptedDrag& drag) {
    char path[kDropPathSize + 16];
    std::memset(path, 0x5a, sizeof path);
    path[0] = '\0';
    const DragVerdict verdict = JudgeDrag(drag, path);
    for (size_t i = kDropPathSize; i < sizeof path; ++i) FUZZ_CHECK(path[i] == 0x5a, "the path stays in its buffer");
    FUZZ_CHECK(fuzz::Terminated(path, kDropPathSize), "the path is terminated");
    FUZZ_CHECK(verdict.acceptable == (verdict.effect == kDropEffectCopy), "copy is offered exactly for acceptable drags");
    FUZZ_CHECK(verdict.effect == kDropEffectCopy || verdict.effect == kDropEffectNone, "copy or nothing");
    if (verdict.acceptable) FUZZ_CHECK(verdict.result == kDropResultOk, "an accepted drag is S_OK");
    if (!drag.hasFileList) {
        FUZZ_CHECK(verdict.acceptable == drag.offersText && verdict.isText == drag.offersText, "text only without a file list");
        FUZZ_CHECK(path[0] == '\0', "a text drag leaves the path empty");
        return;
    }
    FUZZ_CHECK(!verdict.isText, "a file list is never text");
    const std::string name = CutText(drag.fileName, kDropPathSize);
    const bool shortcut = Lower(ExpectedExtension(name)) == ".url";
    // The scripted list repeats one name; no file's head reads as a bookmark file.
    const bool several = drag.fileCount > 1 && drag.fileCount <= kMaxDroppedFiles;
    const bool candidate = (drag.fileCount == 1 || several) && drag.firstFileOk && !name.empty() && !drag.isFolder;
    if (!candidate || !shortcut) {
        FUZZ_CHECK(!verdict.acceptable && drag.resolveCalls == 0, "only *.url files that are no folders are considered");
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

void CheckCopy(const std::string& text, size_t available, size_t outSize) {
    char out[96];
    std::memset(out, 0x5a, sizeof out);
    const size_t length = CopyDroppedText(text.data(), available, out, outSize);
    for (size_t i = outSize; i < sizeof out; ++i) FUZZ_CHECK(out[i] == 0x5a, "the copy stays in its buffer");
    if (outSize == 0) {
        FUZZ_CHECK(length == 0, "no room, no text");
        return;
    }
    size_t expected = std::min(available, outSize - 1);
    expected = std::min(expected, strnlen(text.data(), expected));
    FUZZ_CHECK(length == expected && out[length] == '\0' && std::memcmp(out, text.data(), length) == 0,
               "the text up to its NUL, its size and the buffer");
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
    const std::string name = input.Text(kEditorNameLimit + 10);
    const uint32_t availableChoice = input.U32();
    // The rest is the dropped text as the data object holds it, NUL or not.
    std::vector<char> text;
    while (!input.Empty()) text.push_back(static_cast<char>(input.Byte()));
    const size_t available = (flags & 64) != 0 ? availableChoice % (text.size() + 1) : text.size();
    text.push_back('\0');  // beyond what is available: never read past `available`

    CheckExtension(drag.fileName);
    CheckCommandLine((flags & 128) != 0 ? static_cast<int>(count % 3) : 1, drag.fileName);
    CheckJudgement(drag);
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
