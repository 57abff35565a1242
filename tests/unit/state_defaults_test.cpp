// The state the program starts with. A program of its own, so that nothing
// can have touched the globals before these checks run.
#include "app/state.h"
#include "ffb/clock.h"

#include <gtest/gtest.h>

namespace {

TEST(StartUpState, EveryGlobalHoldsItsDocumentedDefault)
{
    // The live settings in DirectInput units, and the window's record, which
    // holds the same in percent from the start.
    const SettingsFields* const images[] = {&Settings, &uiSettings};
    for (const SettingsFields* s : images) {
        const std::int32_t half = s == &Settings ? 5000 : 50;
        const std::int32_t fields[] = {s->deviceIndex, s->povDeviceIndex, s->holdButton,   s->toggleButton,
                                       s->centerButton, s->springGain,    s->damperGain,   s->frictionGain,
                                       s->springGain2, s->damperGain2,    s->frictionGain2, s->reinitKey,
                                       s->swapAxes,    s->trimmerMode};
        const std::int32_t expected[] = {0, 0, 0, 0, 0, half, 0, 0, 0, half, 0, 0, 1, TrimmerInstant};
        for (int i = 0; i < 14; ++i)
            EXPECT_EQ(fields[i], expected[i]) << (s == &Settings ? "Settings" : "uiSettings") << ", field " << i;
    }
    const long long flags[] = {instantTrimOn, progressiveTrimOn, initPending, forcesOn, trimLatched,
                               lastTogglePressMs, prevToggleRaw, trimX, trimY, ffAxisCount, deviceCount};
    const long long expected[] = {1, 0, 1, 1, 1, 2147483647, 0, 0, 0, 0, 0};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(flags[i], expected[i]) << "flag " << i;
    for (std::uint8_t state : buttonState)
        EXPECT_EQ(state, 0);
    for (const void* handle : {static_cast<const void*>(springEffect), static_cast<const void*>(frictionEffect2),
                               static_cast<const void*>(ffbDevice), static_cast<const void*>(directInput),
                               static_cast<const void*>(DeviceList[0].device), static_cast<const void*>(mainWindow)})
        EXPECT_EQ(handle, nullptr);
    EXPECT_FALSE(storedSettingsKnown);
    EXPECT_TRUE(keyCodeList.empty());
    // The real clock: milliseconds since 1970, between 2020 and 2100.
    EXPECT_EQ(wallClockMs, systemWallClockMs);
    EXPECT_GT(systemWallClockMs(), 1'577'836'800'000LL);
    EXPECT_LT(systemWallClockMs(), 4'102'444'800'000LL);
}

} // namespace
