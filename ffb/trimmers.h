// The trimmers: buttons and a hat that move the spring centre (trimX, trimY)
// and choose the force set (forcesOn).
#pragma once

#include "ffb/directinput.h"

#include <cstdint>

// A stick axis (0..65535) as a spring-centre offset, -10000..10000. Values
// beyond the axis range are clamped to the offset range.
std::int32_t axisToOffset(LONG axisValue);

// Re-centres both springs on the force-feedback stick's present position and
// plays the set forcesOn names; a stick that cannot be read keeps the centre.
void trimToStick();

// Toggle, centre and hold buttons, in that order, on the button states of the
// poll that preceded it.
void stepInstantTrimmer();

// One hat step of 125 units on the device at povDeviceIndex.
void stepProgressiveTrimmer();

// Plays the first set again if the forces were released, and forgets the
// buttons' states and the toggle's latch, so that nothing releases them or
// re-centres later. For when the instant trimmer is switched off: nothing
// else engages them.
void engageForces();

// Springs centred, forces engaged and the buttons forgotten, as at start-up.
void resetTrim();
