// The main window: its class, its fixed layout of 31 controls, and showing
// the settings record in them, for the window procedure and the restart.
#pragma once

#include "app/state.h"

#include <cstdint>

constexpr int mainWindowWidth = 473;   // outer size, frame, caption and menu included
constexpr int mainWindowHeight = 292;

// One strength's slider and the edit beside it.
struct GainControl {
    HWND* slider;
    HWND* edit;
};

// The strengths in the order of gainFields: gainControls[i] shows field i.
extern const GainControl gainControls[6];

// The trackbar class, then the main window class with its icons and menu.
void registerWindowClasses(HINSTANCE instance);

// Creates and shows mainWindow with all its controls; 0 when the main window
// cannot be created, 1 otherwise.
int createMainWindow(HINSTANCE instance);

// Shows uiSettings in the window: the rows of the five lists, the six
// strengths and the "Swap Axis" mark. A row the list lacks selects none.
void showSettingsRecord();

// Shows strength i (of gainFields) of uiSettings in its edit and its slider.
void showGain(int i);

// Sets or clears the "Swap Axis" mark from uiSettings.
void showSwapAxes();

// value as decimal text; the number of characters, or -1 if it does not fit.
int formatNumber(wchar_t (&buffer)[10], std::int32_t value);
