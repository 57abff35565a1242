// The six condition effects, spring, damper and friction in two force sets:
// this file owns them from creation to release.
#pragma once

#include "ffb/directinput.h"

// Creates the six effects on ffbDevice with centre offsets 0 and starts the
// first set's damper, friction and spring. DirectInput refuses those starts
// until the device is acquired, so the restart starts the set again after.
HRESULT createEffects();

// Gives both springs the trim offsets and starts the set forcesOn selects.
void updateSprings();

// updateSprings, then the new strengths for the four other effects.
void updateEffects();

// Starts the first set's spring, damper and friction, in that order.
void startFirstSet();

// Stops all six effects, the first set before the second.
void stopEffects();

// Releases the six effects and leaves every handle null; safe to call twice.
void releaseEffects();
