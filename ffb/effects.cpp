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

struct EffectRow {
    IDirectInputEffect** handle;
    const GUID* type;
};

// The six effects, in the order they are stopped and released: the first
// set's spring, damper and friction, then the second set's. Row i takes its
// strength from gainFields[i].
const EffectRow effectTable[6] = {
    {&springEffect, &GUID_Spring},  {&damperEffect, &GUID_Damper},  {&frictionEffect, &GUID_Friction},
    {&springEffect2, &GUID_Spring}, {&damperEffect2, &GUID_Damper}, {&frictionEffect2, &GUID_Friction},
};
constexpr int spring = 0, damper = 1, friction = 2;  // place within a set
constexpr int firstSet = 0, secondSet = 3;           // row of a set's spring

IDirectInputEffect*& handleOf(int row)
{
    return *effectTable[row].handle;
}

std::int32_t gainOf(int row)
{
    return Settings.*gainFields[row];
}

// Creation order: dampers, frictions, springs, each first set then second;
// the first spring is started only once both springs exist.
const int creationOrder[6] = {firstSet + damper,   secondSet + damper, firstSet + friction,
                              secondSet + friction, firstSet + spring,  secondSet + spring};

} // namespace

HRESULT createEffects()
{
    if (!ffbDevice)
        return E_FAIL;
    // A device that reports force feedback on no axis has nothing to carry a
    // condition: it gets no effects rather than six requests that must fail.
    if (ffAxisCount == 0)
        return DIERR_UNSUPPORTED;

    for (int row : creationOrder) {
        EffectDescription d;
        describeEffect(d, gainOf(row), 0, 0);
        const HRESULT hr = ffbDevice->CreateEffect(*effectTable[row].type, &d.effect, &handleOf(row), nullptr);
        if (FAILED(hr))
            return hr;
        if (row == firstSet + damper || row == firstSet + friction)
            startEffect(handleOf(row));
    }

    if (!handleOf(firstSet + spring) || !handleOf(secondSet + spring))
        return E_FAIL;
    startEffect(handleOf(firstSet + spring));
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
    for (int row : {firstSet + spring, secondSet + spring})
        setConditions(handleOf(row), gainOf(row), offsetX, offsetY);

    // The switch runs on every call, so the active set is always (re)started.
    const int playing = forcesOn == 1 ? firstSet : secondSet;
    const int silenced = forcesOn == 1 ? secondSet : firstSet;
    for (int place : {spring, damper, friction}) {
        stopEffect(handleOf(silenced + place));
        startEffect(handleOf(playing + place));
    }
}

void updateEffects()
{
    updateSprings();
    for (int row : {firstSet + friction, secondSet + friction, firstSet + damper, secondSet + damper})
        setConditions(handleOf(row), gainOf(row), 0, 0);
}

void startFirstSet()
{
    for (int place : {spring, damper, friction})
        startEffect(handleOf(firstSet + place));
}

void stopEffects()
{
    for (int row = 0; row < 6; ++row)
        stopEffect(handleOf(row));
}

void releaseEffects()
{
    for (int row = 0; row < 6; ++row)
        releaseAndNull(handleOf(row));
}
