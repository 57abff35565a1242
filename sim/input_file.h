// The live stick positions, buttons and hats, from sim-input.txt.
#pragma once

#include "sim/dinput_api.h"

#include <string>

constexpr int simButtonCount = 32;
constexpr LONG axisCentre = 32767;
constexpr DWORD povCentred = 0xFFFFFFFF;

struct StickInput {
    LONG x = axisCentre;
    LONG y = axisCentre;
    DWORD pov = povCentred;
    // As DIJOYSTATE2 reports them: 0x80 held, 0 up (a test may set any byte).
    BYTE buttons[simButtonCount] = {};
};

// A read looks at the file only when the last look is at least this old, so
// a writer whose change must show at the very next read waits this long.
constexpr double lookIntervalMs = 10;

// Reads the file again and answers for the device with config index `device`.
// A device whose line is missing or does not parse keeps its last good state,
// so a file caught half-written changes nothing it cannot read. Without files
// it answers what setStickInput gave.
StickInput readStickInput(int device);
void setStickInput(int device, const StickInput& input);
// Every device at rest.
void forgetStickInput();

// "pov=-1" for centred, else the angle.
std::string povText(DWORD pov);
// 32 characters, '1' for a pressed button, button 1 first.
std::string buttonsText(const BYTE (&buttons)[simButtonCount]);
