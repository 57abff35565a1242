#include "ffb/trimmers.h"

#include "app/state.h"
#include "ffb/effects.h"
#include "ffb/polling.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr double offsetLimit = 10000.0;
constexpr double hatStep = 125.0;

// Offsets are computed in double precision and truncated toward zero.
std::int32_t toOffset(double value)
{
    return static_cast<std::int32_t>(std::clamp(value, -offsetLimit, offsetLimit));
}

struct HatStep {
    DWORD angle;  // hundredths of a degree
    int x;
    int y;
};

// Only these eight exact angles move the centre; up is -Y.
const HatStep hatSteps[] = {
    {0, 0, -1},     {4500, 1, -1},  {9000, 1, 0},    {13500, 1, 1},
    {18000, 0, 1},  {22500, -1, 1}, {27000, -1, 0},  {31500, -1, -1},
};

void stepToggleBlock()
{
    if (!isButtonIndex(Settings.toggleButton))
        return;
    const std::uint8_t state = buttonState[Settings.toggleButton];
    if (state == 1) {
        if (forcesOn != 0) {
            forcesOn = 0;
            trimLatched = 0;
            updateSprings();
        }
    } else if (state == 0 && trimLatched == 0) {
        forcesOn = 1;
        trimToStick();
        trimLatched = 1;  // also when the stick could not be read
    }
}

// Brings the centre back to the middle within one tick. Only trimX ends the
// loop; trimY is zeroed after it.
void stepCenterBlock()
{
    if (!isButtonIndex(Settings.centerButton) || buttonState[Settings.centerButton] != 1 || forcesOn == 0)
        return;
    // The stick's position is not used; the centre moves only while it reads.
    if (pollDevice(ffbDevice, &joyState) != S_OK)
        return;
    while (trimX != 0) {
        trimX = static_cast<std::int32_t>(trimX / 1.5);
        trimY = static_cast<std::int32_t>(trimY / 1.5);
        updateSprings();
    }
    trimY = 0;
    updateSprings();
}

void stepHoldBlock()
{
    if (!isButtonIndex(Settings.holdButton))
        return;
    const std::uint8_t state = buttonState[Settings.holdButton];
    if (state == 1) {
        if (forcesOn != 0) {
            forcesOn = 0;
            updateSprings();
        }
    } else if (state == 2) {
        forcesOn = 1;
        trimToStick();
    }
}

} // namespace

std::int32_t axisToOffset(LONG axisValue)
{
    return toOffset(axisValue / 65535.0 * 20000.0 - 10000.0);
}

void trimToStick()
{
    if (pollDevice(ffbDevice, &joyState) == S_OK) {
        trimX = axisToOffset(joyState.lX);
        trimY = axisToOffset(joyState.lY);
    }
    // Read or not, the set forcesOn names must play: a stick that could not
    // be read keeps the centre where it was.
    updateSprings();
}

void stepInstantTrimmer()
{
    stepToggleBlock();
    stepCenterBlock();
    stepHoldBlock();
}

void stepProgressiveTrimmer()
{
    if (forcesOn == 0 || !isDeviceIndex(Settings.povDeviceIndex))
        return;
    // No step on a hat this poll did not read.
    if (pollDevice(DeviceList[Settings.povDeviceIndex].device, &joyState) != S_OK)
        return;

    const DWORD angle = joyState.rgdwPOV[0];
    for (const HatStep& step : hatSteps) {
        if (step.angle == angle) {
            trimX = toOffset(trimX + step.x * hatStep);
            trimY = toOffset(trimY + step.y * hatStep);
            break;
        }
    }
    // The springs are refreshed after every successful poll, hat moved or not.
    updateSprings();
}

void engageForces()
{
    const bool released = forcesOn != 1;
    forcesOn = 1;
    trimLatched = 1;
    // A Hold seen down before would read as let go at the next poll, and
    // re-centre on the stick, long after the pilot flew it.
    std::fill(std::begin(buttonState), std::end(buttonState), 0);
    if (released)
        updateSprings();
}

void resetTrim()
{
    trimX = 0;
    trimY = 0;
    engageForces();
}
