#include "ui/window_proc.h"

#include "settings/settings_file.h"
#include "ui/main_window.h"
#include "ui/resource.h"
#include "app/apply_restart.h"
#include "app/main_loop.h"
#include "ffb/trimmers.h"

#include <commctrl.h>
#include <dbt.h>

namespace {

struct TrimmerItem {
    UINT command;
    std::int32_t instantOn;
    std::int32_t progressiveOn;
};

// Indexed by TrimmerMode, and in the order the menu items are checked.
const TrimmerItem trimmerItems[4] = {
    {IDM_NO_TRIMMER, 0, 0},
    {IDM_INSTANT_TRIMMER, 1, 0},
    {IDM_PROGRESSIVE_TRIMMER, 0, 1},
    {IDM_BOTH_TRIMMERS, 1, 1},
};

std::int32_t selectionOf(HWND list)
{
    return static_cast<std::int32_t>(SendMessageW(list, CB_GETCURSEL, 0, 0));
}

void onSwapAxesClicked()
{
    uiSettings.swapAxes = uiSettings.swapAxes == 0 ? 1 : 0;
    applySettingsRecord(uiSettings);
    showSwapAxes();
}

// Any list's change takes all five choices; the guards in applySettingsRecord
// keep an index without a selection (-1) out of Settings.
void onSelectionChanged()
{
    uiSettings.deviceIndex = selectionOf(deviceCombo);
    uiSettings.povDeviceIndex = selectionOf(povDeviceCombo);
    uiSettings.holdButton = selectionOf(holdCombo);
    uiSettings.toggleButton = selectionOf(toggleCombo);
    uiSettings.centerButton = selectionOf(centerCombo);
    applySettingsRecord(uiSettings);
}

// The hotkey is taken into Settings at once, so that a restart or an exit
// keeps the key the list shows.
void onHotkeyChosen()
{
    std::int32_t row = selectionOf(reinitKeyCombo);
    if (row < 0 || static_cast<std::size_t>(row) >= keyCodeList.size())
        return;
    uiSettings.reinitKey = keyCodeList[row];
    applySettingsRecord(uiSettings);
}

void onTrimmerCommand(TrimmerMode mode)
{
    const bool instantWasOn = instantTrimOn;
    setTrimmerMode(mode);
    // Only the instant trimmer engages forces it released.
    if (instantWasOn && !instantTrimOn)
        engageForces();
    uiSettings.trimmerMode = mode;
    applySettingsRecord(uiSettings);
}

// The controls have no ids: each is known by its window handle.
void onControlNotification(HWND source, WORD code)
{
    if (code == BN_CLICKED && source == swapAxesCheck)
        onSwapAxesClicked();
    // Arrow keys in the closed list send only a selection change, the mouse
    // also a close-up (after which the selection may have gone back).
    else if (source == reinitKeyCombo && (code == CBN_SELCHANGE || code == CBN_CLOSEUP))
        onHotkeyChosen();
    else if (code == CBN_SELCHANGE)
        onSelectionChanged();
}

// True when the id is one of the menu's commands.
bool onMenuCommand(HWND window, WORD id)
{
    switch (id) {
    case IDM_INIT_DIRECTINPUT:
        applyAndRestart(false);
        return true;
    case IDM_NO_TRIMMER:
        onTrimmerCommand(TrimmerNone);
        return true;
    case IDM_INSTANT_TRIMMER:
        onTrimmerCommand(TrimmerInstant);
        return true;
    case IDM_PROGRESSIVE_TRIMMER:
        onTrimmerCommand(TrimmerProgressive);
        return true;
    case IDM_BOTH_TRIMMERS:
        onTrimmerCommand(TrimmerBoth);
        return true;
    case IDM_ABOUT:
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), window, aboutDialogProc, 0);
        return true;
    case IDM_EXIT:
        DestroyWindow(window);
        return true;
    default:
        return false;
    }
}

// Every step of a drag, line or page move takes the new strength, so the
// effects follow the thumb.
void onSliderMoved(HWND source)
{
    for (int i = 0; i < 6; ++i) {
        if (*gainControls[i].slider != source)
            continue;
        uiSettings.*gainFields[i] = static_cast<std::int32_t>(SendMessageW(source, TBM_GETPOS, 0, 0));
        showGain(i);
        applySettingsRecord(uiSettings);
        return;
    }
}

void onPaint(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
}

} // namespace

bool setTrimmerMode(TrimmerMode mode)
{
    if (mode > TrimmerBoth)
        return false;
    instantTrimOn = trimmerItems[mode].instantOn;
    progressiveTrimOn = trimmerItems[mode].progressiveOn;
    for (const TrimmerItem& item : trimmerItems)
        CheckMenuItem(mainMenu, item.command, item.command == trimmerItems[mode].command ? MF_CHECKED : MF_UNCHECKED);
    return true;
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        // The devices go while the window they are bound to still exists.
        shutDownDevices();
        if (deviceNotification) {
            UnregisterDeviceNotification(deviceNotification);
            deviceNotification = nullptr;
        }
        PostQuitMessage(0);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // Windows ends the process once this returns: no WM_DESTROY follows.
        if (wParam)
            shutDownDevices();
        return 0;
    case WM_DEVICECHANGE:
        if (wParam == DBT_DEVICEARRIVAL)
            devicesArrived = true;
        return TRUE;
    case WM_PAINT:
        onPaint(window);
        return 0;
    case WM_COMMAND:
        // A control names itself in lParam; a menu command comes from no window.
        if (lParam)
            onControlNotification(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        else if (onMenuCommand(window, LOWORD(wParam)))
            return 0;
        break;
    case WM_HSCROLL:
        onSliderMoved(reinterpret_cast<HWND>(lParam));
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;  // the focus goes to OK
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
