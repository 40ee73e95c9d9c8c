#include "tests/fuzz/fuzz_support.h"

#include "app/layout.h"
#include "app/shared_state.h"
#include "app/tray_logic.h"
#include "dialogs/table_edits.h"
#include "store/bookmark_import.h"
#include "store/button_files.h"
#include "store/settings.h"

namespace fuzz {

const char kDocumentsFolder[] = "D:\\Users\\fuzz\\Documents";
const char kAppDataFolder[] = "D:\\Users\\fuzz\\AppData";

namespace {

void ResetProcessState() {
    std::memset(&g_buttonTable, 0, sizeof g_buttonTable);
    std::memset(g_trayTip, 0, sizeof g_trayTip);
    g_defaultFontHeight = -13;
    g_documentsFolder[0] = '\0';
    g_appDataFolder[0] = '\0';
    g_buttonFolder[0] = '\0';
    g_legacyDataFile[0] = '\0';
    g_currentButtonFile[0] = '\0';
    std::memset(&g_editorResult, 0, sizeof g_editorResult);
    std::memset(g_droppedText, 0, sizeof g_droppedText);
    g_dropPending = 0;
    g_pendingImport.clear();
    g_instantPopup = 0;
    g_layout = BarLayout();
}

}  // namespace

Platform::Platform() {
    ResetProcessState();
    files.MakeFolder("D:");
    files.MakeFolder("D:\\Users");
    files.MakeFolder("D:\\Users\\fuzz");
    files.MakeFolder(kDocumentsFolder);
    files.MakeFolder(kAppDataFolder);
    CopyTextToField(g_documentsFolder, sizeof g_documentsFolder, kDocumentsFolder);
    CopyTextToField(g_appDataFolder, sizeof g_appDataFolder, kAppDataFolder);
    BuildStorePaths();
    files.onUncopiedOverwrite = [](const std::string& path) {
        Violation(__FILE__, __LINE__, path.c_str(), "no file of another size is written over unless its copy exists");
    };
    g_platform.files = &files;
    g_platform.registry = &registry;
    g_platform.messages = &messages;
    g_platform.codePage = &codePage;
}

Platform::~Platform() {
    FUZZ_CHECK(files.OpenHandles() == 0, "every file the store opened is closed");
    FUZZ_CHECK(registry.OpenHandles() == 0, "every key the store opened is closed");
    g_platform = PlatformSeam();
}

std::string RecordedButtonFile(NativeRegistry& registry) {
    const NativeRegistry::Value* value =
        registry.Get(RegRoot::CurrentUser, kBriskletKeyPath, "CurrentButtonFileName");
    if (value == nullptr) return std::string();
    return value->bytes.substr(0, value->bytes.find('\0'));
}

}  // namespace fuzz
