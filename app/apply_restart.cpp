#include "app/apply_restart.h"

#include "app/state.h"
#include "ffb/discovery.h"
#include "settings/key_names.h"
#include "settings/settings_file.h"
#include "ui/main_window.h"
#include "ui/window_proc.h"

#include <commctrl.h>

namespace {

void listDevices()
{
    SendMessageW(deviceCombo, CB_RESETCONTENT, 0, 0);
    SendMessageW(povDeviceCombo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < deviceCount; ++i) {
        LPARAM name = reinterpret_cast<LPARAM>(DeviceList[i].name);
        SendMessageW(deviceCombo, CB_ADDSTRING, 0, name);
        SendMessageW(povDeviceCombo, CB_ADDSTRING, 0, name);
    }
}

void listHotkeys()
{
    SendMessageW(reinitKeyCombo, CB_RESETCONTENT, 0, 0);
    for (const KeyNameEntry& entry : KeyNameTable) {
        std::wstring name = keyNameText(entry);
        SendMessageW(reinitKeyCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        keyCodeList.push_back(entry.code);
    }
    // A stored code the table lacks selects no row but is still watched.
    int row = findKeyNameRow(uiSettings.reinitKey);
    if (row >= 0)
        SendMessageW(reinitKeyCombo, CB_SETCURSEL, row, 0);
}

// An index the list lacks leaves it with no row selected.
void selectRows()
{
    SendMessageW(deviceCombo, CB_SETCURSEL, Settings.deviceIndex, 0);
    SendMessageW(povDeviceCombo, CB_SETCURSEL, Settings.povDeviceIndex, 0);
    SendMessageW(holdCombo, CB_SETCURSEL, Settings.holdButton, 0);
    SendMessageW(toggleCombo, CB_SETCURSEL, Settings.toggleButton, 0);
    SendMessageW(centerCombo, CB_SETCURSEL, Settings.centerButton, 0);
}

void showGains()
{
    for (const GainControl& control : gainControls) {
        wchar_t text[10];
        formatNumber(text, uiSettings.*control.gain);
        SetWindowTextW(*control.edit, text);
    }
    for (const GainControl& control : gainControls)
        SendMessageW(*control.slider, TBM_SETPOS, TRUE, uiSettings.*control.gain);
}

} // namespace

void applyAndRestart(bool startup)
{
    if (!startup) {
        releaseAndSave();
        Sleep(100);
    }

    initDirectInput();
    for (int i = 0; i < deviceCount; ++i)
        DeviceList[i].device->Acquire();
    Sleep(100);

    // The first set plays after every discovery; the next updateSprings picks
    // the set forcesOn names if a trimmer has the forces released.
    for (IDirectInputEffect* effect : {springEffect, damperEffect, frictionEffect}) {
        if (effect)
            effect->Start(1, 0);
    }

    captureSettingsRecord(uiSettings);
    // A mode outside 0..3 leaves the flags and the menu as they were.
    showTrimmerMode(uiSettings.trimmerMode);

    listDevices();
    if (startup)
        listHotkeys();
    selectRows();
    showGains();
    // Cleared as well as checked, so the box always agrees with the file read.
    SendMessageW(swapAxesCheck, BM_SETCHECK, uiSettings.swapAxes != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
}
