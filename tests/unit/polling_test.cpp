// Reading a controller through the simulated stick: acquisition, the button machine and the toggle's timing.
#include "ffb/polling.h"
#include "tests/support/kestra_fixture.h"

namespace {

class PollingTest : public KestraFixture {
protected:
    void SetUp() override
    {
        KestraFixture::SetUp();
        open(stickAndPedals);
        Settings.toggleButton = 2;
    }

    // A read of the stick with these buttons down ("01": button 2).
    static HRESULT poll(const char* buttons)
    {
        setInput(0, buttons);
        return pollDevice(DeviceList[0].device, &joyState);
    }
};

// A failed Poll makes the poll acquire the device; the result decides. What is not read changes no button state.
TEST_F(PollingTest, AcquireResultDecidesWhatAFailedPollDoes)
{
    const struct { std::string faults; HRESULT result; std::size_t acquires; } cases[] = {
        {"Acquire DIERR_INVALIDPARAM call=2", E_FAIL, 1},
        {"Acquire DIERR_NOTINITIALIZED call=2", E_FAIL, 1},
        {"Acquire DIERR_OTHERAPPHASPRIO call=2", nothingRead, 1},
        {"Acquire DIERR_INPUTLOST call=2 count=2", S_OK, 3},                          // retried at once
        {"Acquire DIERR_INPUTLOST call=2 count=all", S_OK, 6},  // but six times at most
        {"Acquire DIERR_UNPLUGGED call=2", S_OK, 1},
        {"GetDeviceState DIERR_UNPLUGGED", static_cast<HRESULT>(DIERR_UNPLUGGED), 1},
    };
    for (const auto& c : cases) {
        open(oneStick + "fail Poll DIERR_NOTACQUIRED\nfail " + c.faults + "\n");  // open() made Acquire call 1
        buttonState[5] = 1;
        EXPECT_EQ(poll(""), c.result) << c.faults;
        EXPECT_EQ(calls("Acquire").size(), c.acquires) << c.faults;
        EXPECT_EQ(buttonState[5], c.result == S_OK ? 2 : 1) << c.faults;
    }
    EXPECT_EQ(pollDevice(nullptr, &joyState), nothingRead);
}

// Every button but the toggle: 1 while down (exactly 0x80), 2 at the poll that sees it up, then 0; the toggle flips at
// each accepted press and never shows 2. Only the device deviceIndex names drives the states. A toggle index out of
// range is never used: the toggle's button is then an ordinary one, and held down throughout, it does not count again
// once the index is back.
TEST_F(PollingTest, ButtonsAndToggleStates)
{
    // The states of buttons 1, 3 and 32.
    const struct { std::int32_t buttonDevice, toggle; const char* buttons; int states[3]; } steps[] = {
        {0, 2, "100", {1, 0, 0}}, {0, 2, "101", {1, 1, 0}}, {1, 2, "11111111111111111111111111111111", {1, 1, 0}},
        {0, 2, "001", {2, 1, 0}}, {0, 2, "000", {0, 1, 0}}, {0, 2, "00000000000000000000000000000001", {0, 1, 1}},
        {0, 2, "", {0, 1, 2}},    {0, 2, "", {0, 1, 0}},    {0, 2, "x0x", {0, 1, 0}},   {0, 2, "", {0, 1, 0}},
        {0, 2, "001", {0, 0, 0}}, {0, 32, "001", {0, 1, 0}}, {0, 2, "001", {0, 1, 0}}, {0, -1, "001", {0, 1, 0}},
        {0, 2, "001", {0, 1, 0}}, {0, 1000, "001", {0, 1, 0}}, {0, 2, "001", {0, 1, 0}}};
    for (const auto& s : steps) {
        Settings.deviceIndex = s.buttonDevice, Settings.toggleButton = s.toggle;
        nowMs += 1000;  // every toggle press may count
        ASSERT_EQ(poll(s.buttons), S_OK);
        EXPECT_EQ(buttonState[0], s.states[0]) << "button 1 after " << s.buttons << ", toggle index " << s.toggle;
        EXPECT_EQ(buttonState[2], s.states[1]) << "button 3 after " << s.buttons << ", toggle index " << s.toggle;
        EXPECT_EQ(buttonState[31], s.states[2]) << "button 32 after " << s.buttons << ", toggle index " << s.toggle;
    }
}

// The first press counts, at any time on the clock; a press counts more than 200 ms after the last accepted one; an
// ignored press does not restart the 200 ms. Held down over a second poll 300 ms later, a press counts once.
TEST_F(PollingTest, TogglePressesCountMoreThan200msApart)
{
    const std::int64_t t0 = nowMs;
    const std::pair<std::int64_t, std::uint8_t> presses[] = {
        {0, 1}, {150, 1}, {200, 1}, {201, 0}, {300, 0}, {402, 1}, {603, 0}};
    for (const auto& [at, after] : presses) {
        nowMs = t0 + at;
        poll("001");
        nowMs += 300;
        poll("001");
        poll("000");
        EXPECT_EQ(buttonState[2], after) << "press at t0 + " << at;
    }
}

} // namespace
