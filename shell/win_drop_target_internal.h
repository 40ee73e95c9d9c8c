// The drop target object itself, for the code that makes it and for in-process tests.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <vector>
#include "store/bookmark_import.h"

// A COM object: it deletes itself in Release when the last reference goes, so its destructor
// is private and, with the class final, needs no virtual.
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
class DropTarget final : public IDropTarget {
public:
    DropTarget();
    DropTarget(const DropTarget&) = delete;
    DropTarget& operator=(const DropTarget&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDropTarget
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

    // What the last DragEnter decided, for tests.
    bool IsAcceptable() const { return acceptable != 0; }
    const char* Path() const { return path; }
    bool IsTextDrag() const { return isText != 0; }
    bool IsImportDrag() const { return isImport != 0; }
    LONG RefCount() const { return refCount; }

private:
    ~DropTarget() = default;  // only Release deletes

    BYTE acceptable;     // 1 when the drag now over the bar would be taken
    char path[MAX_PATH]; // the one dragged file, then the shortcut's target or address
    LONG refCount;
    BYTE isText;         // 1 when the drag carries text and no file list
    BYTE isImport;       // 1 when the files go to the Import Bookmarks dialog
    std::vector<ImportSource> imports;  // ... and these are they
};

// The object CreateDropTarget made; null before, or when it could not be allocated.
extern DropTarget* g_dropTarget;

// Reads a shortcut file through the Shell Link object. `target` (MAX_PATH bytes) gets the link's
// target; true when loading, resolving and reading the path all succeeded.
bool ResolveShortcut(const char* shortcutPath, char* target);
