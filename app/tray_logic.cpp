#include "app/tray_logic.h"

#include <cstring>

#include "store/text_encoding.h"

const char kLaunchErrorText[] = "Error opening Web Browser or program.";
const char kLaunchErrorCaption[] = "Launch Error";

TrayState g_trayState;

void ResetTrayState(TrayState& state) {
    state.popupCountdown = 0;
    state.countdownRunning = 0;
}

namespace {

void HideUnlessOnTop(TrayPlatform& platform, int32_t stayOnTop) {
    if (stayOnTop == 0) platform.ShowBar(kShowHide);
}

void OnHover(const TrayState& state, TrayPlatform& platform, const TrayContext& context) {
    platform.SetTrayPicture(TrayPicture::Normal);
    if (state.popupCountdown == 0 && context.instantPopup == 1) {
        platform.ShowBar(kShowRestore);
        platform.UpdateBar();
        platform.BringBarToFront();
    }
}

void OnLeftDown(TrayPlatform& platform) {
    platform.SetTrayPicture(TrayPicture::Alternate);
    platform.ShowBar(kShowNormal);
    platform.UpdateBar();
    platform.ActivateBar();
    platform.BringBarToFront();
}

void OnLeftUp(TrayPlatform& platform) {
    platform.SetTrayPicture(TrayPicture::Normal);
    platform.BringBarToFront();
}

// Opens the Favourite URL (a failure is silent), hides the bar and (re)starts the countdown.
// A countdown that already runs is only set back to its full length: one timer at a time.
void OnRightDown(TrayState& state, TrayPlatform& platform, const TrayContext& context) {
    platform.ShellOpen(context.favouriteUrl ? context.favouriteUrl : "", nullptr);
    HideUnlessOnTop(platform, context.stayOnTop);
    state.popupCountdown = kPopupCountdownSeconds;
    if (state.countdownRunning != 1) {
        state.countdownRunning = 1;
        platform.StartCountdownTimer();
    }
}

}  // namespace

void HandleTrayMouse(TrayState& state, TrayPlatform& platform, unsigned mouseMessage,
                     const TrayContext& context) {
    switch (mouseMessage) {
        case kTrayMouseMove: OnHover(state, platform, context); break;
        case kTrayLeftDown: OnLeftDown(platform); break;
        case kTrayLeftUp: OnLeftUp(platform); break;
        case kTrayRightDown: OnRightDown(state, platform, context); break;
        default: break;
    }
}

void HandleCountdownTick(TrayState& state, TrayPlatform& platform) {
    if (state.popupCountdown <= 0) return;
    --state.popupCountdown;
    if (state.popupCountdown <= 0) {
        platform.StopCountdownTimer();
        state.countdownRunning = 0;
    }
}

LaunchRequest PlanLaunch(const ButtonRecord& record, const char* browserProgram) {
    // The address as the A calls take it, which may differ from the bytes a legacy file holds.
    const char* shown = ShownField(record.url);
    LaunchRequest request;
    if (record.newWindow != 1) {
        request.file = shown;
        return request;
    }
    request.file = browserProgram != nullptr ? browserProgram : "";
    const std::string url(shown);
    // Browsers read an argument that starts with '-' or '/', spaces before it skipped, as a switch.
    const size_t first = url.find_first_not_of(" \t");
    request.refused = url.find_first_of("\"\r\n") != std::string::npos ||
                      (first != std::string::npos && (url[first] == '-' || url[first] == '/'));
    if (request.refused) return request;
    // Inside quotes, backslashes are plain unless a quote follows them: the closing quote's are doubled.
    const size_t trailing = url.size() - (url.find_last_not_of('\\') + 1);
    request.parameters = "\"" + url + std::string(trailing, '\\') + "\"";
    request.withParameters = true;
    return request;
}

void HandleLaunchButton(const ButtonTable& table, int index, const char* browserProgram,
                        int32_t stayOnTop, TrayPlatform& platform) {
    if (index < 0 || index >= ButtonCount(table)) return;
    const LaunchRequest request = PlanLaunch(table.records[index], browserProgram);
    if (request.refused || LaunchFailed(platform.ShellOpen(request.file, request.Parameters()))) {
        platform.ShowBarMessage(kLaunchErrorText, kLaunchErrorCaption);
    }
    HideUnlessOnTop(platform, stayOnTop);
}

BarKeyAction ClassifyBarKey(unsigned virtualKey, bool shiftDown) {
    switch (virtualKey) {
        case kKeyDown: return BarKeyAction::Next;
        case kKeyUp: return BarKeyAction::Previous;
        case kKeyTab: return shiftDown ? BarKeyAction::Previous : BarKeyAction::Next;
        case kKeyHome: return BarKeyAction::First;
        case kKeyEnd: return BarKeyAction::Last;
        case kKeyReturn:
        case kKeySpace: return BarKeyAction::Open;
        case kKeyEscape: return BarKeyAction::Hide;
        default: return BarKeyAction::None;
    }
}

int MoveBarFocus(BarKeyAction action, int current, int count) {
    if (count <= 0) return -1;
    const bool none = current < 0 || current >= count;
    switch (action) {
        case BarKeyAction::Next: return none ? 0 : (current + 1) % count;
        case BarKeyAction::Previous: return none ? count - 1 : (current + count - 1) % count;
        case BarKeyAction::First: return 0;
        case BarKeyAction::Last: return count - 1;
        default: return -1;
    }
}

namespace {

unsigned char FoldAsciiCase(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// ASCII letters and digits, and the letters of the ANSI code page above 127.
bool IsJumpCharacter(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0xC0;
}

}  // namespace

int JumpToButtonByLetter(const ButtonTable& table, int current, char typed) {
    const unsigned char wanted = FoldAsciiCase(static_cast<unsigned char>(typed));
    if (!IsJumpCharacter(wanted)) return -1;
    const int count = ButtonCount(table);
    if (count <= 0) return -1;
    const int start = (current >= 0 && current < count) ? current : -1;
    for (int step = 1; step <= count; ++step) {
        const int index = (start + step) % count;
        if (FoldAsciiCase(static_cast<unsigned char>(table.records[index].name[0])) == wanted) return index;
    }
    return -1;
}
