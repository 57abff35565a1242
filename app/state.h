// The process-wide state every part of the program works on, one thread's.
// Each group below names the files that write it; everyone else only reads.
#pragma once

#include "ffb/directinput.h"

#include <cstdint>
#include <vector>

// The active trimmers, an 8-bit value; any other value is kept as it is.
using TrimmerMode = std::uint8_t;
constexpr TrimmerMode TrimmerNone = 0;
constexpr TrimmerMode TrimmerInstant = 1;
constexpr TrimmerMode TrimmerProgressive = 2;
constexpr TrimmerMode TrimmerBoth = 3;

// The fourteen settings, in the order of the settings file. Gains are
// DirectInput units (0..10000) in Settings and percent in a SettingsRecord.
struct SettingsFields {
    std::int32_t deviceIndex;     // DeviceList entry whose buttons drive the instant trimmer
    std::int32_t povDeviceIndex;  // DeviceList entry whose first hat drives the progressive trimmer
    std::int32_t holdButton;      // button indices 0..31, shown as 1..32
    std::int32_t toggleButton;
    std::int32_t centerButton;
    std::int32_t springGain;
    std::int32_t damperGain;
    std::int32_t frictionGain;
    std::int32_t springGain2;
    std::int32_t damperGain2;
    std::int32_t frictionGain2;
    std::int32_t reinitKey;       // virtual-key code of the restart hotkey, 0 for none
    std::uint8_t swapAxes;
    TrimmerMode trimmerMode;
};

// The six strengths in the order of the settings file, the window and the
// effect table: the first set's spring, damper and friction, then the second's.
inline constexpr std::int32_t SettingsFields::*gainFields[6] = {
    &SettingsFields::springGain,  &SettingsFields::damperGain,  &SettingsFields::frictionGain,
    &SettingsFields::springGain2, &SettingsFields::damperGain2, &SettingsFields::frictionGain2,
};

struct Settings : SettingsFields {};
struct SettingsRecord : SettingsFields {};

struct DeviceRecord {
    wchar_t name[MAX_PATH];
    IDirectInputDevice8W* device;  // owning; null when the entry is empty
};

constexpr int buttonCount = 32;
constexpr int maxDevices = 32;

// The live settings, written only by applySettingsRecord (settings/). The
// variable shares the type's name, so the type is spelled `struct Settings`
// wherever the variable is in scope.
extern struct Settings Settings;
// What the window shows, gains in percent: written by the window procedure
// (ui/) and refilled from Settings by the restart (app/).
extern SettingsRecord uiSettings;

// The running trimmers, set from the trimmer mode by setTrimmerMode (ui/).
extern std::int32_t instantTrimOn;
extern std::int32_t progressiveTrimOn;
// The main loop's (app/): the first idle tick opens the devices.
extern std::int32_t initPending;
// The hotkey as last seen up (app/): a key chosen while down acts only once it
// has been let go.
extern std::int32_t armedHotkey;
// Set once the devices are shut down for good (app/): at the way out, or when
// Windows ends the session. Nothing opens them again.
extern bool devicesShutDown;
// A game controller has arrived: set by the window procedure (ui/), taken by
// the next idle tick (app/).
extern bool devicesArrived;

// The trimmers' (ffb/trimmers) force set, latch and centre; discovery resets
// them at every release (resetTrim).
// Force-set selector: 1 plays the first set, anything else the second.
extern std::uint8_t forcesOn;
extern std::uint8_t trimLatched;
extern std::int32_t trimX;  // spring centre offsets, -10000..10000
extern std::int32_t trimY;

// The poll's (ffb/polling): the last state read and the button machine.
constexpr std::int64_t noTogglePressYet = INT64_MIN;
extern std::int64_t lastTogglePressMs;  // on the steady clock
extern std::uint8_t prevToggleRaw;
extern DIJOYSTATE2 joyState;
extern std::uint8_t buttonState[buttonCount];

// DirectInput, built and released by discovery (ffb/discovery); the effects
// are created and released by ffb/effects.
extern std::uint32_t ffAxisCount;
extern IDirectInputEffect* springEffect;
extern IDirectInputEffect* damperEffect;
extern IDirectInputEffect* frictionEffect;
extern IDirectInputEffect* springEffect2;
extern IDirectInputEffect* damperEffect2;
extern IDirectInputEffect* frictionEffect2;
extern IDirectInputDevice8W* ffbDevice;  // an alias of one DeviceList entry, never released through itself
extern IDirectInput8W* directInput;
extern std::int32_t deviceCount;
extern DeviceRecord DeviceList[maxDevices];

// The settings file's (settings/): set once this run has read "opt.dat" or
// found there is none; until then a save would replace stored settings it
// never saw, so it writes nothing.
extern bool storedSettingsKnown;
// Also the settings file's: set when a save meant to write "opt.dat" could
// not (read-only, held, the folder not writable), so the file is older than
// Settings; a restart then keeps Settings rather than read the file back.
extern bool unsavedSettings;

// The restart's (app/): the hotkey list's key codes, in entry order.
extern std::vector<std::int32_t> keyCodeList;

// Made by createMainWindow (ui/); the entry point (app/) names the window
// class and title and takes the menu. The child controls listed are those the
// program talks to; the others are captions only.
extern HWND deviceCombo;
extern HWND povDeviceCombo;
extern HWND holdCombo;
extern HWND toggleCombo;
extern HWND centerCombo;
extern HWND springEdit;
extern HWND springSlider;
extern HWND damperEdit;
extern HWND damperSlider;
extern HWND frictionEdit;
extern HWND frictionSlider;
extern HWND springEdit2;
extern HWND springSlider2;
extern HWND damperEdit2;
extern HWND damperSlider2;
extern HWND frictionEdit2;
extern HWND frictionSlider2;
extern HWND swapAxesCheck;
extern HWND reinitKeyCombo;

extern HWND mainWindow;
extern HMENU mainMenu;
// The main window's registration for arrivals of HID devices (ui/).
extern HDEVNOTIFY deviceNotification;
extern HINSTANCE instance;
extern wchar_t windowClassName[100];
extern wchar_t windowTitle[100];

// Indices that come from settings are checked against these before use.
inline bool isButtonIndex(std::int32_t index)
{
    return index >= 0 && index < buttonCount;
}

inline bool isDeviceIndex(std::int32_t index)
{
    return index >= 0 && index < deviceCount;
}
