// Bringing DirectInput up and down: the game controllers in DeviceList, the
// force-feedback stick among them, and the six effects on it.
#pragma once

#include "ffb/directinput.h"

// Creates the DirectInput object, lists the attached game controllers, reads
// the stored settings, prepares every device and creates the effects. Unless
// quiet, tells the user when there is no controller or none with force
// feedback.
HRESULT initDirectInput(bool quiet = false);

BOOL CALLBACK enumDevicesCallback(const DIDEVICEINSTANCEW* instance, void* context);

// Counts the axes that carry a force-feedback actuator into *context, a
// std::uint32_t such as ffAxisCount.
BOOL CALLBACK enumAxesCallback(const DIDEVICEOBJECTINSTANCEW* object, void* context);

// Unacquires and releases everything initDirectInput built and resets the
// trim (resetTrim). Safe to call twice.
void releaseDirectInput();

// releaseDirectInput, then the settings file written from Settings.
void releaseAndSave();

// What initDirectInput calls to make the DirectInput object and to tell the
// user; tests put their own here.
extern HRESULT (WINAPI* createDirectInput)(HINSTANCE, DWORD, REFIID, LPVOID*, LPUNKNOWN);
extern int (WINAPI* showMessageBox)(HWND, LPCWSTR, LPCWSTR, UINT);
