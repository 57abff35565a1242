#include "app/state.h"

#include "settings/settings_file.h"

struct Settings Settings = {{
    0,     // deviceIndex
    0,     // povDeviceIndex
    0,     // holdButton
    0,     // toggleButton
    0,     // centerButton
    5000,  // springGain
    0,     // damperGain
    0,     // frictionGain
    0,     // springGain2
    5000,  // damperGain2
    0,     // frictionGain2
    0,     // reinitKey
    1,     // swapAxes
    TrimmerInstant,
}};
// The window's record holds the live settings from the start, so a control
// touched before the first discovery has ended changes only itself.
SettingsRecord uiSettings = [] {
    SettingsRecord record;
    captureSettingsRecord(record);
    return record;
}();

std::int32_t instantTrimOn = 1;
std::int32_t progressiveTrimOn = 0;
std::int32_t initPending = 1;
std::int32_t armedHotkey = 0;
bool devicesShutDown = false;
bool devicesArrived = false;

std::uint8_t forcesOn = 1;
std::uint8_t trimLatched = 1;
std::int64_t lastTogglePressMs = noTogglePressYet;
std::uint8_t prevToggleRaw = 0;
DIJOYSTATE2 joyState = {};
std::uint8_t buttonState[buttonCount] = {};
std::int32_t trimX = 0;
std::int32_t trimY = 0;

std::uint32_t ffAxisCount = 0;
IDirectInputEffect* springEffect = nullptr;
IDirectInputEffect* damperEffect = nullptr;
IDirectInputEffect* frictionEffect = nullptr;
IDirectInputEffect* springEffect2 = nullptr;
IDirectInputEffect* damperEffect2 = nullptr;
IDirectInputEffect* frictionEffect2 = nullptr;
IDirectInputDevice8W* ffbDevice = nullptr;
IDirectInput8W* directInput = nullptr;
std::int32_t deviceCount = 0;
DeviceRecord DeviceList[maxDevices] = {};

bool storedSettingsKnown = false;
bool unsavedSettings = false;

std::vector<std::int32_t> keyCodeList;

HWND deviceCombo = nullptr;
HWND povDeviceCombo = nullptr;
HWND holdCombo = nullptr;
HWND toggleCombo = nullptr;
HWND centerCombo = nullptr;
HWND springEdit = nullptr;
HWND springSlider = nullptr;
HWND damperEdit = nullptr;
HWND damperSlider = nullptr;
HWND frictionEdit = nullptr;
HWND frictionSlider = nullptr;
HWND springEdit2 = nullptr;
HWND springSlider2 = nullptr;
HWND damperEdit2 = nullptr;
HWND damperSlider2 = nullptr;
HWND frictionEdit2 = nullptr;
HWND frictionSlider2 = nullptr;
HWND swapAxesCheck = nullptr;
HWND reinitKeyCombo = nullptr;
HWND mainWindow = nullptr;
HMENU mainMenu = nullptr;
HDEVNOTIFY deviceNotification = nullptr;
HINSTANCE instance = nullptr;
wchar_t windowClassName[100] = {};
wchar_t windowTitle[100] = {};
