// Injected failures: the configured calls of a method return a chosen result
// instead of doing anything.
#pragma once

#include "sim/dinput_api.h"

// Counts from the configuration's (re)load on; DirectInput8Create's own count
// runs for the whole process, since every call of it reloads.
void resetCallCounts();
// Every count back to zero, DirectInput8Create's too.
void forgetCallCounts();

// Counts this call of method (on the device with config index `device`, or -1
// for none) and tells whether a rule makes it fail, with what result.
bool injectedFailure(const char* method, int device, HRESULT& result);
