// Opening the controllers and showing the settings at start-up and at each restart; the idle tick, the restart hotkey
// and the way out.
#include "app/apply_restart.h"
#include "app/main_loop.h"
#include "ffb/discovery.h"
#include "ffb/effects.h"
#include "tests/support/settings_bytes.h"
#include "tests/support/window_fixture.h"
#include "ui/resource.h"

#include <gmock/gmock.h>

#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <array>

namespace {

// The desktop's key state is shared by the tests running in parallel, so each test that presses a key has its own:
// unassigned codes that no X key produces, as Wine sets every X key to the X server's state whenever one of its windows
// gains the X focus. The end-to-end tests press none.
constexpr WORD tickKey = 0x97, listKey = 0x98;

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

    // Presses the test's own key and sees that the system took it.
    void pressHotkey(WORD key)
    {
        pressKey(pressed = key, true);
        ASSERT_TRUE(GetAsyncKeyState(key) & 0x8000) << "the injected key is not seen as down";
    }

    // Where "<object> <method>" first stands in the journal; a failure if it is not there.
    static std::ptrdiff_t firstOf(const std::string& what)
    {
        const std::vector<SimCall> all = calls();
        const auto is = [&](const SimCall& c) { return c.object + " " + c.method == what; };
        const auto at = std::find_if(all.begin(), all.end(), is);
        if (at == all.end())
            ADD_FAILURE() << what << " is not in the journal";
        return at - all.begin();
    }
    static std::size_t restarts() { return calls("DirectInput8Create").size(); }

    // What the window shows: each strength in its edit and its slider; the rows of the stick, hat device, Hold, Toggle,
    // Center and hotkey lists; the "Swap Axis" mark and the one trimmer item checked (its flags: the window test).
    static void expectShown(const char* when, const std::array<int, 6>& strengths, const std::array<int, 6>& rows,
                            bool swapped, UINT item)
    {
        SCOPED_TRACE(when);
        const HWND edits[] = {springEdit, damperEdit, frictionEdit, springEdit2, damperEdit2, frictionEdit2};
        const HWND sliders[] = {springSlider,  damperSlider,  frictionSlider,
                                springSlider2, damperSlider2, frictionSlider2};
        const HWND lists[] = {deviceCombo, povDeviceCombo, holdCombo, toggleCombo, centerCombo, reinitKeyCombo};
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(textOf(edits[i]), std::to_wstring(strengths[i])) << "edit " << i;
            EXPECT_EQ(SendMessageW(sliders[i], TBM_GETPOS, 0, 0), strengths[i]) << "slider " << i;
            EXPECT_EQ(selectionOf(lists[i]), rows[i]) << "list " << i;
        }
        EXPECT_EQ(isChecked(swapAxesCheck), swapped);
        for (UINT each : {IDM_NO_TRIMMER, IDM_INSTANT_TRIMMER, IDM_PROGRESSIVE_TRIMMER, IDM_BOTH_TRIMMERS})
            EXPECT_EQ(menuChecked(each), each == item) << "menu item " << each;
    }

    WORD pressed = 0;
};

// The defaults, then stored settings, reach the lists, edits, sliders, the check and the menu; every key is listed, a
// stored key selected; a mode outside the menu leaves the flags as they were, a key the table lacks selects no row but
// is kept.
TEST_F(RestartTest, StartUpShowsTheSettingsAndListsEveryKey)
{
    applyAndRestart(true);
    expectShown("defaults; code 0 names no key", {50, 0, 0, 0, 50, 0}, {0, 0, 0, 0, 0, -1}, true, IDM_INSTANT_TRIMMER);
    EXPECT_EQ(entryCount(deviceCombo), 2);
    EXPECT_EQ(entryCount(povDeviceCombo), 2);
    ASSERT_EQ(entryCount(reinitKeyCombo), 99);
    wchar_t lastKey[16] = {};
    SendMessageW(reinitKeyCombo, CB_GETLBTEXT, 98, reinterpret_cast<LPARAM>(lastKey));
    EXPECT_EQ(std::wstring(lastKey), L"RightContol");
    EXPECT_EQ(keyCodeList.at(98), 163);

    for (auto [key, mode, row] : {std::tuple{int{'Z'}, int{TrimmerProgressive}, 60}, {0xE8, 7, -1}}) {
        const auto stored = settingsFileWith({{deviceAt, 1}, {holdAt, 3}, {centerAt, 31}, {springAt, 30},
                                              {friction2At, 100}, {reinitKeyAt, key}, {swapAt, 0}, {modeAt, mode}});
        folder.write(L"opt.dat", stored);
        releaseDirectInput();  // then started as the program starts
        keyCodeList.clear();
        applyAndRestart(true);
        expectShown("stored; 60 is the row of Z", {30, 0, 0, 0, 50, 100}, {1, 0, 3, 0, 31, row}, false,
                    IDM_PROGRESSIVE_TRIMMER);
    }
    EXPECT_EQ(uiSettings.reinitKey, 0xE8);
}

// The first set can start only on an acquired device: the restart starts it once the devices are. A restart made while
// a trimmer had the forces released engages them, so a later update plays the first set too. A restart writes the
// settings, releases everything, centres the springs and reads the settings back.
TEST_F(RestartTest, RestartPassesTheSettingsThroughTheFileAndStartsTheFirstSet)
{
    simReset(stickAndPedals + "vanish 1 discovery=2\n");
    folder.write(L"opt.dat", settingsFileWith({{deviceAt, 1}}));
    for (bool startUp : {true, false}) {
        forcesOn = startUp ? 1 : 0;
        trimX = 300;
        trimY = -300;
        simClearJournal();
        startUp ? applyAndRestart(true) : sendCommand(IDM_INIT_DIRECTINPUT);  // the menu's restart
        ASSERT_FALSE(calls("force").empty()) << "nothing plays";
        // Created dampers, frictions, springs, first set first, six more at each restart.
        EXPECT_EQ(calls("force").back()["playing"], startUp ? "1,3,5" : "7,9,11") << "started once acquired";
        moveSlider(springSlider, 40);
        EXPECT_EQ(calls("force").back()["spring"], "4000") << "the first set's spring plays after a slider";
    }
    EXPECT_THAT(simHeldObjects(), ::testing::ElementsAre("dinput", "dev0", "eff7", "eff8", "eff9", "eff10", "eff11",
                                                         "eff12")) << "a restart leaves no DirectInput object held";
    EXPECT_EQ(trimX, 0);
    EXPECT_EQ(trimY, 0);
    EXPECT_EQ(folder.read(L"opt.dat").at(24), 40);
    EXPECT_LT(firstOf("dev0 Release"), firstOf("dinput DirectInput8Create"));
    // The pedals are gone: the stick list has no row for the stored index.
    expectShown("after the restart", {40, 0, 0, 0, 50, 0}, {-1, 0, 0, 0, 0, -1}, true, IDM_INSTANT_TRIMMER);
    EXPECT_EQ(entryCount(deviceCombo), 1);
    EXPECT_EQ(entryCount(reinitKeyCombo), 99) << "the hotkey list is filled once";
}

// The first tick opens the devices and does nothing else. Each tick after: the instant trimmer on what the button
// device's poll read, then, even if the read failed, the hat, then the hotkey, which restarts at every tick it is held;
// each trimmer only when on. A key chosen in the list while it is down acts once it has been let go and pressed again.
TEST_F(RestartTest, FirstTickOpensTheDevicesThenEachTickTrimsAndWatchesTheHotkey)
{
    simReset(stickAndPedals + "fail GetDeviceState DIERR_INPUTLOST count=all device=0\n");
    Settings.reinitKey = tickKey;  // as if read from the file
    Settings.trimmerMode = TrimmerBoth;
    ASSERT_NO_FATAL_FAILURE(pressHotkey(tickKey));
    runIdleTick();
    EXPECT_EQ(restarts(), 1u);
    EXPECT_TRUE(calls("Poll").empty());
    Settings.povDeviceIndex = 1;
    simClearJournal();
    runIdleTick();
    EXPECT_LT(firstOf("dev0 GetDeviceState"), firstOf("dev1 GetDeviceState"));
    EXPECT_LT(firstOf("dev1 GetDeviceState"), firstOf("dinput Release"));
    runIdleTick();
    EXPECT_EQ(restarts(), 2u);
    pressKey(tickKey, false);
    sendCommand(IDM_PROGRESSIVE_TRIMMER);
    simClearJournal();
    runIdleTick();
    ASSERT_EQ(calls("GetDeviceState").size(), 1u);
    EXPECT_EQ(calls("GetDeviceState")[0].object, "dev1") << "the hat alone";

    sendCommand(IDM_NO_TRIMMER);
    ASSERT_NO_FATAL_FAILURE(pressHotkey(listKey));
    keyCodeList.back() = listKey;  // the list's last row stands for the test's key, chosen while it is down
    chooseRow(reinitKeyCombo, static_cast<int>(keyCodeList.size()) - 1);
    simClearJournal();
    runIdleTick();
    EXPECT_EQ(restarts(), 0u) << "a key that was down as it was chosen";
    EXPECT_TRUE(calls("GetDeviceState").empty()) << "no trimmer";
    pressKey(listKey, false);
    runIdleTick();
    ASSERT_NO_FATAL_FAILURE(pressHotkey(listKey));
    runIdleTick();
    EXPECT_EQ(restarts(), 1u);
    EXPECT_EQ(uiSettings.reinitKey, listKey) << "the restart read back the key the list shows";
}

// A stick pulled out and plugged back in plays again, at the first tick it is back, the set forcesOn names with the
// centre it had, whatever the trimmers, also with the buttons and the hat on the pedals. While it is out nothing plays,
// and a tick tries to acquire it at most once for each read: the watch's and each trimmer's.
TEST_F(RestartTest, StickLostAndBackPlaysTheSetForcesOnNames)
{
    for (int mode = 0; mode < 4; ++mode)
        for (int buttonDevice : {0, 1}) {
            const bool held = mode & 1;  // Hold held through it all: the second set plays
            const std::string what = "mode " + std::to_string(mode) + ", buttons on dev" + std::to_string(buttonDevice);
            open(stickAndPedals);
            initPending = 0;
            instantTrimOn = mode & 1;
            progressiveTrimOn = mode >> 1;
            Settings.deviceIndex = Settings.povDeviceIndex = buttonDevice;
            Settings.holdButton = 1;
            Settings.swapAxes = 0;
            setInput(buttonDevice, held ? "01" : "");
            buttonState[1] = held;
            forcesOn = !held;
            trimX = 700;
            trimY = -300;
            updateSprings();
            simClearJournal();
            simSetPluggedIn(0, false);
            for (int tick = 0; tick < 3; ++tick)
                runIdleTick();
            EXPECT_LE(calls("Acquire", "dev0").size(), 3u * (1 + instantTrimOn + progressiveTrimOn)) << what;
            ASSERT_FALSE(calls("force").empty()) << what << ": the stick lost its effects";
            for (const SimCall& felt : calls("force"))
                EXPECT_EQ(felt["playing"], "-") << what;

            simSetPluggedIn(0, true);
            simClearJournal();
            runIdleTick();
            ASSERT_FALSE(calls("force").empty()) << what;
            const SimCall felt = calls("force").back();
            // Created dampers, frictions, springs, first set first: eff1, 3 and 5 are the first set's.
            EXPECT_EQ(felt["playing"], held ? "2,4,6" : "1,3,5") << what;
            EXPECT_EQ(felt["centre"], "700,-300") << what;
            EXPECT_EQ(felt["spring"], held ? "0" : "5000") << what;
        }
}

// A controller that arrives while there is no force-feedback stick makes the next tick look again, without a word:
// the stick plugged in after the start then gets the stored settings, the first set and the lists, as after a restart.
// Nothing else makes it look, nor an arrival while there is a stick. A stick that comes back as a new device, as in
// another USB port, which its old object never takes back, is found at the arrival, still trimmed.
TEST_F(RestartTest, StickPluggedInAfterTheStartIsFoundAtTheNextTick)
{
    simReset(oneStick);
    simSetPluggedIn(0, false);
    const std::vector<std::uint8_t> stored = settingsFileWith({{springAt, 37}, {swapAt, 0}});
    folder.write(L"opt.dat", stored);
    runIdleTick();
    ASSERT_EQ(messageBoxes.size(), 1u);
    EXPECT_EQ(messageBoxes[0].text, L"No Joystick found.");
    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);  // something else arrived
    runIdleTick();
    simSetPluggedIn(0, true);
    simClearJournal();
    runIdleTick();
    EXPECT_EQ(restarts(), 0u) << "no arrival since the last look";

    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    runIdleTick();
    EXPECT_EQ(restarts(), 1u);
    EXPECT_EQ(messageBoxes.size(), 1u) << "no box after the first";
    ASSERT_FALSE(calls("force").empty());
    EXPECT_EQ(calls("force").back()["playing"], "1,3,5") << "the first set";
    EXPECT_EQ(calls("force").back()["spring"], "3700");
    EXPECT_EQ(entryCount(deviceCombo), 1);
    EXPECT_EQ(textOf(springEdit), L"37");
    EXPECT_EQ(folder.read(L"opt.dat"), stored) << "never replaced unread";

    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    simClearJournal();
    runIdleTick();
    EXPECT_EQ(restarts(), 0u) << "there is a stick";

    trimX = 700;
    trimY = -300;
    simSetPluggedIn(0, false);
    runIdleTick();
    simSetPluggedIn(0, true, true);
    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    simClearJournal();
    runIdleTick();
    EXPECT_EQ(restarts(), 1u) << "back as a new device";
    ASSERT_FALSE(calls("force").empty());
    EXPECT_EQ(calls("force").back()["playing"], "7,9,11") << "the new objects' first set";
    EXPECT_EQ(calls("force").back()["centre"], "700,-300");
    EXPECT_EQ(messageBoxes.size(), 1u) << "no box after the first";
}

// A toggle pressed while the read fails, and a Hold seen down at an earlier read while another program holds the stick,
// are not acted on. Code 0 names no key: nothing restarts.
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
    EXPECT_EQ(restarts(), 1u) << "the first tick's alone: code 0";
}

// "Exit" is the way out: the six effects stopped, then released while the window still exists (what is released and
// written: the end-to-end test); the window ends and the loop returns the quit message's code.
TEST_F(RestartTest, ExitStopsAndReleasesEverythingWhileTheWindowExists)
{
    runIdleTick();
    simClearJournal();
    std::string windowAtRelease = "no release";
    simWatchJournal([&](const std::string& line) {
        if (line.rfind("dev0 Release", 0) == 0)
            windowAtRelease = IsWindow(mainWindow) ? "there" : "gone";
    });
    sendCommand(IDM_EXIT);
    EXPECT_EQ(runMainLoop(), 0);
    EXPECT_FALSE(IsWindow(mainWindow));
    EXPECT_EQ(calls("Stop").size(), 6u);
    EXPECT_LT(firstOf("eff4 Stop"), firstOf("eff5 Release"));
    EXPECT_EQ(windowAtRelease, "there");
}

// Windows ends the process once WM_ENDSESSION returns, with no WM_DESTROY: by then the way out has run, the effects
// stopped, DirectInput released and the settings written. Asked first, the window never holds the shut-down up. The way out runs once:
// neither a tick nor the window's end does anything after it.
TEST_F(RestartTest, SessionEndStopsReleasesAndSavesBeforeTheMessageReturns)
{
    runIdleTick();
    Settings.springGain = 2200;
    simClearJournal();
    EXPECT_EQ(SendMessageW(mainWindow, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_TRUE(calls().empty());
    SendMessageW(mainWindow, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
    EXPECT_TRUE(calls().empty()) << "the session goes on";
    SendMessageW(mainWindow, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(calls("Stop").size(), 6u);
    EXPECT_TRUE(simHeldObjects().empty()) << "every DirectInput object released";
    EXPECT_EQ(folder.read(L"opt.dat").at(24), 22);

    DeleteFileW(folder.file(L"opt.dat").c_str());
    simClearJournal();
    runIdleTick();
    DestroyWindow(mainWindow);
    EXPECT_TRUE(calls().empty());
    EXPECT_TRUE(folder.read(L"opt.dat").empty()) << "written once";
}

} // namespace
