// What the user does in the window: controls, menu commands, the About box.
#pragma once

#include "app/state.h"

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Switches the trimmers mode 0..3 names on and the others off, and checks its
// menu item alone; false, changing nothing, for any other mode.
bool setTrimmerMode(TrimmerMode mode);
