#include "app/tray_logic.h"

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
    if (record.newWindow == 1) return LaunchRequest{browserProgram ? browserProgram : "", record.url};
    return LaunchRequest{record.url, nullptr};
}

void HandleLaunchButton(const ButtonTable& table, int index, const char* browserProgram,
                        int32_t stayOnTop, TrayPlatform& platform) {
    if (index < 0 || index >= ButtonCount(table)) return;
    const LaunchRequest request = PlanLaunch(table.records[index], browserProgram);
    if (LaunchFailed(platform.ShellOpen(request.file, request.parameters))) {
        platform.ShowBarMessage(kLaunchErrorText, kLaunchErrorCaption);
    }
    HideUnlessOnTop(platform, stayOnTop);
}
