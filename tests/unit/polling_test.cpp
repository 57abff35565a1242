// Reading a controller through the simulated stick: acquisition, the button
// machine and the toggle's timing.
#include "ffb/polling.h"
#include "tests/support/kestra_fixture.h"

#include <gmock/gmock.h>

namespace {

class PollingTest : public KestraFixture {
protected:
    void SetUp() override
    {
        KestraFixture::SetUp();
        open(stickAndPedals);
        Settings.toggleButton = 2;
    }

    static HRESULT poll(int device = 0) { return pollDevice(DeviceList[device].device, &joyState); }

    // Button 3, the toggle, pressed at `timeMs` and let go.
    void pressToggleAt(std::int64_t timeMs)
    {
        nowMs = timeMs;
        setInput(0, "001");
        poll();
        setInput(0, "000");
        poll();
    }

    static int count(const std::string& method) { return static_cast<int>(calls(method).size()); }
};

// A failed Poll makes the poll acquire the device; the result decides.
TEST_F(PollingTest, AcquireResultDecidesWhatAFailedPollDoes)
{
    const struct {
        const char* acquire;  // the results of the Acquire calls after the failed Poll
        HRESULT result;
        int acquires;
        bool reads;
    } cases[] = {
        {"DIERR_INVALIDPARAM count=1", E_FAIL, 1, false},
        {"DIERR_NOTINITIALIZED count=1", E_FAIL, 1, false},
        {"DIERR_OTHERAPPHASPRIO count=1", nothingRead, 1, false},
        {"DIERR_INPUTLOST count=2", S_OK, 3, true},                             // retried at once
        {"DIERR_INPUTLOST count=all", S_OK, 1 + lostInputRetryLimit, true},     // but not for ever
        {"DIERR_UNPLUGGED count=1", S_OK, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.acquire);
        // open() made the first Acquire call.
        open(stickAndPedals + "fail Poll DIERR_NOTACQUIRED\nfail Acquire " + c.acquire + " call=2 device=0\n");
        buttonState[5] = 1;
        EXPECT_EQ(poll(), c.result);
        EXPECT_EQ(count("Acquire"), c.acquires);
        EXPECT_EQ(count("GetDeviceState"), c.reads ? 1 : 0);
        EXPECT_EQ(buttonState[5], c.reads ? 2 : 1) << "nothing read, nothing changed";
    }
    EXPECT_EQ(pollDevice(nullptr, &joyState), nothingRead);
}

TEST_F(PollingTest, FailedReadReturnsItsResultAndChangesNoState)
{
    open(stickAndPedals + "fail GetDeviceState DIERR_UNPLUGGED\n");
    setInput(0, "111");
    buttonState[1] = 1;
    EXPECT_EQ(poll(), static_cast<HRESULT>(DIERR_UNPLUGGED));
    EXPECT_EQ(buttonState[0], 0);
    EXPECT_EQ(buttonState[1], 1);
    EXPECT_EQ(prevToggleRaw, 0);
}

// Every button but the toggle: 1 while down, 2 at the poll that sees it up,
// then 0; the toggle flips at each accepted press and never shows 2.
TEST_F(PollingTest, ButtonsAndToggleStates)
{
    const struct {
        const char* buttons;
        std::uint8_t first, toggle, last;  // states of buttons 1, 3 (the toggle) and 32
    } steps[] = {
        {"100", 1, 0, 0}, {"101", 1, 1, 0}, {"001", 2, 1, 0}, {"000", 0, 1, 0},
        {"00000000000000000000000000000001", 0, 1, 1}, {"", 0, 1, 2}, {"", 0, 1, 0},
    };
    for (const auto& s : steps) {
        setInput(0, s.buttons);
        ASSERT_EQ(poll(), S_OK);
        EXPECT_EQ(buttonState[0], s.first) << s.buttons;
        EXPECT_EQ(buttonState[2], s.toggle) << s.buttons;
        EXPECT_EQ(buttonState[31], s.last) << s.buttons;
    }
    EXPECT_EQ(joyState.rgbButtons[31], 0);
}

// A press counts more than 200 ms after the last accepted one; an ignored
// press does not restart the 200 ms; a clock set back ignores presses until
// it has passed the last accepted press by 200 ms.
TEST_F(PollingTest, TogglePressesCountMoreThan200msApart)
{
    const std::int64_t t0 = nowMs;
    const struct {
        std::int64_t at;
        std::uint8_t after;
    } presses[] = {{t0, 1}, {t0 + 150, 1}, {t0 + 200, 1}, {t0 + 201, 0}, {t0 - 100'000, 0},
                   {t0 + 400, 0}, {t0 + 402, 1}, {t0 + 603, 0}};
    for (const auto& p : presses) {
        pressToggleAt(p.at);
        EXPECT_EQ(buttonState[2], p.after) << "press at t0 + " << p.at - t0;
    }
    // Held down, it toggles once.
    nowMs += 1000;
    setInput(0, "001");
    for (int i = 0; i < 4; ++i, nowMs += 300)
        poll();
    EXPECT_EQ(buttonState[2], 1);
}

// Only the device whose buttons drive the trimmer (deviceIndex) moves the
// button machine; a poll of another gives its axes and hat alone.
TEST_F(PollingTest, OnlyTheButtonDeviceMovesTheButtonStates)
{
    setInput(0, "001001");  // the toggle and button 6 held on the stick
    setInput(1, "00001", 32767, 32767, 9000);
    poll();
    ASSERT_EQ(buttonState[2], 1);
    EXPECT_EQ(poll(1), S_OK);
    EXPECT_EQ(joyState.rgdwPOV[0], 9000u);
    EXPECT_EQ(buttonState[4], 0) << "a button of the pedals";
    EXPECT_EQ(buttonState[5], 1) << "still held on the stick";
    nowMs += 300;
    poll();
    EXPECT_EQ(buttonState[2], 1) << "the held toggle fires once";

    Settings.deviceIndex = 1;
    setInput(0, "");
    poll();
    EXPECT_EQ(buttonState[5], 1) << "the stick no longer drives the buttons";
}

TEST_F(PollingTest, ToggleIndexOutOfRangeIsNeverUsed)
{
    setInput(0, "11111111111111111111111111111111");
    for (std::int32_t index : {-1, 32, 1000}) {
        Settings.toggleButton = index;
        buttonState[31] = 0;
        EXPECT_EQ(poll(), S_OK);
        EXPECT_EQ(prevToggleRaw, 0) << index;
        EXPECT_EQ(buttonState[31], 1) << index << ": every button runs the up and down machine";
    }
}

} // namespace
