// The trimmers on the simulated stick: hold, toggle and centre buttons, the hat, and the axis rule.
#include "ffb/polling.h"
#include "ffb/trimmers.h"
#include "tests/support/kestra_fixture.h"

#include <climits>

namespace {

TEST(AxisToOffset, MapsTheAxisRangeOntoTheOffsetRange)
{
    const std::pair<LONG, std::int32_t> cases[] = {{0, -10000}, {1, -9999}, {32767, 0}, {32768, 0}, {65534, 9999},
        {65535, 10000}, {16384, -4999}, {-1, -10000}, {70000, 10000}, {LONG_MIN, -10000}};
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
        Settings.holdButton = 1, Settings.toggleButton = 2, Settings.centerButton = 3;
        Settings.povDeviceIndex = 1;
    }

    // One tick of the instant trimmer: the main loop's poll of the stick, then the step. "0100": button 2 (Hold) down.
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

    // The set forcesOn names, then each centre the springs took since the step began: "0 700,0"; one DirectInput
    // refused shows as "refused". Updating the springs plays that set.
    static std::string state()
    {
        std::string text = std::to_string(forcesOn);
        for (const SimCall& c : calls("SetParameters", simLabel(springEffect)))
            text += c.result == "0x00000000" || c.result == "0x00000003" ? " " + c["offset"] : " refused";
        return text;
    }
};

// Hold releases the forces while down and centres where the stick is let go; the toggle's first press releases, the
// next centres on the stick. A stick that cannot be read keeps the centre, but the first set plays again. Center brings
// the centre back within the tick, a third of it off per update until X is 0, then Y to 0, at every tick held and read.
TEST_F(TrimmerTest, HoldToggleAndCenterButtons)
{
    // Another program holds the stick at the twelfth poll, Hold's last re-centre, and the eighteenth, Center's last.
    open(stickAndPedals + "fail Poll DIERR_NOTACQUIRED call=12 device=0\nfail Poll DIERR_NOTACQUIRED call=18 device=0\n"
                          "fail Acquire DIERR_OTHERAPPHASPRIO call=2 count=2 device=0\n");
    const struct { const char* buttons; LONG x; const char* seen; } ticks[] = {  // the stick at (x, 0)
        {"01", 0, "0 0,0"},  // Hold down: the centre stays
        {"01", 0, "0"},      // held, nothing more happens
        {"00", 0, "1 -10000,-10000"},
        {"001", 0, "0 -10000,-10000"},  // the toggle's first press
        {"000", 0, "0"},                // letting it go changes nothing
        {"001", 32801, "1 10,-10000"},
        {"000", 0, "1"},  // nor does it after the second press
        {"01", 0, "0 10,-10000"},
        {"00", 0, "1 10,-10000"},  // the stick not read
        {"0001", 0, "1 6,-6666 4,-4444 2,-2962 1,-1974 0,-1316 0,0"},
        {"0001", 0, "1 0,0"},
        {"0001", 0, "1"},  // the stick not read
    };
    for (const auto& t : ticks) {
        nowMs += 1000;
        tick(t.buttons, t.x, 0);
        EXPECT_EQ(state(), t.seen) << t.buttons;
    }
}

// Indices out of range are never used. With all three on one button it acts as a toggle only: neither Hold nor Center
// acts, Center not even while the toggle has the forces released.
TEST_F(TrimmerTest, ButtonAssignmentsOutOfRangeOrOneButton)
{
    for (std::int32_t index : {-1, 32, 1000}) {
        Settings.holdButton = Settings.toggleButton = Settings.centerButton = index;
        // X at 1: the program keeps that read right after the button states, so a read past them sees a press.
        tick("01111111111111111111111111111111", 1);  // button 1, the one button below, stays up
        EXPECT_EQ(state(), "1") << index;
    }
    Settings.holdButton = Settings.toggleButton = Settings.centerButton = 0;
    trimX = 3000;
    tick("1");
    EXPECT_EQ(state(), "0 3000,0");
    tick("0", 0, 0);
    EXPECT_EQ(state(), "0");
}

// Each of eight exact angles moves the centre 125 within the offset range, up being -Y; any other angle moves nothing,
// but every poll that read updates the springs. Nothing updates while another program holds the hat device, and nothing
// is even polled while the forces are released or the hat device is not one.
TEST_F(TrimmerTest, HatMovesTheCentreOneStepPerTick)
{
    const struct { DWORD angle; const char* centre; std::int32_t x = 0, y = 0; } cases[] = {  // x, y: the centre before
        {0, "0,-125"},     {4500, "125,-125"},  {9000, "125,0"},    {13500, "125,125"}, {18000, "0,125"},
        {22500, "-125,125"}, {27000, "-125,0"}, {31500, "-125,-125"}, {0xFFFFFFFF, "0,0"}, {4000, "0,0"},
        {4500, "10000,-10000", 9950, -9900}};
    for (const auto& c : cases) {
        trimX = c.x;
        trimY = c.y;
        hatStep(c.angle);
        EXPECT_EQ(state(), std::string("1 ") + c.centre) << "hat at " << c.angle;
    }
    open(stickAndPedals + "fail Poll DIERR_NOTACQUIRED device=1\nfail Acquire DIERR_OTHERAPPHASPRIO device=1 call=2\n");
    hatStep(9000);
    EXPECT_EQ(state(), "1");

    for (const auto& [forces, device] : {std::pair<std::uint8_t, int>{0, 1}, {1, -1}, {1, 2}, {1, 32}}) {
        forcesOn = forces;
        Settings.povDeviceIndex = device;
        hatStep(9000);
        EXPECT_TRUE(calls().empty()) << "forcesOn " << int(forces) << ", hat device " << device;
    }
}

} // namespace
