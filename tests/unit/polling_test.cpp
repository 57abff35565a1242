// Reading a controller: acquisition, the button machine and the toggle timing.
#include "ffb/clock.h"
#include "ffb/polling.h"
#include "tests/support/kestra_test.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class PollingTest : public KestraTest {
protected:
    void SetUp() override
    {
        KestraTest::SetUp();
        pad = addDevice("pad");
    }

    // Sets button `index` to `byte` and polls the pad.
    HRESULT pollWithButton(int index, BYTE byte)
    {
        pad->state.rgbButtons[index] = byte;
        return pollDevice(pad, &joyState);
    }

    int count(const std::string& call) const
    {
        return static_cast<int>(std::count(journal.begin(), journal.end(), call));
    }

    FakeDevice* pad = nullptr;
};

TEST_F(PollingTest, NullDeviceReadsNothingAndChangesNothing)
{
    buttonState[3] = 1;
    EXPECT_EQ(pollDevice(nullptr, &joyState), nothingRead);
    EXPECT_EQ(buttonState[3], 1);
    EXPECT_EQ(lastTogglePressMs, 2147483647);
    EXPECT_THAT(journal, IsEmpty());
}

TEST_F(PollingTest, SuccessfulPollReadsTheFullStateWithoutAcquiring)
{
    pad->state.lX = 123;
    pad->state.rgdwPOV[0] = 9000;
    EXPECT_EQ(pollDevice(pad, &joyState), 0);
    EXPECT_THAT(journal, ElementsAre("pad.Poll", "pad.GetDeviceState(272)"));
    EXPECT_EQ(joyState.lX, 123);
    EXPECT_EQ(joyState.rgdwPOV[0], 9000u);
}

TEST_F(PollingTest, AcquireResultDecidesWhatAFailedPollDoes)
{
    const struct {
        HRESULT acquire;
        HRESULT expected;
        bool reads;
        const char* name;
    } cases[] = {
        {DIERR_INVALIDPARAM, E_FAIL, false, "invalid parameter"},
        {DIERR_NOTINITIALIZED, E_FAIL, false, "not initialised"},
        {DIERR_OTHERAPPHASPRIO, nothingRead, false, "another program has priority"},
        {DI_OK, 0, true, "acquired"},
        {S_FALSE, 0, true, "already acquired"},
        {unpluggedError, 0, true, "any other failure"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        journal.clear();
        buttonState[5] = 1;
        pad->state.rgbButtons[5] = 0;
        pad->pollResult.next = {DIERR_NOTACQUIRED};
        pad->acquireResult.next = {c.acquire};

        EXPECT_EQ(pollDevice(pad, &joyState), c.expected);
        EXPECT_EQ(count("pad.Acquire"), 1);
        EXPECT_EQ(count("pad.GetDeviceState(272)"), c.reads ? 1 : 0);
        // Without a read the button states are left as they were.
        EXPECT_EQ(buttonState[5], c.reads ? 2 : 1);
    }
}

TEST_F(PollingTest, LostInputIsRetriedAtOnceUntilItClears)
{
    pad->pollResult.next = {DIERR_INPUTLOST};
    pad->acquireResult.next = {DIERR_INPUTLOST, DIERR_INPUTLOST, DI_OK};
    EXPECT_EQ(pollDevice(pad, &joyState), 0);
    EXPECT_THAT(journal, ElementsAre("pad.Poll", "pad.Acquire", "pad.Acquire", "pad.Acquire",
                                     "pad.GetDeviceState(272)"));
}

TEST_F(PollingTest, LostInputRetriesAreBoundedAndTheReadGoesOn)
{
    pad->pollResult.otherwise = DIERR_INPUTLOST;
    pad->acquireResult.otherwise = DIERR_INPUTLOST;
    EXPECT_EQ(pollDevice(pad, &joyState), 0);
    EXPECT_EQ(count("pad.Acquire"), 1 + lostInputRetryLimit);
    EXPECT_LE(lostInputRetryLimit, 10);
    EXPECT_EQ(journal.back(), "pad.GetDeviceState(272)");
}

TEST_F(PollingTest, FailedReadReturnsItsCodeAndKeepsButtonAndToggleState)
{
    buttonState[1] = 1;
    pad->state.rgbButtons[0] = 0x80;  // the toggle, pressed
    pad->getDeviceStateResult.next = {unpluggedError};
    EXPECT_EQ(pollDevice(pad, &joyState), unpluggedError);
    EXPECT_EQ(buttonState[0], 0);
    EXPECT_EQ(buttonState[1], 1);
    EXPECT_EQ(prevToggleRaw, 0);
    EXPECT_EQ(lastTogglePressMs, 2147483647);
}

TEST_F(PollingTest, ButtonStateMachine)
{
    Settings.toggleButton = 31;
    const struct {
        std::uint8_t before;
        BYTE byte;
        std::uint8_t after;
    } cases[] = {
        {0, 0x80, 1}, {0, 0x00, 0}, {1, 0x80, 1}, {1, 0x00, 2}, {2, 0x80, 1}, {2, 0x00, 0},
        // Only 0x80 exactly counts as pressed.
        {1, 0x81, 2}, {1, 0xFF, 2}, {1, 0x7F, 2}, {0, 0x81, 0}, {0, 0xFF, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << int(c.before) << ", byte 0x" << std::hex << int(c.byte));
        buttonState[7] = c.before;
        EXPECT_EQ(pollWithButton(7, c.byte), 0);
        EXPECT_EQ(buttonState[7], c.after);
    }
}

TEST_F(PollingTest, ReleaseShowsForOnePollOnly)
{
    pollWithButton(4, 0x80);
    pollWithButton(4, 0x00);
    EXPECT_EQ(buttonState[4], 2);
    pollDevice(pad, &joyState);
    EXPECT_EQ(buttonState[4], 0);
}

TEST_F(PollingTest, AllThirtyTwoButtonsAreTracked)
{
    Settings.toggleButton = 5;
    std::memset(pad->state.rgbButtons, 0x80, sizeof pad->state.rgbButtons);
    pollDevice(pad, &joyState);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(buttonState[i], 1) << "button " << i;
}

class ToggleTest : public PollingTest {
protected:
    void SetUp() override
    {
        PollingTest::SetUp();
        Settings.toggleButton = 2;
    }

    // One press of the toggle at `timeMs`: down, then up.
    void pressToggleAt(std::int64_t timeMs)
    {
        fakeNowMs = timeMs;
        pollWithButton(2, 0x80);
        pollWithButton(2, 0x00);
    }

    std::uint8_t toggle() const { return buttonState[2]; }

    // A time a real clock could read: 2027.
    static constexpr std::int64_t t0 = 1'800'000'000'000LL;
};

TEST_F(ToggleTest, FirstPressAfterStartIsAccepted)
{
    pressToggleAt(fakeNowMs);
    EXPECT_EQ(toggle(), 1);
    EXPECT_EQ(lastTogglePressMs, fakeNowMs);
}

TEST_F(ToggleTest, HoldingTogglesOnceAndNeverShowsRelease)
{
    fakeNowMs = t0 + 10'000;
    for (int tick = 0; tick < 10; ++tick) {
        pollWithButton(2, 0x80);
        fakeNowMs += 300;
    }
    EXPECT_EQ(toggle(), 1);
    pollWithButton(2, 0x00);
    EXPECT_EQ(toggle(), 1);
}

TEST_F(ToggleTest, PressesAreAcceptedOnlyMoreThan200msApart)
{
    const struct {
        std::int64_t gap;
        std::uint8_t after;
    } cases[] = {{150, 1}, {200, 1}, {201, 0}, {250, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.gap << " ms between presses");
        restoreDefaultState();
        pad = addDevice("pad");
        Settings.toggleButton = 2;
        pressToggleAt(t0);
        pressToggleAt(t0 + c.gap);
        EXPECT_EQ(toggle(), c.after);
    }
}

TEST_F(ToggleTest, IgnoredPressDoesNotRestartTheInterval)
{
    pressToggleAt(t0);        // accepted: on
    pressToggleAt(t0 + 150);  // ignored
    EXPECT_EQ(lastTogglePressMs, t0);
    pressToggleAt(t0 + 250);  // 250 ms after the accepted press: off
    EXPECT_EQ(toggle(), 0);
    EXPECT_EQ(lastTogglePressMs, t0 + 250);
}

TEST_F(ToggleTest, ClockSetBackIgnoresPressesUntilItPassesTheLastPress)
{
    pressToggleAt(t0);
    pressToggleAt(t0 - 100'000);
    pressToggleAt(t0 + 150);
    EXPECT_EQ(toggle(), 1);
    pressToggleAt(t0 + 201);
    EXPECT_EQ(toggle(), 0);
}

TEST_F(ToggleTest, StoresTheClockReadAfterTheDecision)
{
    // A clock that moves on between its two reads in one poll.
    static std::int64_t ticking;
    ticking = t0;
    wallClockMs = [] { return ticking++; };
    pollWithButton(2, 0x80);
    EXPECT_EQ(lastTogglePressMs, t0 + 1);
}

TEST_F(ToggleTest, OnlyExactlyPressedByteAfterZeroIsANewPress)
{
    pollWithButton(2, 0x81);
    EXPECT_EQ(toggle(), 0);
    EXPECT_EQ(prevToggleRaw, 0x81);
    // The previous byte was not 0, so this is no new press either.
    pollWithButton(2, 0x80);
    EXPECT_EQ(toggle(), 0);
    pollWithButton(2, 0x00);
    pollWithButton(2, 0x80);
    EXPECT_EQ(toggle(), 1);
}

TEST_F(ToggleTest, StaleReleasedStateStaysUntilTheNextAcceptedPress)
{
    buttonState[2] = 2;
    pollWithButton(2, 0x00);
    EXPECT_EQ(toggle(), 2);
    pollWithButton(2, 0x80);
    EXPECT_EQ(toggle(), 1);
}

TEST_F(ToggleTest, OutOfRangeToggleIndexIsNeverUsed)
{
    for (std::int32_t index : {-1, 32, 1000}) {
        SCOPED_TRACE(index);
        restoreDefaultState();
        pad = addDevice("pad");
        Settings.toggleButton = index;
        std::memset(pad->state.rgbButtons, 0x80, sizeof pad->state.rgbButtons);
        EXPECT_EQ(pollDevice(pad, &joyState), 0);
        EXPECT_EQ(prevToggleRaw, 0);
        EXPECT_EQ(lastTogglePressMs, 2147483647);
        // With no valid toggle every button runs the up/down machine.
        for (int i = 0; i < 32; ++i)
            EXPECT_EQ(buttonState[i], 1) << "button " << i;
    }
}

// Polls of another device (the hat's, or the stick's for a re-centre) give its
// axes and hat but leave the button machine to the device at deviceIndex.
TEST_F(ToggleTest, OnlyTheButtonDeviceMovesTheButtonStates)
{
    FakeDevice* other = addDevice("other");
    other->state.rgdwPOV[0] = 9000;
    other->state.rgbButtons[5] = 0x80;
    pad->state.rgbButtons[6] = 0x80;
    pad->state.rgbButtons[2] = 0x80;  // the toggle, held
    fakeNowMs = t0;
    pollDevice(pad, &joyState);
    ASSERT_EQ(toggle(), 1);

    EXPECT_EQ(pollDevice(other, &joyState), S_OK);
    EXPECT_EQ(joyState.rgdwPOV[0], 9000u);
    EXPECT_EQ(buttonState[5], 0) << "another device's button";
    EXPECT_EQ(buttonState[6], 1) << "still held on the pad";
    fakeNowMs += 300;
    pollDevice(pad, &joyState);
    EXPECT_EQ(toggle(), 1) << "the held toggle fires once";

    Settings.deviceIndex = 1;
    pad->state.rgbButtons[6] = 0;
    pollDevice(pad, &joyState);
    EXPECT_EQ(buttonState[6], 1) << "the pad no longer drives the buttons";
}

} // namespace
