#include "ffb/clock.h"

#include <windows.h>

std::int64_t systemSteadyClockMs()
{
    return static_cast<std::int64_t>(GetTickCount64());
}

std::int64_t (*steadyClockMs)() = systemSteadyClockMs;
