// Opening the controllers and showing the settings at start-up and at each
// restart; the idle tick, the restart hotkey and the way out.
#include "app/apply_restart.h"
#include "app/main_loop.h"
#include "ffb/discovery.h"
#include "settings/key_names.h"
#include "settings/settings_file.h"
#include "tests/support/window_fixture.h"
#include "ui/resource.h"

#include <gmock/gmock.h>

#include <commctrl.h>

using ::testing::ElementsAre;

namespace {

// The key state is the desktop's, shared by the test processes running in
// parallel on it, so each test that presses a key has one of its own. They
// are unassigned virtual-key codes that no X key produces: whenever a Wine
// window gains the X focus, Wine sets every key the X keyboard has to the X
// server's state, and the X server never saw a key pressed through SendInput.
// The end-to-end tests press none.
constexpr WORD firstTickKey = 0x97, listKey = 0x98, orderKey = 0x99;

void pressKey(WORD key, bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(input));
}

class RestartTest : public WindowFixture {
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        simReset(stickAndPedals);
    }

    void TearDown() override
    {
        if (pressed)
            pressKey(pressed, false);
        WindowFixture::TearDown();
    }

    void store(SettingsRecord record) const { folder.write(L"opt.dat", settingsFileOf(record)); }
    static SettingsRecord defaults()
    {
        SettingsRecord record;
        captureSettingsRecord(record);
        return record;
    }

    // Presses the test's own key and sees that the system took it.
    void pressHotkey(WORD key)
    {
        pressed = key;
        pressKey(key, true);
        ASSERT_TRUE(GetAsyncKeyState(key) & 0x8000) << "the injected key is not seen as down";
    }

    // Where a call first stands in the journal ("dev0 Acquire", "eff5 Start
    // ok"), or -1.
    static std::ptrdiff_t firstOf(const std::string& what)
    {
        const std::vector<SimCall> all = calls();
        for (std::size_t i = 0; i < all.size(); ++i) {
            const std::string call = all[i].object + " " + all[i].method;
            if (call == what || call + (all[i].result == "0x00000000" ? " ok" : "") == what)
                return static_cast<std::ptrdiff_t>(i);
        }
        return -1;
    }
    static int count(const std::string& method) { return static_cast<int>(calls(method).size()); }

    static std::vector<std::wstring> edits()
    {
        std::vector<std::wstring> texts;
        for (HWND edit : {springEdit, damperEdit, frictionEdit, springEdit2, damperEdit2, frictionEdit2})
            texts.push_back(textOf(edit));
        return texts;
    }

    WORD pressed = 0;
};

TEST_F(RestartTest, StartUpShowsTheDefaultsAndListsEveryKey)
{
    applyAndRestart(true);
    EXPECT_EQ(entryCount(deviceCombo), 2);
    EXPECT_EQ(entryCount(povDeviceCombo), 2);
    for (HWND list : {deviceCombo, povDeviceCombo, holdCombo, toggleCombo, centerCombo})
        EXPECT_EQ(selectionOf(list), 0);
    EXPECT_THAT(edits(), ElementsAre(L"50", L"0", L"0", L"0", L"50", L"0"));
    EXPECT_EQ(SendMessageW(damperSlider2, TBM_GETPOS, 0, 0), 50);
    EXPECT_TRUE(isChecked(swapAxesCheck));
    EXPECT_TRUE(menuChecked(IDM_INSTANT_TRIMMER));
    ASSERT_EQ(entryCount(reinitKeyCombo), 99);
    ASSERT_EQ(keyCodeList.size(), 99u);
    EXPECT_EQ(keyCodeList[98], 163);
    EXPECT_EQ(selectionOf(reinitKeyCombo), CB_ERR) << "code 0 names no key";
}

TEST_F(RestartTest, StoredSettingsReachTheWindow)
{
    SettingsRecord stored = defaults();
    stored.deviceIndex = 1;
    stored.holdButton = 3;
    stored.centerButton = 31;
    stored.springGain = 30;
    stored.frictionGain2 = 100;
    stored.reinitKey = 'Z';
    stored.swapAxes = 0;
    stored.trimmerMode = TrimmerProgressive;
    store(stored);
    applyAndRestart(true);
    EXPECT_EQ(selectionOf(deviceCombo), 1);
    EXPECT_EQ(selectionOf(holdCombo), 3);
    EXPECT_EQ(selectionOf(centerCombo), 31);
    EXPECT_THAT(edits(), ElementsAre(L"30", L"0", L"0", L"0", L"50", L"100"));
    EXPECT_EQ(SendMessageW(frictionSlider2, TBM_GETPOS, 0, 0), 100);
    EXPECT_FALSE(isChecked(swapAxesCheck));
    EXPECT_TRUE(menuChecked(IDM_PROGRESSIVE_TRIMMER));
    EXPECT_FALSE(menuChecked(IDM_INSTANT_TRIMMER));
    EXPECT_EQ(progressiveTrimOn, 1);
    EXPECT_EQ(instantTrimOn, 0);
    EXPECT_EQ(selectionOf(reinitKeyCombo), findKeyNameRow('Z'));

    // A mode outside the menu leaves the flags and the menu as they were; a
    // key the table lacks selects no row but is kept.
    stored.reinitKey = 0xE8;
    stored.trimmerMode = 7;
    store(stored);
    releaseDirectInput();
    keyCodeList.clear();
    applyAndRestart(true);
    EXPECT_EQ(selectionOf(reinitKeyCombo), CB_ERR);
    EXPECT_EQ(uiSettings.reinitKey, 0xE8);
    EXPECT_TRUE(menuChecked(IDM_PROGRESSIVE_TRIMMER));
    EXPECT_EQ(progressiveTrimOn, 1);
}

// The first set can start only on an acquired device: the restart starts it
// once the devices are, also when a trimmer had the forces released.
TEST_F(RestartTest, FirstSetStartsOnceTheDevicesAreAcquired)
{
    for (bool startUp : {true, false}) {
        forcesOn = startUp ? 1 : 0;
        simClearJournal();
        applyAndRestart(startUp);
        const std::ptrdiff_t acquired = std::max(firstOf("dev0 Acquire"), firstOf("dev1 Acquire"));
        ASSERT_GE(firstOf("dev1 Acquire"), 0);
        for (IDirectInputEffect* effect : {springEffect, damperEffect, frictionEffect})
            EXPECT_GT(firstOf(labelOf(effect) + " Start ok"), acquired) << labelOf(effect);
        EXPECT_EQ(firstOf(labelOf(springEffect2) + " Start"), -1);
    }
}

// A restart writes the settings, releases everything, and reads them back.
TEST_F(RestartTest, RestartPassesTheSettingsThroughTheFile)
{
    simReset(stickAndPedals + "vanish 1 discovery=2\n");
    SettingsRecord stored = defaults();
    stored.deviceIndex = 1;
    store(stored);
    applyAndRestart(true);
    moveSlider(springSlider, 40);
    simClearJournal();
    applyAndRestart(false);
    EXPECT_EQ(folder.read(L"opt.dat").at(24), 40);
    EXPECT_EQ(textOf(springEdit), L"40");
    EXPECT_LT(firstOf("dev0 Release"), firstOf("dinput DirectInput8Create"));
    // The pedals are gone: the stick list has no row for the stored index.
    EXPECT_EQ(entryCount(deviceCombo), 1);
    EXPECT_EQ(selectionOf(deviceCombo), CB_ERR);
    EXPECT_EQ(entryCount(reinitKeyCombo), 99) << "the hotkey list is filled once";
}

TEST_F(RestartTest, FirstTickOpensTheDevicesAndAHeldKeyRestartsEveryTickAfter)
{
    Settings.reinitKey = firstTickKey;  // as if read from the file
    ASSERT_NO_FATAL_FAILURE(pressHotkey(firstTickKey));
    runIdleTick();
    EXPECT_EQ(initPending, 0);
    EXPECT_EQ(count("DirectInput8Create"), 1);
    EXPECT_EQ(count("Poll"), 0) << "the first tick opens the devices and does nothing else";
    simClearJournal();
    runIdleTick();
    runIdleTick();
    EXPECT_EQ(count("DirectInput8Create"), 2);
    pressKey(firstTickKey, false);
    simClearJournal();
    runIdleTick();
    EXPECT_EQ(count("DirectInput8Create"), 0);
}

TEST_F(RestartTest, HotkeyChosenInTheListIsWatchedFromTheNextTick)
{
    runIdleTick();
    ASSERT_NO_FATAL_FAILURE(pressHotkey(listKey));
    simClearJournal();
    runIdleTick();
    EXPECT_EQ(count("DirectInput8Create"), 0) << "no hotkey chosen yet";
    keyCodeList.back() = listKey;  // the list's last row stands for the test's key
    SendMessageW(reinitKeyCombo, CB_SETCURSEL, keyCodeList.size() - 1, 0);
    sendCommand(0, CBN_CLOSEUP, reinitKeyCombo);
    runIdleTick();
    EXPECT_EQ(count("DirectInput8Create"), 1);
    EXPECT_EQ(uiSettings.reinitKey, listKey) << "the restart read back the key the list shows";
}

// Each tick: the instant trimmer on what the button device's poll read, then
// the hat, then the hotkey.
TEST_F(RestartTest, TickRunsInstantThenProgressiveThenHotkey)
{
    Settings.trimmerMode = TrimmerBoth;
    Settings.reinitKey = orderKey;
    runIdleTick();
    Settings.povDeviceIndex = 1;
    ASSERT_NO_FATAL_FAILURE(pressHotkey(orderKey));
    simClearJournal();
    runIdleTick();
    EXPECT_LT(firstOf("dev0 Poll"), firstOf("dev1 Poll"));
    EXPECT_LT(firstOf("dev1 Poll"), firstOf("dinput Release"));
    EXPECT_GE(firstOf("dev0 Poll"), 0);

    pressKey(orderKey, false);
    sendCommand(IDM_NO_TRIMMER);
    simClearJournal();
    runIdleTick();
    EXPECT_EQ(count("Poll"), 0) << "no trimmer, no poll";
}

TEST_F(RestartTest, InstantTrimmerActsOnlyOnWhatTheTicksPollRead)
{
    simReset(stickAndPedals + "fail GetDeviceState DIERR_INPUTLOST device=0\n"
                              "fail Poll DIERR_NOTACQUIRED call=2 count=all device=0\n"
                              "fail Acquire DIERR_OTHERAPPHASPRIO call=2 count=all device=0\n");
    runIdleTick();
    setInput(0, "1");  // the toggle, pressed while the read fails
    runIdleTick();
    EXPECT_EQ(forcesOn, 1);
    // Then another program holds the stick: a Hold seen down at an earlier
    // read is not acted on again.
    Settings.holdButton = 1;
    buttonState[1] = 1;
    runIdleTick();
    EXPECT_EQ(forcesOn, 1);
}

// The way out: the six effects stopped, then everything released and the
// settings written; the loop returns the quit message's code.
TEST_F(RestartTest, LoopEndsOnTheQuitMessageStoppingAndReleasingEverything)
{
    runIdleTick();
    Settings.springGain = 2200;
    simClearJournal();
    PostQuitMessage(7);
    EXPECT_EQ(runMainLoop(), 7);
    std::vector<std::string> stops;
    for (const SimCall& c : calls("Stop"))
        stops.push_back(c.object);
    EXPECT_THAT(stops, ElementsAre("eff5", "eff1", "eff3", "eff6", "eff2", "eff4"));
    EXPECT_LT(firstOf("eff4 Stop"), firstOf("eff5 Release"));
    EXPECT_TRUE(simHeldObjects().empty());
    EXPECT_EQ(folder.read(L"opt.dat").at(24), 22);
}

} // namespace
