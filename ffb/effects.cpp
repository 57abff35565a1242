#include "ffb/effects.h"

#include "app/state.h"

#include <algorithm>

namespace {

// A DIEFFECT with the arrays it points to. The header points into this very
// object, so it is filled in place and never copied.
struct EffectDescription {
    DWORD axes[2];
    LONG directions[2];
    DICONDITION conditions[2];
    DIEFFECT effect;
};

// Coefficients and saturations DirectInput accepts. A gain from a hand-edited
// "opt.dat" may lie outside; a negative one would push the stick away.
constexpr std::int32_t largestGain = DI_FFNOMINALMAX;

// One condition record per actuator axis, X first: DirectInput refuses any
// other count. One strength sets both stiffness and largest force, the same
// on every axis; only the centre offset differs between the X and Y records.
void describeEffect(EffectDescription& d, std::int32_t gain, LONG offsetX, LONG offsetY)
{
    const DWORD axisCount = std::min<std::uint32_t>(ffAxisCount, 2);
    const std::int32_t strength = std::clamp<std::int32_t>(gain, 0, largestGain);
    d.axes[0] = DIJOFS_X;
    d.axes[1] = DIJOFS_Y;
    d.directions[0] = 0;
    d.directions[1] = 0;

    const LONG offsets[2] = {offsetX, offsetY};
    for (int axis = 0; axis < 2; ++axis) {
        DICONDITION& c = d.conditions[axis];
        c = DICONDITION{};
        c.lOffset = offsets[axis];
        c.lPositiveCoefficient = strength;
        c.lNegativeCoefficient = strength;
        c.dwPositiveSaturation = static_cast<DWORD>(strength);
        c.dwNegativeSaturation = static_cast<DWORD>(strength);
        c.lDeadBand = 0;
    }

    DIEFFECT& e = d.effect;
    e = DIEFFECT{};
    e.dwSize = sizeof(DIEFFECT);
    e.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    e.dwDuration = INFINITE;
    e.dwSamplePeriod = 0;
    e.dwGain = DI_FFNOMINALMAX;
    e.dwTriggerButton = DIEB_NOTRIGGER;
    e.dwTriggerRepeatInterval = 0;
    e.cAxes = axisCount;
    e.rgdwAxes = d.axes;
    e.rglDirection = d.directions;
    e.lpEnvelope = nullptr;
    e.cbTypeSpecificParams = axisCount * sizeof(DICONDITION);
    e.lpvTypeSpecificParams = d.conditions;
    e.dwStartDelay = 0;
}

void setConditions(IDirectInputEffect* effect, std::int32_t gain, LONG offsetX, LONG offsetY)
{
    if (!effect)
        return;
    EffectDescription d;
    describeEffect(d, gain, offsetX, offsetY);
    effect->SetParameters(&d.effect, DIEP_TYPESPECIFICPARAMS);
}

void startEffect(IDirectInputEffect* effect)
{
    if (effect)
        effect->Start(1, 0);  // one iteration of an infinite effect plays until stopped
}

void stopEffect(IDirectInputEffect* effect)
{
    if (effect)
        effect->Stop();
}

struct EffectSlot {
    const GUID* type;
    std::int32_t SettingsFields::*gain;
    IDirectInputEffect** handle;
    bool startWhenCreated;
};

// Creation order. The first spring is started only once both springs exist.
const EffectSlot creationOrder[] = {
    {&GUID_Damper, &SettingsFields::damperGain, &damperEffect, true},
    {&GUID_Damper, &SettingsFields::damperGain2, &damperEffect2, false},
    {&GUID_Friction, &SettingsFields::frictionGain, &frictionEffect, true},
    {&GUID_Friction, &SettingsFields::frictionGain2, &frictionEffect2, false},
    {&GUID_Spring, &SettingsFields::springGain, &springEffect, false},
    {&GUID_Spring, &SettingsFields::springGain2, &springEffect2, false},
};

} // namespace

HRESULT createEffects()
{
    if (!ffbDevice)
        return E_FAIL;
    // A device that reports force feedback on no axis has nothing to carry a
    // condition: it gets no effects rather than six requests that must fail.
    if (ffAxisCount == 0)
        return DIERR_UNSUPPORTED;

    for (const EffectSlot& slot : creationOrder) {
        EffectDescription d;
        describeEffect(d, Settings.*slot.gain, 0, 0);
        const HRESULT hr = ffbDevice->CreateEffect(*slot.type, &d.effect, slot.handle, nullptr);
        if (FAILED(hr))
            return hr;
        if (slot.startWhenCreated)
            startEffect(*slot.handle);
    }

    if (!springEffect || !springEffect2)
        return E_FAIL;
    startEffect(springEffect);
    return S_OK;
}

void updateSprings()
{
    // With the axes swapped the centre turns a quarter: X follows trimY and Y
    // follows -trimX, which is not the same as exchanging the two. A one-axis
    // device has only X, which follows the stick's X either way.
    LONG offsetX = trimX;
    LONG offsetY = trimY;
    if (Settings.swapAxes && ffAxisCount >= 2) {
        offsetX = trimY;
        offsetY = -trimX;
    }
    setConditions(springEffect, Settings.springGain, offsetX, offsetY);
    setConditions(springEffect2, Settings.springGain2, offsetX, offsetY);

    // The switch runs on every call, so the active set is always (re)started.
    IDirectInputEffect* const firstSet[] = {springEffect, damperEffect, frictionEffect};
    IDirectInputEffect* const secondSet[] = {springEffect2, damperEffect2, frictionEffect2};
    IDirectInputEffect* const* playing = forcesOn == 1 ? firstSet : secondSet;
    IDirectInputEffect* const* silenced = forcesOn == 1 ? secondSet : firstSet;
    for (int i = 0; i < 3; ++i) {
        stopEffect(silenced[i]);
        startEffect(playing[i]);
    }
}

void updateEffects()
{
    updateSprings();
    setConditions(frictionEffect, Settings.frictionGain, 0, 0);
    setConditions(frictionEffect2, Settings.frictionGain2, 0, 0);
    setConditions(damperEffect, Settings.damperGain, 0, 0);
    setConditions(damperEffect2, Settings.damperGain2, 0, 0);
}
