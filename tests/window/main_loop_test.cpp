// The idle tick, the hotkey and the way out, with the real window and a key
// pressed through the system's input.
#include "app/main_loop.h"
#include "tests/support/main_window_test.h"

#include <gmock/gmock.h>

#include <algorithm>

using ::testing::ElementsAre;

namespace {

// A key no other test presses, so parallel tests on the same desktop never
// see it down.
constexpr WORD hotkey = VK_F24;

void pressHotkey(bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = hotkey;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(input));
}

class MainLoopTest : public WindowWithDevicesTest {
protected:
    void TearDown() override
    {
        pressHotkey(false);
        WindowWithDevicesTest::TearDown();
    }

    // After the start-up tick, with the window showing what the file holds.
    void startUp()
    {
        runIdleTick();
        ASSERT_EQ(initPending, 0);
        journal.clear();
    }
};

TEST_F(MainLoopTest, FirstTickOpensTheDevicesAndWatchesNothingYet)
{
    Settings.reinitKey = hotkey;  // as if read from the file
    pressHotkey(true);
    ASSERT_TRUE(GetAsyncKeyState(hotkey) & 0x8000) << "the injected key is not seen as down";

    runIdleTick();
    EXPECT_EQ(initPending, 0);
    EXPECT_EQ(count("DirectInput8Create(0x800)"), 1);
    EXPECT_EQ(count("dinput.Release"), 0) << "the hotkey acted on the first tick";
    EXPECT_EQ(count("Stick.Poll"), 0);

    // From the second tick on, a held key restarts once per tick.
    journal.clear();
    runIdleTick();
    runIdleTick();
    EXPECT_EQ(count("dinput.Release"), 2);
    EXPECT_EQ(count("DirectInput8Create(0x800)"), 2);

    pressHotkey(false);
    journal.clear();
    runIdleTick();
    EXPECT_EQ(count("DirectInput8Create(0x800)"), 0);
}

TEST_F(MainLoopTest, HotkeyChosenInTheListIsWatchedFromTheNextTick)
{
    startUp();
    pressHotkey(true);
    runIdleTick();
    EXPECT_EQ(count("DirectInput8Create(0x800)"), 0) << "no hotkey chosen yet";

    keyCodeList.back() = hotkey;  // the list's last row stands for the test's key
    SendMessageW(reinitKeyCombo, CB_SETCURSEL, keyCodeList.size() - 1, 0);
    sendCommand(0, CBN_CLOSEUP, reinitKeyCombo);
    runIdleTick();
    EXPECT_EQ(count("DirectInput8Create(0x800)"), 1);
    // The restart read back the key the list shows.
    EXPECT_EQ(uiSettings.reinitKey, hotkey);
}

TEST_F(MainLoopTest, TickRunsInstantThenProgressiveThenHotkey)
{
    Settings.trimmerMode = TrimmerBoth;
    Settings.reinitKey = hotkey;
    startUp();
    ASSERT_EQ(progressiveTrimOn, 1);
    Settings.povDeviceIndex = 1;
    pressHotkey(true);

    runIdleTick();
    const std::ptrdiff_t instant = firstOf("Stick.Poll");
    const std::ptrdiff_t progressive = firstOf("Pedals.Poll");
    const std::ptrdiff_t restart = firstOf("dinput.Release");
    ASSERT_GE(instant, 0);
    ASSERT_GE(progressive, 0);
    ASSERT_GE(restart, 0);
    EXPECT_LT(instant, progressive);
    EXPECT_LT(progressive, restart);
}

TEST_F(MainLoopTest, FailedInstantPollSkipsOnlyTheInstantTrimmer)
{
    Settings.trimmerMode = TrimmerBoth;
    startUp();
    Settings.povDeviceIndex = 1;
    stick->getDeviceStateResult.otherwise = DIERR_INPUTLOST;
    stick->state.rgbButtons[0] = 0x80;  // the hold button, not seen
    pedals->state.rgdwPOV[0] = 0;       // hat forward

    runIdleTick();
    EXPECT_EQ(forcesOn, 1) << "the hold step ran on a failed poll";
    EXPECT_EQ(count("Pedals.Poll"), 1);
    EXPECT_NE(trimY, 0) << "the progressive step did not run";
}

TEST_F(MainLoopTest, NoTrimmerMeansNoPoll)
{
    Settings.trimmerMode = TrimmerNone;
    startUp();
    runIdleTick();
    EXPECT_EQ(count("Stick.Poll"), 0);
    EXPECT_EQ(count("Pedals.Poll"), 0);
}

TEST_F(MainLoopTest, ShutDownStopsTheSixEffectsThenReleasesAndSaves)
{
    startUp();
    Settings.springGain = 2200;
    shutDownDevices();

    std::vector<std::string> stops;
    for (const std::string& call : journal) {
        if (call.size() > 5 && call.compare(call.size() - 5, 5, ".Stop") == 0)
            stops.push_back(call);
    }
    EXPECT_THAT(stops, ElementsAre("spring.Stop", "damper.Stop", "friction.Stop", "spring2.Stop", "damper2.Stop",
                                   "friction2.Stop"));
    EXPECT_GT(firstOf("spring.Release"), firstOf("friction2.Stop"));
    EXPECT_EQ(directInput, nullptr);
    EXPECT_TRUE(heldFakes().empty());
    EXPECT_EQ(folder.read(L"opt.dat").at(24), 22);
}

TEST_F(MainLoopTest, LoopEndsOnTheQuitMessageWithItsCode)
{
    startUp();
    PostQuitMessage(7);
    EXPECT_EQ(runMainLoop(), 7);
    EXPECT_EQ(count("spring.Stop"), 1);
    EXPECT_EQ(directInput, nullptr);
    EXPECT_EQ(folder.read(L"opt.dat").size(), 56u);
}

TEST_F(MainLoopTest, ClosingTheWindowEndsTheLoopWithZero)
{
    startUp();
    PostMessageW(mainWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_FALSE(IsWindow(mainWindow));
    EXPECT_EQ(folder.read(L"opt.dat").size(), 56u);
}

} // namespace
