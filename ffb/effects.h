// The six condition effects: spring, damper and friction in two force sets.
#pragma once

#include "ffb/directinput.h"

// Creates the six effects on ffbDevice; the first set's damper, friction and
// spring are left playing with centre offsets 0.
HRESULT createEffects();

// Gives both springs the trim offsets and starts the set forcesOn selects.
void updateSprings();

// updateSprings, then the new strengths for the four other effects.
void updateEffects();
