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

class RestartTest : public WindowFixture {
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        simReset(stickAndPedals);
        captureSettingsRecord(stored);
    }

    void TearDown() override
    {
        if (pressed)
            pressKey(pressed, false);
        WindowFixture::TearDown();
    }

    // Writes `stored` to "opt.dat" and starts as the program starts.
    void startWithStored()
    {
        folder.write(L"opt.dat", settingsFileOf(stored));
        releaseDirectInput();
        keyCodeList.clear();
        applyAndRestart(true);
    }

    // Presses the test's own key and sees that the system took it.
    void pressHotkey(WORD key)
    {
        pressed = key;
        pressKey(key, true);
        ASSERT_TRUE(GetAsyncKeyState(key) & 0x8000) << "the injected key is not seen as down";
    }

    // Where "<object> <method>" first stands in the journal, or -1.
    static std::ptrdiff_t firstOf(const std::string& what)
    {
        const std::vector<SimCall> all = calls();
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i].object + " " + all[i].method == what)
                return static_cast<std::ptrdiff_t>(i);
        return -1;
    }
    static std::size_t restarts() { return calls("DirectInput8Create").size(); }

    static std::vector<std::wstring> edits()
    {
        std::vector<std::wstring> texts;
        for (HWND edit : {springEdit, damperEdit, frictionEdit, springEdit2, damperEdit2, frictionEdit2})
            texts.push_back(textOf(edit));
        return texts;
    }

    SettingsRecord stored;
    WORD pressed = 0;
};

// The defaults, then stored settings, reach the lists, edits, sliders, the
// check and the menu; every key is listed, a stored key selected; a mode
// outside the menu leaves the flags as they were, a key the table lacks
// selects no row but is kept.
TEST_F(RestartTest, StartUpShowsTheSettingsAndListsEveryKey)
{
    applyAndRestart(true);
    EXPECT_EQ(entryCount(deviceCombo) + entryCount(povDeviceCombo), 4);
    EXPECT_THAT(edits(), ElementsAre(L"50", L"0", L"0", L"0", L"50", L"0"));
    EXPECT_EQ(SendMessageW(damperSlider2, TBM_GETPOS, 0, 0), 50);
    EXPECT_TRUE(isChecked(swapAxesCheck));
    EXPECT_TRUE(menuChecked(IDM_INSTANT_TRIMMER));
    ASSERT_EQ(entryCount(reinitKeyCombo), 99);
    wchar_t lastKey[16] = {};
    SendMessageW(reinitKeyCombo, CB_GETLBTEXT, 98, reinterpret_cast<LPARAM>(lastKey));
    EXPECT_EQ(lastKey + std::wstring(L" ") + std::to_wstring(keyCodeList.at(98)), L"RightContol 163");
    EXPECT_EQ(selectionOf(reinitKeyCombo), CB_ERR) << "code 0 names no key";

    stored.deviceIndex = 1;
    stored.holdButton = 3;
    stored.centerButton = 31;
    stored.springGain = 30;
    stored.frictionGain2 = 100;
    stored.reinitKey = 'Z';
    stored.swapAxes = 0;
    stored.trimmerMode = TrimmerProgressive;
    startWithStored();
    EXPECT_EQ(selectionOf(deviceCombo) * 100 + selectionOf(holdCombo) * 10 + selectionOf(centerCombo), 161);
    EXPECT_THAT(edits(), ElementsAre(L"30", L"0", L"0", L"0", L"50", L"100"));
    EXPECT_EQ(SendMessageW(frictionSlider2, TBM_GETPOS, 0, 0), 100);
    EXPECT_FALSE(isChecked(swapAxesCheck));
    EXPECT_TRUE(menuChecked(IDM_PROGRESSIVE_TRIMMER));
    EXPECT_FALSE(menuChecked(IDM_INSTANT_TRIMMER));
    EXPECT_EQ(progressiveTrimOn * 10 + instantTrimOn, 10);
    EXPECT_EQ(selectionOf(reinitKeyCombo), 60) << "the row of Z";

    stored.reinitKey = 0xE8;
    stored.trimmerMode = 7;
    startWithStored();
    EXPECT_EQ(selectionOf(reinitKeyCombo), CB_ERR);
    EXPECT_EQ(uiSettings.reinitKey, 0xE8);
    EXPECT_TRUE(menuChecked(IDM_PROGRESSIVE_TRIMMER));
    EXPECT_EQ(progressiveTrimOn, 1);
}

// The first set can start only on an acquired device: the restart starts it
// once the devices are, also when a trimmer had the forces released. A
// restart writes the settings, releases everything and reads them back.
TEST_F(RestartTest, RestartPassesTheSettingsThroughTheFileAndStartsTheFirstSet)
{
    simReset(stickAndPedals + "vanish 1 discovery=2\n");
    stored.deviceIndex = 1;
    folder.write(L"opt.dat", settingsFileOf(stored));
    for (bool startUp : {true, false}) {
        forcesOn = startUp ? 1 : 0;
        simClearJournal();
        applyAndRestart(startUp);
        const std::ptrdiff_t acquired = firstOf("dev0 Acquire");
        ASSERT_GE(acquired, 0);
        for (IDirectInputEffect* effect : {springEffect, damperEffect, frictionEffect}) {
            std::vector<SimCall> starts = calls("Start", labelOf(effect));
            ASSERT_FALSE(starts.empty()) << labelOf(effect);
            EXPECT_EQ(starts.back().result, "0x00000000") << labelOf(effect) << " started before the acquire";
        }
        EXPECT_EQ(firstOf(labelOf(springEffect2) + " Start"), -1);
        moveSlider(springSlider, 40);
    }
    EXPECT_EQ(folder.read(L"opt.dat").at(24), 40);
    EXPECT_EQ(textOf(springEdit), L"40");
    EXPECT_LT(firstOf("dev0 Release"), firstOf("dinput DirectInput8Create"));
    // The pedals are gone: the stick list has no row for the stored index.
    EXPECT_EQ(entryCount(deviceCombo), 1);
    EXPECT_EQ(selectionOf(deviceCombo), CB_ERR);
    EXPECT_EQ(entryCount(reinitKeyCombo), 99) << "the hotkey list is filled once";
}

// The first tick opens the devices and does nothing else; a held hotkey
// restarts at every tick after; a key chosen in the list is watched at once.
TEST_F(RestartTest, FirstTickOpensTheDevicesAndTheHotkeyRestarts)
{
    Settings.reinitKey = firstTickKey;  // as if read from the file
    ASSERT_NO_FATAL_FAILURE(pressHotkey(firstTickKey));
    runIdleTick();
    EXPECT_EQ(initPending, 0);
    EXPECT_EQ(restarts(), 1u);
    EXPECT_TRUE(calls("Poll").empty());
    simClearJournal();
    runIdleTick();
    runIdleTick();
    EXPECT_EQ(restarts(), 2u);
    pressKey(firstTickKey, false);

    ASSERT_NO_FATAL_FAILURE(pressHotkey(listKey));
    simClearJournal();
    runIdleTick();
    EXPECT_EQ(restarts(), 0u) << "not the chosen key";
    keyCodeList.back() = listKey;  // the list's last row stands for the test's key
    chooseRow(reinitKeyCombo, static_cast<int>(keyCodeList.size()) - 1);
    runIdleTick();
    EXPECT_EQ(restarts(), 1u);
    EXPECT_EQ(uiSettings.reinitKey, listKey) << "the restart read back the key the list shows";
}

// Each tick: the instant trimmer on what the button device's poll read, then
// the hat, then the hotkey; no trimmer, no poll.
TEST_F(RestartTest, TickRunsInstantThenProgressiveThenHotkey)
{
    Settings.trimmerMode = TrimmerBoth;
    Settings.reinitKey = orderKey;
    runIdleTick();
    Settings.povDeviceIndex = 1;
    ASSERT_NO_FATAL_FAILURE(pressHotkey(orderKey));
    simClearJournal();
    runIdleTick();
    EXPECT_GE(firstOf("dev0 Poll"), 0);
    EXPECT_LT(firstOf("dev0 Poll"), firstOf("dev1 Poll"));
    EXPECT_LT(firstOf("dev1 Poll"), firstOf("dinput Release"));

    pressKey(orderKey, false);
    sendCommand(IDM_NO_TRIMMER);
    simClearJournal();
    runIdleTick();
    EXPECT_TRUE(calls("Poll").empty());
}

// A toggle pressed while the read fails, and a Hold seen down at an earlier
// read while another program holds the stick, are not acted on.
TEST_F(RestartTest, InstantTrimmerActsOnlyOnWhatTheTicksPollRead)
{
    simReset(stickAndPedals + "fail GetDeviceState DIERR_INPUTLOST device=0\n"
                              "fail Poll DIERR_NOTACQUIRED call=2 count=all device=0\n"
                              "fail Acquire DIERR_OTHERAPPHASPRIO call=2 count=all device=0\n");
    runIdleTick();
    setInput(0, "1");
    runIdleTick();
    EXPECT_EQ(forcesOn, 1);
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
