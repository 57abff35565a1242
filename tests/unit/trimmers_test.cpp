// The trimmers on the simulated stick: hold, toggle and centre buttons, the
// hat, and the axis rule.
#include "ffb/polling.h"
#include "ffb/trimmers.h"
#include "tests/support/kestra_fixture.h"

#include <gmock/gmock.h>

#include <climits>

namespace {

TEST(AxisToOffset, MapsTheAxisRangeOntoTheOffsetRange)
{
    const std::pair<LONG, std::int32_t> cases[] = {
        {0, -10000},     {1, -9999},      {32767, 0},      {32768, 0},          {65534, 9999},
        {65535, 10000},  {16384, -4999},  {-1, -10000},    {70000, 10000},      {LONG_MIN, -10000}};
    for (const auto& [axis, offset] : cases)
        EXPECT_EQ(axisToOffset(axis), offset) << "axis value " << axis;
}

class TrimmerTest : public KestraFixture {
protected:
    void SetUp() override
    {
        KestraFixture::SetUp();
        open(stickAndPedals);
        Settings.swapAxes = 0;  // spring offsets then read as trimX, trimY
        Settings.holdButton = 1;
        Settings.toggleButton = 2;
        Settings.centerButton = 3;
        Settings.povDeviceIndex = 1;
    }

    // One tick of the instant trimmer: the main loop's poll of the stick,
    // then the step. "0100": button 2 (Hold) down.
    void tick(const std::string& buttons, LONG x = 32767, LONG y = 32767)
    {
        setInput(0, buttons, x, y);
        simClearJournal();
        ASSERT_EQ(pollDevice(DeviceList[0].device, &joyState), S_OK);
        stepInstantTrimmer();
    }

    // One progressive step with the pedals' hat at `angle`.
    void hatStep(DWORD angle)
    {
        setInput(1, "", 32767, 32767, angle);
        simClearJournal();
        stepProgressiveTrimmer();
    }

    // The springs' centres in this tick, in order; "" when they were not updated.
    static std::vector<std::string> centres()
    {
        std::vector<std::string> found;
        for (const SimCall& c : calls("SetParameters")) {
            if (labelOf(springEffect) == c.object)
                found.push_back(c["offset"]);
        }
        return found;
    }
    static std::string centre() { return centres().empty() ? "" : centres().back(); }

    // Which set this tick left playing: the last spring started.
    static std::string playing()
    {
        std::string set;
        for (const SimCall& c : calls("Start"))
            set = c.object == labelOf(springEffect) ? "first" : c.object == labelOf(springEffect2) ? "second" : set;
        return set;
    }
};

TEST_F(TrimmerTest, HoldReleasesTheForcesAndCentresWhereTheStickIsLetGo)
{
    tick("01");
    EXPECT_EQ(playing(), "second");
    EXPECT_EQ(centre(), "0,0") << "the centre stays while Hold is down";
    tick("01");
    EXPECT_EQ(centres().size(), 0u) << "held, nothing more happens";
    tick("00", 0, 0);
    EXPECT_EQ(playing(), "first");
    EXPECT_EQ(centre(), "-10000,-10000");
    tick("01");
    tick("00", 32768, 32768);
    EXPECT_EQ(centre(), "0,0");
}

TEST_F(TrimmerTest, TogglePressesReleaseThenCentreOnTheStick)
{
    tick("00");
    EXPECT_EQ(playing(), "") << "nothing before the first press";
    tick("001");
    EXPECT_EQ(playing(), "second");
    EXPECT_EQ(trimLatched, 0);
    tick("000");
    EXPECT_EQ(playing(), "") << "letting the button go changes nothing";
    nowMs += 1000;
    tick("001", 65535, 0);
    EXPECT_EQ(playing(), "first");
    EXPECT_EQ(centre(), "10000,-10000");
    EXPECT_EQ(trimLatched, 1);
}

// A stick that cannot be read at the re-centre keeps the centre where it was,
// but the first set plays again: the second must not go on behind forcesOn.
TEST_F(TrimmerTest, RecentreWithoutAReadStillPlaysTheFirstSet)
{
    // The third read of the stick is the re-centre's; its second Acquire too.
    for (const char* fault : {"fail GetDeviceState DIERR_UNPLUGGED call=3 device=0",
                              "fail Poll DIERR_NOTACQUIRED call=3 device=0\n"
                              "fail Acquire DIERR_OTHERAPPHASPRIO call=2 device=0"}) {
        SCOPED_TRACE(fault);
        open(stickAndPedals + fault + "\n");
        trimX = 700;
        tick("01");
        tick("00", 0, 0);  // the re-centre's own poll fails
        EXPECT_EQ(playing(), "first");
        EXPECT_EQ(centre(), "700,0");
    }
}

// From the limits the centre falls back by a third of itself per update
// within the tick; only X ends the loop and Y is zeroed after it.
TEST_F(TrimmerTest, CentreButtonBringsTheCentreBackWithinTheTick)
{
    trimX = 10000;
    trimY = -10000;
    tick("0001");
    const std::vector<std::string> path = centres();
    ASSERT_EQ(path.size(), 23u);
    const char* const expected[] = {"6666,-6666", "4444,-4444", "2962,-2962", "1974,-1974", "1316,-1316"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(path[i], expected[i]);
    EXPECT_EQ(path[21], "0,0");
    EXPECT_EQ(path[22], "0,0");

    trimY = 5000;
    tick("0001");
    EXPECT_EQ(centres(), std::vector<std::string>{"0,0"}) << "held: one update a tick";
    trimX = 4000;
    tick("0101");  // Hold down too: from the next tick Center does nothing
    tick("0101");
    EXPECT_EQ(centres().size(), 0u);
}

// With the default assignment, all three on one button, it acts as a toggle only.
TEST_F(TrimmerTest, OneButtonForAllThreeIsAToggle)
{
    Settings.holdButton = Settings.toggleButton = Settings.centerButton = 0;
    trimX = 3000;
    tick("1");
    EXPECT_EQ(playing(), "second");
    tick("0", 0, 0);
    EXPECT_EQ(trimX, 3000) << "neither Hold nor Center acted";
}

TEST_F(TrimmerTest, ButtonIndicesOutOfRangeAreNeverUsed)
{
    for (std::int32_t index : {-1, 32, 1000}) {
        Settings.holdButton = Settings.toggleButton = Settings.centerButton = index;
        tick("11111111111111111111111111111111");
        EXPECT_EQ(playing(), "") << index;
    }
}

// Each of eight exact angles moves the centre 125, up being -Y; any other
// angle moves nothing; the springs are updated at every poll that read.
TEST_F(TrimmerTest, HatMovesTheCentreOneStepPerTick)
{
    const struct {
        DWORD angle;
        const char* centre;
    } cases[] = {{0, "0,-125"},       {4500, "125,-125"}, {9000, "125,0"},   {13500, "125,125"},
                 {18000, "0,125"},    {22500, "-125,125"}, {27000, "-125,0"}, {31500, "-125,-125"},
                 {0xFFFFFFFF, "0,0"}, {4000, "0,0"},      {36000, "0,0"}};
    for (const auto& c : cases) {
        trimX = trimY = 0;
        hatStep(c.angle);
        EXPECT_EQ(centre(), c.centre) << "hat at " << c.angle;
    }
    trimX = 9950;
    trimY = -9900;
    hatStep(4500);
    hatStep(4500);
    EXPECT_EQ(centres(), std::vector<std::string>{"10000,-10000"}) << "held at the limits";
}

TEST_F(TrimmerTest, HatDoesNothingWhileReleasedOrUnread)
{
    forcesOn = 0;
    hatStep(9000);
    EXPECT_TRUE(calls().empty());
    forcesOn = 1;
    for (std::int32_t index : {-1, 2, 32}) {
        Settings.povDeviceIndex = index;
        hatStep(9000);
        EXPECT_TRUE(calls().empty()) << index;
    }
    // Another program holds the hat's device: its hat was not read.
    Settings.povDeviceIndex = 1;
    open(stickAndPedals + "fail Poll DIERR_NOTACQUIRED device=1\nfail Acquire DIERR_OTHERAPPHASPRIO device=1 call=2\n");
    joyState.rgdwPOV[0] = 9000;
    hatStep(9000);
    EXPECT_EQ(trimX, 0);
    EXPECT_EQ(centres().size(), 0u);
}

} // namespace
