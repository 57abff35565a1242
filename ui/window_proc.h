// What the user does in the window: controls, menu commands, the About box.
#pragma once

#include "app/state.h"

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Sets the trimmer flags for mode 0..3 and checks its menu item alone; false,
// changing nothing, for any other mode.
bool showTrimmerMode(TrimmerMode mode);
