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
    const std::pair<LONG, std::int32_t> cases[] = {{0, -10000},    {1, -9999},    {32767, 0},    {32768, 0},
                                                   {65534, 9999},  {65535, 10000}, {16384, -4999}, {-1, -10000},
                                                   {70000, 10000}, {LONG_MIN, -10000}};
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

    // The spring's centres in this tick, in order.
    static std::vector<std::string> centres()
    {
        std::vector<std::string> found;
        for (const SimCall& c : calls("SetParameters", labelOf(springEffect)))
            found.push_back(c["offset"]);
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

// Hold releases the forces while down and centres where the stick is let go;
// the toggle's first press releases, the next centres on the stick.
TEST_F(TrimmerTest, HoldAndToggleReleaseThenCentreOnTheStick)
{
    tick("01");
    EXPECT_EQ(playing() + centre(), "second0,0") << "the centre stays while Hold is down";
    tick("01");
    EXPECT_EQ(playing() + centre(), "") << "held, nothing more happens";
    tick("00", 0, 0);
    EXPECT_EQ(playing() + centre(), "first-10000,-10000");

    tick("001");
    EXPECT_EQ(playing(), "second");
    EXPECT_EQ(trimLatched, 0);
    tick("000");
    EXPECT_EQ(playing(), "") << "letting the button go changes nothing";
    nowMs += 1000;
    tick("001", 65535, 0);
    EXPECT_EQ(playing() + centre(), "first10000,-10000");
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
        open(stickAndPedals + fault + "\n");
        trimX = 700;
        tick("01");
        tick("00", 0, 0);
        EXPECT_EQ(playing() + centre(), "first700,0") << fault;
    }
}

// From the limits the centre falls back by a third of itself per update
// within the tick; only X ends the loop and Y is zeroed after it. Held, it
// updates once a tick; not while the forces are released.
TEST_F(TrimmerTest, CentreButtonBringsTheCentreBackWithinTheTick)
{
    trimX = 10000;
    trimY = -10000;
    tick("0001");
    const std::vector<std::string> path = centres();
    ASSERT_EQ(path.size(), 23u);
    EXPECT_THAT(std::vector<std::string>(path.begin(), path.begin() + 3),
                ::testing::ElementsAre("6666,-6666", "4444,-4444", "2962,-2962"));
    EXPECT_EQ(path[21] + path[22], "0,00,0");

    trimY = 5000;
    tick("0001");
    EXPECT_EQ(centres(), std::vector<std::string>{"0,0"});
    trimX = 4000;
    tick("0101");  // Hold down too: from the next tick Center does nothing
    tick("0101");
    EXPECT_TRUE(centres().empty());
}

// With all three on one button it acts as a toggle only; indices out of
// range are never used.
TEST_F(TrimmerTest, ButtonAssignmentsOneButtonOrOutOfRange)
{
    Settings.holdButton = Settings.toggleButton = Settings.centerButton = 0;
    trimX = 3000;
    tick("1");
    EXPECT_EQ(playing(), "second");
    tick("0", 0, 0);
    EXPECT_EQ(trimX, 3000) << "neither Hold nor Center acted";
    for (std::int32_t index : {-1, 32, 1000}) {
        Settings.holdButton = Settings.toggleButton = Settings.centerButton = index;
        tick("11111111111111111111111111111111");
        EXPECT_EQ(playing(), "") << index;
    }
}

// Each of eight exact angles moves the centre 125, up being -Y; any other
// angle moves nothing; the springs are updated at every poll that read, and
// not at all while the forces are released, the hat device is not one, or
// another program holds it.
TEST_F(TrimmerTest, HatMovesTheCentreOneStepPerTick)
{
    const std::pair<DWORD, const char*> cases[] = {
        {0, "0,-125"},    {4500, "125,-125"}, {9000, "125,0"},   {13500, "125,125"},   {18000, "0,125"},
        {22500, "-125,125"}, {27000, "-125,0"}, {31500, "-125,-125"}, {0xFFFFFFFF, "0,0"}, {4000, "0,0"}};
    for (const auto& [angle, expected] : cases) {
        trimX = trimY = 0;
        hatStep(angle);
        EXPECT_EQ(centre(), expected) << "hat at " << angle;
    }
    trimX = 9950;
    trimY = -9900;
    hatStep(4500);
    hatStep(4500);
    EXPECT_EQ(centres(), std::vector<std::string>{"10000,-10000"}) << "held at the limits";

    forcesOn = 0;
    hatStep(9000);
    EXPECT_TRUE(calls().empty());
    forcesOn = 1;
    for (std::int32_t index : {-1, 2, 32}) {
        Settings.povDeviceIndex = index;
        hatStep(9000);
        EXPECT_TRUE(calls().empty()) << index;
    }
    Settings.povDeviceIndex = 1;
    open(stickAndPedals + "fail Poll DIERR_NOTACQUIRED device=1\nfail Acquire DIERR_OTHERAPPHASPRIO device=1 call=2\n");
    joyState.rgdwPOV[0] = 9000;
    trimX = 0;
    hatStep(9000);
    EXPECT_TRUE(centres().empty());
}

} // namespace
