// What a simulated controller reports about itself: its instance for
// EnumDevices and its axes, hat and buttons for EnumObjects.
#pragma once

#include "sim/config.h"
#include "sim/dinput_api.h"

#include <vector>

// The same GUID for the same config index in every run.
GUID instanceGuid(int index);
void describeInstance(int index, const DeviceSetup& setup, DIDEVICEINSTANCEW& instance);

// Every object in enumeration order: axes, the hat, then 32 buttons. A
// device has X and Y, and more axes when more carry actuators.
std::vector<DIDEVICEOBJECTINSTANCEW> deviceObjects(const DeviceSetup& setup);
int axisCount(const DeviceSetup& setup);

// Whether EnumObjects with these flags reports an object of this type.
bool objectWanted(DWORD objectType, DWORD enumFlags);

// The axis (0 for X, 1 for Y, ...) that an effect names in rgdwAxes, by data
// format offset or by object id as effectFlags say; -1 when it names no
// force-feedback actuator.
int actuatorAxis(const DeviceSetup& setup, DWORD axis, DWORD effectFlags);
