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
};

// A failed Poll makes the poll acquire the device; the result decides.
TEST_F(PollingTest, AcquireResultDecidesWhatAFailedPollDoes)
{
    const struct {
        std::string acquire;  // the results of the Acquire calls after the failed Poll
        HRESULT result;
        std::size_t acquires;
    } cases[] = {
        {"DIERR_INVALIDPARAM count=1", E_FAIL, 1},
        {"DIERR_NOTINITIALIZED count=1", E_FAIL, 1},
        {"DIERR_OTHERAPPHASPRIO count=1", nothingRead, 1},
        {"DIERR_INPUTLOST count=2", S_OK, 3},  // retried at once
        {"DIERR_INPUTLOST count=all", S_OK, 1 + lostInputRetryLimit},  // but not for ever
        {"DIERR_UNPLUGGED count=1", S_OK, 1},
    };
    for (const auto& c : cases) {
        // open() made the stick's first Acquire call.
        open(stickAndPedals + "fail Poll DIERR_NOTACQUIRED\nfail Acquire " + c.acquire + " call=2 device=0\n");
        buttonState[5] = 1;
        EXPECT_EQ(poll(), c.result) << c.acquire;
        EXPECT_EQ(calls("Acquire").size(), c.acquires) << c.acquire;
        const bool read = c.result == S_OK;
        EXPECT_EQ(calls("GetDeviceState").size(), read ? 1u : 0u) << c.acquire;
        EXPECT_EQ(buttonState[5], read ? 2 : 1) << c.acquire << ": nothing read, nothing changed";
    }
    EXPECT_EQ(pollDevice(nullptr, &joyState), nothingRead);

    open(stickAndPedals + "fail GetDeviceState DIERR_UNPLUGGED\n");
    setInput(0, "111");
    EXPECT_EQ(poll(), static_cast<HRESULT>(DIERR_UNPLUGGED));
    EXPECT_EQ(buttonState[0] + prevToggleRaw, 0);
}

// Every button but the toggle: 1 while down (exactly 0x80), 2 at the poll
// that sees it up, then 0; the toggle flips at each accepted press and never
// shows 2. Out-of-range toggle indices are never used.
TEST_F(PollingTest, ButtonsAndToggleStates)
{
    const struct {
        const char* buttons;
        std::uint8_t first, toggle, last;  // states of buttons 1, 3 (the toggle) and 32
    } steps[] = {
        {"100", 1, 0, 0}, {"101", 1, 1, 0}, {"001", 2, 1, 0}, {"000", 0, 1, 0},
        {"00000000000000000000000000000001", 0, 1, 1}, {"", 0, 1, 2}, {"", 0, 1, 0}, {"x0x", 0, 1, 0},
    };
    for (const auto& s : steps) {
        setInput(0, s.buttons);
        ASSERT_EQ(poll(), S_OK);
        EXPECT_EQ(buttonState[0], s.first) << s.buttons;
        EXPECT_EQ(buttonState[2], s.toggle) << s.buttons;
        EXPECT_EQ(buttonState[31], s.last) << s.buttons;
    }
    setInput(0, "11111111111111111111111111111111");
    prevToggleRaw = 0;
    for (std::int32_t index : {-1, 32, 1000}) {
        Settings.toggleButton = index;
        buttonState[31] = 0;
        EXPECT_EQ(poll(), S_OK);
        EXPECT_EQ(prevToggleRaw, 0) << index;
        EXPECT_EQ(buttonState[31], 1) << index << ": every button runs the up and down machine";
    }
}

// A press counts more than 200 ms after the last accepted one; an ignored
// press does not restart the 200 ms; a clock set back ignores presses until
// it has passed the last accepted press by 200 ms. Held down, it counts once.
TEST_F(PollingTest, TogglePressesCountMoreThan200msApart)
{
    const std::int64_t t0 = nowMs;
    const std::pair<std::int64_t, std::uint8_t> presses[] = {
        {0, 1}, {150, 1}, {200, 1}, {201, 0}, {-100'000, 0}, {400, 0}, {402, 1}, {603, 0}};
    for (const auto& [at, after] : presses) {
        nowMs = t0 + at;
        setInput(0, "001");
        poll();
        setInput(0, "000");
        poll();
        EXPECT_EQ(buttonState[2], after) << "press at t0 + " << at;
    }
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

} // namespace
