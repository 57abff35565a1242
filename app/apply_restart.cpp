#include "app/apply_restart.h"

#include "app/state.h"
#include "ffb/discovery.h"
#include "ffb/effects.h"
#include "settings/key_names.h"
#include "settings/settings_file.h"
#include "ui/main_window.h"
#include "ui/window_proc.h"

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

void restart(bool startup, bool quiet)
{
    if (!startup) {
        releaseAndSave();
        Sleep(100);
    }

    initDirectInput(quiet);
    for (int i = 0; i < deviceCount; ++i)
        DeviceList[i].device->Acquire();
    Sleep(100);

    // Started again now that the devices are acquired. The first set plays
    // after every discovery, as the release engaged the forces.
    startFirstSet();

    captureSettingsRecord(uiSettings);
    // A mode outside 0..3 leaves the flags and the menu as they were.
    setTrimmerMode(uiSettings.trimmerMode);

    listDevices();
    if (startup) {
        listHotkeys();
        // The stored hotkey acts at once, even if it is down now.
        armedHotkey = uiSettings.reinitKey;
    }
    showSettingsRecord();
}

} // namespace

void applyAndRestart(bool startup)
{
    restart(startup, false);
}

void rediscoverDevices()
{
    // The springs stay where the pilot trimmed them, as they do for a stick
    // that comes back as the same device.
    const std::int32_t x = trimX, y = trimY;
    restart(false, true);
    trimX = x;
    trimY = y;
    updateSprings();
}
