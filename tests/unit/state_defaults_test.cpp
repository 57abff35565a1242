// The state the program starts with. A program of its own, so that nothing
// can have touched the globals before these checks run.
#include "app/state.h"
#include "ffb/clock.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

TEST(StartUpState, EveryGlobalHoldsItsDocumentedDefault)
{
    // The live settings in DirectInput units, and the window's record, which
    // holds the same in percent from the start.
    const SettingsFields* const images[] = {&Settings, &uiSettings};
    const std::int32_t unitsPerPercent[] = {100, 1};
    for (int image = 0; image < 2; ++image) {
        const SettingsFields& s = *images[image];
        const std::int32_t fields[] = {s.deviceIndex, s.povDeviceIndex, s.holdButton,  s.toggleButton, s.centerButton,
                                       s.springGain,  s.damperGain,     s.frictionGain, s.springGain2,  s.damperGain2,
                                       s.frictionGain2, s.reinitKey,    s.swapAxes,     s.trimmerMode};
        const std::int32_t half = 50 * unitsPerPercent[image];
        const std::int32_t expected[] = {0, 0, 0, 0, 0, half, 0, 0, 0, half, 0, 0, 1, TrimmerInstant};
        for (std::size_t i = 0; i < std::size(fields); ++i)
            EXPECT_EQ(fields[i], expected[i]) << "image " << image << ", field " << i;
    }
    EXPECT_EQ(sizeof(struct Settings), 52u);

    EXPECT_EQ(instantTrimOn, 1);
    EXPECT_EQ(progressiveTrimOn, 0);
    EXPECT_EQ(initPending, 1);
    EXPECT_EQ(forcesOn, 1);
    EXPECT_EQ(trimLatched, 1);
    EXPECT_EQ(lastTogglePressMs, 2147483647);
    EXPECT_EQ(prevToggleRaw, 0);
    EXPECT_EQ(trimX, 0);
    EXPECT_EQ(trimY, 0);
    for (std::uint8_t state : buttonState)
        EXPECT_EQ(state, 0);
    EXPECT_EQ(ffAxisCount, 0u);
    for (IDirectInputEffect* effect :
         {springEffect, damperEffect, frictionEffect, springEffect2, damperEffect2, frictionEffect2})
        EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(ffbDevice, nullptr);
    EXPECT_EQ(directInput, nullptr);
    EXPECT_EQ(deviceCount, 0);
    for (const DeviceRecord& record : DeviceList)
        EXPECT_EQ(record.device, nullptr);
    EXPECT_FALSE(storedSettingsKnown);
    EXPECT_TRUE(keyCodeList.empty());
    EXPECT_EQ(mainWindow, nullptr);
}

TEST(StartUpState, ClockReadsMillisecondsSince1970)
{
    EXPECT_EQ(wallClockMs, systemWallClockMs);
    // 2020-01-01 and 2100-01-01 in milliseconds since 1970.
    EXPECT_GT(systemWallClockMs(), 1'577'836'800'000LL);
    EXPECT_LT(systemWallClockMs(), 4'102'444'800'000LL);
}

} // namespace
