// The clock behind the toggle button's timing.
#pragma once

#include <cstdint>

// Milliseconds since the system started. It never goes back, so setting the
// system time, by hand or by a time sync, cannot mute the toggle.
std::int64_t systemSteadyClockMs();

// The clock the program reads; tests put a clock of their own here.
extern std::int64_t (*steadyClockMs)();
