// Reading a game controller and the state machine over its first 32 buttons.
#pragma once

#include "ffb/directinput.h"

// How often Acquire is retried at once while it reports lost input, so that a
// device that keeps losing input cannot hold the program.
constexpr int lostInputRetryLimit = 5;

// Reads device into *state and advances buttonState once. Returns 0 on success
// and also for a null device or one another program holds (nothing read);
// E_FAIL when the device cannot be acquired; else GetDeviceState's failure.
HRESULT pollDevice(IDirectInputDevice8W* device, DIJOYSTATE2* state);
