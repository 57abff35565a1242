// The state the program starts with, as every in-process test starts from it.
#include "ffb/clock.h"
#include "tests/support/kestra_fixture.h"
#include "tests/support/settings_bytes.h"

namespace {

using StartUpState = KestraFixture;

TEST_F(StartUpState, EverySettingAndFlagStartsAtItsDocumentedDefault)
{
    // The window's record holds the live settings, in percent, from the start: as a first save writes them.
    EXPECT_EQ(settingsFileOf(uiSettings), settingsFileWith());
    // The instantaneous trimmer alone; the forces on and the trim at the middle; the devices opened at the first tick.
    EXPECT_EQ(instantTrimOn, 1);
    EXPECT_EQ(progressiveTrimOn, 0);
    EXPECT_EQ(forcesOn, 1);
    EXPECT_EQ(trimLatched, 1);
    EXPECT_EQ(trimX, 0);
    EXPECT_EQ(trimY, 0);
    EXPECT_EQ(initPending, 1);
    EXPECT_EQ(deviceCount, 0);
    // The toggle's clock counts from the system's start and never goes back, whatever the system time is set to.
    const std::int64_t before = static_cast<std::int64_t>(GetTickCount64());
    const std::int64_t read = systemSteadyClockMs();
    EXPECT_GE(read, before);
    EXPECT_LE(read, static_cast<std::int64_t>(GetTickCount64()));
}

} // namespace
