// The wall clock behind the toggle button's timing.
#pragma once

#include <cstdint>

// Milliseconds since 1970-01-01 00:00 UTC from the system clock, so a change
// of the system time acts on the toggle timing.
std::int64_t systemWallClockMs();

// The clock the program reads; tests put a clock of their own here.
extern std::int64_t (*wallClockMs)();
