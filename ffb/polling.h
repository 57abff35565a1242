// Reading a game controller and the state machine over its first 32 buttons.
#pragma once

#include "ffb/directinput.h"

// How often Acquire is retried at once while it reports lost input, so that a
// device that keeps losing input cannot hold the program.
constexpr int lostInputRetryLimit = 5;

// What pollDevice returns when it read nothing (no device, or another program
// holds it): not an error, so nothing is reported or released, but there is
// no new state for a trimmer to act on.
constexpr HRESULT nothingRead = S_FALSE;

// Polls device and, when that fails, acquires it again, retrying at once only
// while it reports lost input. When the force-feedback stick is acquired again,
// the set forcesOn names plays again: DirectInput unloaded it with the stick.
// Returns DI_OK after a good poll, else Acquire's result.
HRESULT keepAcquired(IDirectInputDevice8W* device);

// keepAcquired on the force-feedback stick, if there is one: run every tick,
// whatever the trimmers, so that a stick lost and back gets its forces again.
// Reads no state and moves no button. False when there is no stick to play
// on: none was found, or it is unplugged.
bool watchStick();

// Reads device into *state. A read of the device whose buttons drive the
// trimmer (deviceIndex) also advances buttonState once; other devices give
// their axes and hat only. Returns S_OK after a read, nothingRead, E_FAIL when
// the device cannot be acquired, or GetDeviceState's failure.
HRESULT pollDevice(IDirectInputDevice8W* device, DIJOYSTATE2* state);
