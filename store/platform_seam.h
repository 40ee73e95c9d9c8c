// The small platform seam under the Button store: the file calls, the registry calls, the
// message box and the system code page. The Win32 layer fills it with the real ANSI calls; native tests fill it with
// POSIX files on temporary folders and an in-memory registry. Paths are ANSI strings with
// backslashes, as on Windows; the native file system maps them to its own separators.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class FileSystem {
public:
    using Handle = void*;   // nullptr = not open

    virtual ~FileSystem() = default;
    // Byte-mode open for reading; nullptr when the file cannot be opened.
    virtual Handle OpenRead(const char* path) = 0;
    // Byte-mode open for writing, creating or truncating the file.
    virtual Handle OpenWriteTruncate(const char* path) = 0;
    // Asks whether the file could be opened for writing without changing an existing file
    // (it is created empty when missing). True when it can.
    virtual bool CanOpenForWrite(const char* path) = 0;
    // One read / one write; the number of bytes transferred.
    virtual size_t Read(Handle file, void* buffer, size_t size) = 0;
    virtual size_t Write(Handle file, const void* data, size_t size) = 0;
    // Flushes the file's data to the disk; false on failure.
    virtual bool Flush(Handle file) = 0;
    // Closes; false when the close reported an error.
    virtual bool Close(Handle file) = 0;
    virtual bool Exists(const char* path) = 0;
    // The size in bytes of a file (not a folder) that is there; false when there is none or it
    // cannot be asked.
    virtual bool FileSize(const char* path, uint64_t* size) = 0;
    virtual bool CreateDirectory(const char* path) = 0;
    // A byte-for-byte copy. Without overwrite it fails when `to` exists; a copy that fails
    // leaves no partial `to` behind.
    virtual bool CopyFile(const char* from, const char* to, bool overwrite) = 0;
    virtual bool DeleteFile(const char* path) = 0;
    virtual bool RemoveDirectory(const char* path) = 0;
    // Replaces `to` by `from` in one step (on Windows MoveFileExA with
    // MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
    virtual bool ReplaceFile(const char* from, const char* to) = 0;
    // Whether the last call that failed failed because another program holds the file open
    // (a sharing or lock violation): worth trying again later, unlike a refusal.
    virtual bool LastFailureWasBusy() { return false; }
    // Waits about ms milliseconds (a file being written by another program may settle).
    virtual void Pause(unsigned ms) { static_cast<void>(ms); }
};

// Registry roots used by the program.
enum class RegRoot { CurrentUser, LocalMachine, ClassesRoot };

// Registry value types used by the program (numbers as in the Windows headers).
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegDword = 4;

// The registry calls, one method per advapi32 call the settings operations make.
class RegistryApi {
public:
    using Key = void*;   // nullptr = not open

    virtual ~RegistryApi() = default;
    // RegCreateKeyExA with REG_OPTION_NON_VOLATILE and KEY_ALL_ACCESS: opens or creates the key
    // with every missing parent.
    virtual bool CreateKey(RegRoot root, const char* path, Key* key) = 0;
    // RegOpenKeyExA with KEY_ALL_ACCESS (forWriting) or KEY_READ; never creates.
    virtual bool OpenKey(RegRoot root, const char* path, bool forWriting, Key* key) = 0;
    // RegSetValueExA. name may be "" for the default value.
    virtual bool SetValue(Key key, const char* name, uint32_t type, const void* data, uint32_t size) = 0;
    // RegQueryValueExA. data may be nullptr to ask for presence only; *size is in/out.
    virtual bool QueryValue(Key key, const char* name, uint32_t* type, void* data, uint32_t* size) = 0;
    virtual bool DeleteValue(Key key, const char* name) = 0;
    virtual void Flush(Key key) = 0;
    virtual void Close(Key key) = 0;
};

// MessageBoxA with no owner window, MB_OK.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void ShowMessage(const char* text, const char* caption) = 0;
};

// Text between UTF-8 (bookmark files, Button file fields) and the program's code page, the one
// the A calls carry: UTF-8 itself where the system runs the program in UTF-8 (GetACP() 65001),
// the legacy ANSI code page on older systems.
class CodePage {
public:
    virtual ~CodePage() = default;
    // Valid UTF-8 to the program's code page; a character the code page lacks becomes '?'. False
    // when one did.
    virtual bool FromUtf8(const std::string& utf8, std::string* ansi) = 0;
    // Program code-page text to UTF-8.
    virtual void ToUtf8(const std::string& ansi, std::string* utf8) = 0;
    // Whether the program's code page is UTF-8.
    virtual bool IsUtf8() = 0;
    // The user's legacy ANSI code page (1252 in Western Europe), in which older files were written.
    virtual unsigned LegacyCodePage() = 0;
    // Text of that code page to UTF-8.
    virtual void LegacyToUtf8(unsigned codePage, const std::string& text, std::string* utf8) = 0;
    // The order of two names of the program's code page in the user's locale, letter case aside:
    // *order < 0, 0 or > 0. False where no locale is at hand (the names are then compared by
    // their bytes).
    virtual bool CompareNames(const char* /*first*/, const char* /*second*/, int* /*order*/) { return false; }
};

// What the Button store asks of the program around a Button file that other programs change
// too. Without one (nullptr), a save that cannot happen now is reported at once.
class FileSyncEvents {
public:
    virtual ~FileSyncEvents() = default;
    // Calls RetryPendingSave() in about ms milliseconds, on the thread that saves.
    virtual void RetrySaveLater(unsigned ms) = 0;
    // The table was replaced (merged with the file's changes, or reloaded): the bar and any open
    // list of buttons must be shown again.
    virtual void TableReplaced() = 0;
};

// The seam in force; set once at start-up (or by a test).
struct PlatformSeam {
    FileSystem* files = nullptr;
    RegistryApi* registry = nullptr;
    MessageSink* messages = nullptr;
    CodePage* codePage = nullptr;
    FileSyncEvents* sync = nullptr;
    // Tells this program's temporary files from those of any other program saving into the same
    // folder (another PC on a shared or synced folder may run under the same process id).
    const char* instanceTag = "0";
};
extern PlatformSeam g_platform;
