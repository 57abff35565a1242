// The idle tick, the hotkey and the way out, with the real window and a key
// pressed through the system's input.
#include "app/main_loop.h"
#include "tests/support/main_window_test.h"

#include <gmock/gmock.h>

#include <algorithm>

using ::testing::ElementsAre;

namespace {

// The key state is the desktop's, shared by every test process running in
// parallel on it, so each test that presses a key has one of its own. They are
// virtual-key codes no key on the X keyboard produces: whenever a Wine window
// gains the X focus (other tests open windows all the time), Wine sets the
// state of every key the X keyboard has to what the X server says, and the X
// server never saw a key pressed through SendInput.
constexpr WORD firstTickKey = 0x97;  // 0x97..0x9A are unassigned
constexpr WORD listKey = 0x98;
constexpr WORD orderKey = 0x99;

void pressKey(WORD key, bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(input));
}

class MainLoopTest : public WindowWithDevicesTest {
protected:
    void TearDown() override
    {
        if (pressed)
            pressKey(pressed, false);
        WindowWithDevicesTest::TearDown();
    }

    // Presses the test's own key and sees that the system took it.
    void pressHotkey(WORD key)
    {
        pressed = key;
        pressKey(key, true);
        ASSERT_TRUE(GetAsyncKeyState(key) & 0x8000) << "the injected key is not seen as down";
    }

    WORD pressed = 0;

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
    Settings.reinitKey = firstTickKey;  // as if read from the file
    ASSERT_NO_FATAL_FAILURE(pressHotkey(firstTickKey));

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

    pressKey(firstTickKey, false);
    journal.clear();
    runIdleTick();
    EXPECT_EQ(count("DirectInput8Create(0x800)"), 0);
}

TEST_F(MainLoopTest, HotkeyChosenInTheListIsWatchedFromTheNextTick)
{
    startUp();
    ASSERT_NO_FATAL_FAILURE(pressHotkey(listKey));
    runIdleTick();
    EXPECT_EQ(count("DirectInput8Create(0x800)"), 0) << "no hotkey chosen yet";

    keyCodeList.back() = listKey;  // the list's last row stands for the test's key
    SendMessageW(reinitKeyCombo, CB_SETCURSEL, keyCodeList.size() - 1, 0);
    sendCommand(0, CBN_CLOSEUP, reinitKeyCombo);
    runIdleTick();
    EXPECT_EQ(count("DirectInput8Create(0x800)"), 1);
    // The restart read back the key the list shows.
    EXPECT_EQ(uiSettings.reinitKey, listKey);
}

TEST_F(MainLoopTest, TickRunsInstantThenProgressiveThenHotkey)
{
    Settings.trimmerMode = TrimmerBoth;
    Settings.reinitKey = orderKey;
    startUp();
    ASSERT_EQ(progressiveTrimOn, 1);
    Settings.povDeviceIndex = 1;
    ASSERT_NO_FATAL_FAILURE(pressHotkey(orderKey));

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

TEST_F(MainLoopTest, InstantTrimmerActsOnlyOnWhatTheTicksPollRead)
{
    Settings.trimmerMode = TrimmerBoth;
    startUp();
    Settings.povDeviceIndex = 1;
    stick->getDeviceStateResult.next = {DIERR_INPUTLOST};
    stick->state.rgbButtons[0] = 0x80;  // the toggle, not seen
    pedals->state.rgdwPOV[0] = 0;       // hat forward

    runIdleTick();
    EXPECT_EQ(forcesOn, 1) << "the toggle step ran on a failed poll";
    EXPECT_EQ(count("Pedals.Poll"), 1);
    EXPECT_NE(trimY, 0) << "the progressive step did not run";

    // Another program holds the stick: the hold released at the last read is
    // not acted on again, with axes this tick never read.
    Settings.holdButton = 1;
    buttonState[1] = 2;
    joyState.lX = joyState.lY = 0;
    trimX = 0;
    stick->pollResult.otherwise = DIERR_NOTACQUIRED;
    stick->acquireResult.otherwise = DIERR_OTHERAPPHASPRIO;
    runIdleTick();
    EXPECT_EQ(trimX, 0);
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
