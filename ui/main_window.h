// The main window: its class, its fixed layout of 31 controls, and the
// strength controls shared by the window procedure and the restart sequence.
#pragma once

#include "app/state.h"

#include <cstdint>

constexpr int mainWindowWidth = 473;   // outer size, frame, caption and menu included
constexpr int mainWindowHeight = 292;

// One strength: its slider, the edit beside it and its settings field.
struct GainControl {
    HWND* slider;
    HWND* edit;
    std::int32_t SettingsFields::*gain;
};

// First set spring, damper, friction, then the second set, as the window
// lists them.
extern const GainControl gainControls[6];

// The trackbar class, then the main window class with its icons and menu.
void registerWindowClasses(HINSTANCE instance);

// Creates and shows mainWindow with all its controls; 0 when the main window
// cannot be created, 1 otherwise.
int createMainWindow(HINSTANCE instance);

// value as decimal text; the number of characters, or -1 if it does not fit.
int formatNumber(wchar_t (&buffer)[10], std::int32_t value);
