#include "ffb/clock.h"

#include <windows.h>

namespace {
// 100-nanosecond ticks from 1601-01-01 (the FILETIME origin) to 1970-01-01.
constexpr std::int64_t ticksFrom1601To1970 = 116444736000000000LL;
}

std::int64_t systemWallClockMs()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const std::int64_t ticks =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    return (ticks - ticksFrom1601To1970) / 10000;
}

std::int64_t (*wallClockMs)() = systemWallClockMs;
