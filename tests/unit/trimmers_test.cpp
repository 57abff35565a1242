// The trimmers: hold, toggle and centre buttons, the hat, and the axis rule.
#include "ffb/polling.h"
#include "ffb/trimmers.h"
#include "tests/support/kestra_test.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <climits>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

TEST(AxisToOffset, MapsTheAxisRangeOntoTheOffsetRange)
{
    const struct {
        LONG axis;
        std::int32_t offset;
    } cases[] = {
        {0, -10000}, {1, -9999}, {32767, 0}, {32768, 0}, {65534, 9999}, {65535, 10000}, {16384, -4999},
        // Beyond the axis range the result stays inside the offset range.
        {-1, -10000}, {70000, 10000}, {LONG_MIN, -10000}, {LONG_MAX, 10000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(axisToOffset(c.axis), c.offset) << "axis value " << c.axis;
}

class TrimmerTest : public KestraTest {
protected:
    void SetUp() override
    {
        KestraTest::SetUp();
        stick = installStick();
        installEffects();
        Settings.swapAxes = 0;  // spring offsets then read as trimX, trimY
        Settings.holdButton = 1;
        Settings.toggleButton = 2;
        Settings.centerButton = 3;
    }

    // One idle tick of the instant trimmer: the loop's poll, then the step.
    void tick()
    {
        ASSERT_EQ(pollDevice(stick, &joyState), 0);
        stepInstantTrimmer();
    }

    void setButton(int index, bool down) { stick->state.rgbButtons[index] = down ? 0x80 : 0x00; }

    int springUpdates() const { return static_cast<int>(fakeOf(springEffect)->parameters.size()); }

    std::pair<LONG, LONG> springCentre() const
    {
        const RecordedEffect& last = fakeOf(springEffect)->parameters.back();
        return {last.conditions.at(0).lOffset, last.conditions.at(1).lOffset};
    }

    bool secondSetPlays() const { return journal.back() == "friction2.Start(1,0)"; }
    bool firstSetPlays() const { return journal.back() == "friction.Start(1,0)"; }

    FakeDevice* stick = nullptr;
};

TEST_F(TrimmerTest, HoldReleasesForcesAndRecentresOnTheStickWhenLetGo)
{
    setButton(1, true);
    tick();
    EXPECT_EQ(forcesOn, 0);
    EXPECT_TRUE(secondSetPlays());

    stick->state.lX = 0;
    stick->state.lY = 0;
    setButton(1, false);
    tick();
    EXPECT_EQ(forcesOn, 1);
    EXPECT_EQ(trimX, -10000);
    EXPECT_EQ(trimY, -10000);
    EXPECT_EQ(springCentre(), std::make_pair(-10000L, -10000L));
    EXPECT_TRUE(firstSetPlays());
}

TEST_F(TrimmerTest, HoldReleasedWithStickInTheMiddleCentresTheSpring)
{
    for (LONG middle : {32767, 32768}) {
        trimX = 500;
        trimY = 500;
        stick->state.lX = middle;
        stick->state.lY = middle;
        setButton(1, true);
        tick();
        setButton(1, false);
        tick();
        EXPECT_EQ(trimX, 0) << middle;
        EXPECT_EQ(trimY, 0) << middle;
    }
}

TEST_F(TrimmerTest, HeldHoldButtonUpdatesOnlyOnce)
{
    setButton(1, true);
    tick();
    const int updates = springUpdates();
    tick();
    tick();
    EXPECT_EQ(springUpdates(), updates);
}

TEST_F(TrimmerTest, ToggleDoesNothingBeforeItsFirstPress)
{
    tick();
    EXPECT_EQ(forcesOn, 1);
    EXPECT_EQ(springUpdates(), 0);
}

TEST_F(TrimmerTest, TogglePressesReleaseThenRecentre)
{
    setButton(2, true);
    tick();
    EXPECT_EQ(forcesOn, 0);
    EXPECT_EQ(trimLatched, 0);
    EXPECT_TRUE(secondSetPlays());

    setButton(2, false);
    tick();
    EXPECT_EQ(forcesOn, 0) << "releasing the toggle button changes nothing";

    fakeNowMs += 1000;
    stick->state.lX = 65535;
    stick->state.lY = 0;
    setButton(2, true);
    tick();
    EXPECT_EQ(forcesOn, 1);
    EXPECT_EQ(trimLatched, 1);
    EXPECT_EQ(springCentre(), std::make_pair(10000L, -10000L));
    EXPECT_TRUE(firstSetPlays());
}

// A stick that cannot be read at the re-centre keeps the centre where it was,
// but the first set plays again: the second must not go on behind forcesOn.
TEST_F(TrimmerTest, RecentreThatCannotReadTheStickStillPlaysTheFirstSet)
{
    const struct {
        const char* name;
        void (*fail)(FakeDevice*);
    } cases[] = {
        {"read fails", [](FakeDevice* d) { d->getDeviceStateResult.next = {unpluggedError}; }},
        {"another program has the stick",
         [](FakeDevice* d) {
             d->pollResult.next = {DIERR_NOTACQUIRED};
             d->acquireResult.next = {DIERR_OTHERAPPHASPRIO};
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        buttonState[2] = 0;
        trimLatched = 0;
        forcesOn = 0;
        trimX = 700;
        stick->state.lX = 0;
        c.fail(stick);
        stepInstantTrimmer();
        EXPECT_EQ(forcesOn, 1);
        EXPECT_EQ(trimLatched, 1);
        EXPECT_EQ(trimX, 700);
        EXPECT_EQ(springCentre().first, 700);
        EXPECT_TRUE(firstSetPlays());
    }
}

TEST_F(TrimmerTest, CentreFromTheLimitsTakes22StepsAndOneMore)
{
    const std::vector<LONG> path = {6666, 4444, 2962, 1974, 1316, 877, 584, 389, 259, 172, 114,
                                    76,   50,   33,   22,   14,   9,   6,   4,   2,   1,   0, 0};
    for (int sign : {1, -1}) {
        SCOPED_TRACE(sign > 0 ? "from +10000" : "from -10000");
        fakeOf(springEffect)->parameters.clear();
        trimX = sign * 10000;
        trimY = -sign * 10000;
        buttonState[3] = 1;
        stepInstantTrimmer();

        std::vector<LONG> xs, ys;
        for (const RecordedEffect& r : fakeOf(springEffect)->parameters) {
            xs.push_back(r.conditions.at(0).lOffset);
            ys.push_back(r.conditions.at(1).lOffset);
        }
        std::vector<LONG> expected;
        for (LONG x : path)
            expected.push_back(sign * x);
        EXPECT_THAT(xs, ElementsAreArray(expected));
        EXPECT_EQ(ys.size(), 23u);
        EXPECT_EQ(ys.back(), 0);
        EXPECT_EQ(trimX, 0);
        EXPECT_EQ(trimY, 0);
    }
}

TEST_F(TrimmerTest, CentreWithXAlreadyZeroClearsYInOneUpdate)
{
    trimY = 5000;
    buttonState[3] = 1;
    stepInstantTrimmer();
    EXPECT_EQ(springUpdates(), 1);
    EXPECT_EQ(trimY, 0);
}

TEST_F(TrimmerTest, CentreHeldPollsAndUpdatesEveryTick)
{
    setButton(3, true);
    tick();
    tick();
    EXPECT_EQ(springUpdates(), 2);
    // Each tick: the loop's poll and the centre block's own.
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "stick.GetDeviceState(272)"), 4);
}

TEST_F(TrimmerTest, CentreDoesNothingWhileForcesAreReleasedOrThePollFails)
{
    trimX = 4000;
    buttonState[3] = 1;
    forcesOn = 0;
    stepInstantTrimmer();
    EXPECT_THAT(journal, IsEmpty());

    forcesOn = 1;
    stick->getDeviceStateResult.next = {unpluggedError};
    stepInstantTrimmer();
    stick->pollResult.next = {DIERR_NOTACQUIRED};
    stick->acquireResult.next = {DIERR_OTHERAPPHASPRIO};
    stepInstantTrimmer();
    EXPECT_EQ(trimX, 4000);
    EXPECT_EQ(springUpdates(), 0);
}

TEST_F(TrimmerTest, DefaultAssignmentActsAsAToggleOnly)
{
    Settings.holdButton = Settings.toggleButton = Settings.centerButton = 0;
    trimX = 3000;
    setButton(0, true);
    tick();
    EXPECT_EQ(forcesOn, 0);
    EXPECT_EQ(trimX, 3000) << "the centre block must not act";

    setButton(0, false);
    tick();
    EXPECT_EQ(forcesOn, 0) << "the hold block never sees a release";

    fakeNowMs += 500;
    stick->state.lX = 49151;
    stick->state.lY = 32767;
    setButton(0, true);
    tick();
    EXPECT_EQ(forcesOn, 1);
    EXPECT_EQ(trimLatched, 1);
    EXPECT_EQ(trimX, 4999);
    EXPECT_EQ(trimY, 0);
}

TEST_F(TrimmerTest, HoldReleasedWhileToggleEngagedReleasesAgainNextTick)
{
    setButton(2, true);
    tick();
    setButton(1, true);
    tick();
    setButton(1, false);
    tick();
    EXPECT_EQ(forcesOn, 1);
    EXPECT_TRUE(firstSetPlays());
    tick();
    EXPECT_EQ(forcesOn, 0) << "the toggle block sees the engaged toggle again after the re-centre";
    EXPECT_EQ(trimLatched, 0);
    EXPECT_TRUE(secondSetPlays());
}

TEST_F(TrimmerTest, OutOfRangeButtonIndicesAreNeverUsed)
{
    for (std::int32_t index : {-1, 32, 40000}) {
        SCOPED_TRACE(index);
        Settings.holdButton = Settings.toggleButton = Settings.centerButton = index;
        trimLatched = 0;
        forcesOn = 1;
        trimX = 1000;
        journal.clear();
        stepInstantTrimmer();
        EXPECT_THAT(journal, IsEmpty());
        EXPECT_EQ(forcesOn, 1);
        EXPECT_EQ(trimX, 1000);
    }
}

class ProgressiveTest : public TrimmerTest {
protected:
    void SetUp() override
    {
        TrimmerTest::SetUp();
        hat = addDevice("hat");
        Settings.povDeviceIndex = 1;
    }

    void stepWithHat(DWORD angle)
    {
        hat->state.rgdwPOV[0] = angle;
        stepProgressiveTrimmer();
    }

    FakeDevice* hat = nullptr;
};

TEST_F(ProgressiveTest, EachOfTheEightAnglesMovesOneStep)
{
    const struct {
        DWORD angle;
        std::int32_t x, y;
    } cases[] = {
        {0, 0, -125},        {4500, 125, -125}, {9000, 125, 0},    {13500, 125, 125},
        {18000, 0, 125},     {22500, -125, 125}, {27000, -125, 0}, {31500, -125, -125},
        // Anything else moves nothing: centred, in between, out of range.
        {0xFFFFFFFF, 0, 0},  {4000, 0, 0},       {100, 0, 0},      {36000, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "hat at " << c.angle);
        trimX = trimY = 0;
        fakeOf(springEffect)->parameters.clear();
        stepWithHat(c.angle);
        EXPECT_EQ(trimX, c.x);
        EXPECT_EQ(trimY, c.y);
        EXPECT_EQ(springUpdates(), 1) << "the spring is refreshed whether the hat moved or not";
    }
}

TEST_F(ProgressiveTest, StepsStopAtTheLimits)
{
    trimX = 9950;
    trimY = -9900;
    stepWithHat(4500);
    EXPECT_EQ(trimX, 10000);
    EXPECT_EQ(trimY, -10000);
    stepWithHat(4500);
    EXPECT_EQ(trimX, 10000);
    EXPECT_EQ(trimY, -10000);
    EXPECT_EQ(springUpdates(), 2);
    EXPECT_EQ(springCentre(), std::make_pair(10000L, -10000L));
}

TEST_F(ProgressiveTest, MiddleToLimitTakes80Steps)
{
    for (int i = 0; i < 79; ++i)
        stepWithHat(9000);
    EXPECT_EQ(trimX, 9875);
    stepWithHat(9000);
    EXPECT_EQ(trimX, 10000);
}

TEST_F(ProgressiveTest, ReadsTheChosenDevice)
{
    stick->state.rgdwPOV[0] = 9000;
    stepWithHat(27000);
    EXPECT_EQ(trimX, -125);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "hat.GetDeviceState(272)"), 1);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "stick.GetDeviceState(272)"), 0);
}

TEST_F(ProgressiveTest, DoesNothingWhileForcesAreReleased)
{
    forcesOn = 0;
    stepWithHat(9000);
    EXPECT_THAT(journal, IsEmpty());
    EXPECT_EQ(trimX, 0);
}

// No step on a hat angle this poll did not read: not after a failed read,
// nor while another program holds the hat device (the angle left in joyState
// is an old one, or another device's).
TEST_F(ProgressiveTest, NoStepWithoutARead)
{
    hat->getDeviceStateResult.next = {unpluggedError};
    stepWithHat(9000);
    joyState.rgdwPOV[0] = 9000;
    hat->pollResult.next = {DIERR_NOTACQUIRED};
    hat->acquireResult.next = {DIERR_OTHERAPPHASPRIO};
    stepProgressiveTrimmer();
    EXPECT_EQ(trimX, 0);
    EXPECT_EQ(springUpdates(), 0);
}

TEST_F(ProgressiveTest, OutOfRangeDeviceIndexIsNeverUsed)
{
    for (std::int32_t index : {-1, 2, 32, 99}) {
        SCOPED_TRACE(index);
        Settings.povDeviceIndex = index;
        journal.clear();
        stepWithHat(9000);
        EXPECT_THAT(journal, IsEmpty());
        EXPECT_EQ(trimX, 0);
    }
}

} // namespace
