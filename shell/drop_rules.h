// The rules of drag-and-drop onto the Button bar, without the platform: how a dragged file's
// name is judged, how a drag is decided from what its data object offers, and how a dropped
// text is handed to the dialogs. The Win32 drop target answers the data object's questions
// through DragData and turns the verdict into its HRESULT and drop effect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include "store/bookmark_import.h"

// HRESULTs and drop effects the drop target answers with (the numbers of the Windows headers).
constexpr int32_t kDropResultOk = 0;                                     // S_OK
constexpr int32_t kDropResultInvalidArg = static_cast<int32_t>(0x80070057u);  // E_INVALIDARG
constexpr uint32_t kDropEffectNone = 0;                                  // DROPEFFECT_NONE
constexpr uint32_t kDropEffectCopy = 1;                                  // DROPEFFECT_COPY

constexpr size_t kDropPathSize = 260;      // the one dragged file's path, with its NUL
constexpr size_t kDroppedTextSize = 1024;  // the dropped text, with its NUL
constexpr uint32_t kMaxDroppedFiles = 100;  // a longer file list is refused
constexpr size_t kBookmarkHeadSize = 1024;  // what is read of a dropped file to judge it
constexpr size_t kDescribedNameSize = 3 * kDropPathSize;  // a described file's name, any script
constexpr size_t kDescribedContentsSize = 4096;  // what is read of a described shortcut's contents

// The extension of the last component of `path`: from the component's last dot to the end, dot
// included. The component starts after the last backslash or forward slash and after a drive
// prefix ("C:"). Returns a pointer into `path`, or to its terminating NUL when the component
// has no dot.
const char* PathExtension(const char* path);

// Whether the path's extension is ".url" in any ASCII letter case (an Internet shortcut).
bool HasInternetShortcutExtension(const char* path);

// Whether the path's extension is ".htm" or ".html" in any ASCII letter case.
bool HasHtmlExtension(const char* path);

// The questions a drag is judged by, asked in this order. The Win32 layer answers them from the
// data object (CF_HDROP, CF_TEXT), the shell and the Shell Link object; tests answer them from
// a script.
class DragData {
public:
    virtual ~DragData() = default;
    // The data object delivers a file list.
    virtual bool HasFileList() = 0;
    // Number of files in the list.
    virtual uint32_t FileCount() = 0;
    // Copies the path of file `index` into `path` (at most size − 1 characters and the NUL);
    // false when the name cannot be fetched.
    virtual bool FileName(uint32_t index, char* path, size_t size) = 0;
    virtual bool IsFolder(const char* path) = 0;
    // Reads the shortcut file through the Shell Link object; `target` gets its target.
    virtual bool ResolveShortcut(const char* path, char* target, size_t size) = 0;
    // Reads the "URL" value of the file's "InternetShortcut" section; `url` gets it, "" when
    // there is none.
    virtual void ReadShortcutUrl(const char* path, char* url, size_t size) = 0;
    // Reads up to `size` bytes from the start of the file; the number read, 0 when it cannot
    // be read.
    virtual size_t ReadFileHead(const char* path, char* buffer, size_t size) = 0;
    // The data object offers text (asked only when it delivers no file list).
    virtual bool OffersText() = 0;
    // Files the data object describes without a path (a file group descriptor, the contents of
    // each fetched by its index), as a browser's link or a file in an archive is dragged; 0
    // when it describes none. Asked only when it offers neither a file list nor text.
    virtual uint32_t DescribedFileCount() = 0;
    // The name of described file `index` in the program's code page, as FileName.
    virtual bool DescribedFileName(uint32_t index, char* name, size_t size) = 0;
    // Reads up to `size` bytes from the start of described file `index`; the number read.
    virtual size_t ReadDescribedFile(uint32_t index, char* buffer, size_t size) = 0;
};

// What DragEnter decides. `result` is the HRESULT DragEnter returns.
struct DragVerdict {
    int32_t result = kDropResultInvalidArg;
    uint32_t effect = kDropEffectNone;
    bool acceptable = false;
    bool isText = false;
    bool isImport = false;  // the files go to the Import Bookmarks dialog
};

// Judges a drag. The file list is tried first; text counts only when there is no file list.
// One file that is not a folder, named *.url, is accepted when the Shell Link object resolves
// it (its target goes into `path`) or, failing that, when the file names an address in its
// "InternetShortcut" section (the address goes into `path`). `path` (kDropPathSize bytes)
// holds the fetched file name otherwise, and stays "" for text drags.
// Bookmarks: one *.htm or *.html file that is a bookmark file, or several files (at most
// kMaxDroppedFiles) each of which is a bookmark file or a shortcut with an address, are
// accepted for the Import Bookmarks dialog (isImport); `imports`, when given, receives them in
// list order, shortcuts named after their files. One HTML file of any other content is refused
// as any ordinary file is.
// Described files (neither a file list nor text offered): at most kMaxDroppedFiles, each a
// *.url whose first kDescribedContentsSize bytes name an address, go to the Import Bookmarks
// dialog named after their files; anything else refuses the drag.
DragVerdict JudgeDrag(DragData& data, char* path, std::vector<ImportSource>* imports = nullptr);

// The "URL" value of the "InternetShortcut" section of an Internet shortcut's contents (`size`
// bytes, read up to a NUL), read as the profile functions read it: names without regard to
// ASCII case, blanks around names and values and a pair of quotes around the value ignored, the
// first value found kept. In the program's code page; "" when there is none.
std::string ShortcutUrlOf(const char* contents, size_t size);

// How many entries a file group descriptor of `blockSize` bytes holds: the count it claims
// (`claimed`, in the block's first `headerSize` bytes) when the block has room for that many
// records of `recordSize` bytes after the header, else 0: a block that claims more than it holds
// is not read at all.
uint32_t DescribedFileCountIn(size_t blockSize, uint32_t claimed, size_t headerSize, size_t recordSize);

// Copies dropped text into `out` (outSize bytes): up to its NUL, never past `available` bytes
// of `text`, and at most outSize − 1 bytes, cut between two characters; always NUL-terminated.
// Returns the length.
size_t CopyDroppedText(const char* text, size_t available, char* out, size_t outSize);

// Hands a dropped text to the Setup and Add dialogs: fills the dropped text (cut to 1,023
// characters) and sets the drop-pending flag.
void HandOverDroppedText(const char* text, size_t available);

// Hands dropped bookmark files and shortcuts to the bar's import command (g_pendingImport).
void HandOverImport(std::vector<ImportSource> sources);
