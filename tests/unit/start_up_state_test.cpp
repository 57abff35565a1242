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
    const long long flags[] = {instantTrimOn, progressiveTrimOn, initPending, forcesOn, trimLatched,
                               trimX, trimY, ffAxisCount, deviceCount}, expected[] = {1, 0, 1, 1, 1, 0, 0, 0, 0};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(flags[i], expected[i]) << "flag " << i;
    // The toggle's clock counts from the system's start and never goes back, whatever the system time is set to.
    const std::int64_t before = static_cast<std::int64_t>(GetTickCount64());
    const std::int64_t read = systemSteadyClockMs();
    EXPECT_GE(read, before);
    EXPECT_LE(read, static_cast<std::int64_t>(GetTickCount64()));
}

} // namespace
