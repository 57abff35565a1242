// An effect's parameters as DirectInput takes them from a DIEFFECT: checked,
// journaled field by field and kept for the force model.
#pragma once

#include "sim/config.h"
#include "sim/dinput_api.h"
#include "sim/journal.h"

#include <vector>

struct EffectParameters {
    DWORD axisCount = 0;
    DWORD axes[maxAxes] = {};        // as the caller named them
    int deviceAxes[maxAxes] = {};    // the device axis each names: 0 X, 1 Y, ...
    DWORD duration = 0;
    DWORD gain = 10000;
    DWORD triggerButton = DIEB_NOTRIGGER;
    DWORD startDelay = 0;
    std::vector<DICONDITION> records;  // one for all axes, or one per axis
};

// A condition effect can play once it has axes and records.
bool isComplete(const EffectParameters& parameters);

// Applies the parts of description that flags name to parameters, all or
// nothing. Every given field goes onto line, and a refusal adds
// "error=<what>". Returns DI_OK or the DirectInput error.
HRESULT applyParameters(const DeviceSetup& device, const DIEFFECT* description, DWORD flags,
                        EffectParameters& parameters, CallLine& line);
