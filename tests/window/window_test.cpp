// The real main window and what the user's actions in it do to the settings and the effects.
#include "app/main_loop.h"
#include "tests/support/window_fixture.h"
#include "ui/main_window.h"
#include "ui/resource.h"

#include <gmock/gmock.h>

#include <commctrl.h>

namespace {

// The layout is fixed. Each slider, 0 to 100 but the second spring's 0 to 70, writes its edit, its strength and its
// effect, which DirectInput accepts.
TEST_F(WindowFixture, EachSliderReachesItsEditItsSettingAndItsEffect)
{
    EXPECT_EQ(GetWindowLongW(mainWindow, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    open();
    const struct { HWND slider, edit; std::int32_t& strength; IDirectInputEffect* effect; } sliders[] = {
        {springSlider, springEdit, Settings.springGain, springEffect},
        {damperSlider, damperEdit, Settings.damperGain, damperEffect},
        {frictionSlider, frictionEdit, Settings.frictionGain, frictionEffect},
        {springSlider2, springEdit2, Settings.springGain2, springEffect2},
        {damperSlider2, damperEdit2, Settings.damperGain2, damperEffect2},
        {frictionSlider2, frictionEdit2, Settings.frictionGain2, frictionEffect2}};
    for (int i = 0; i < 6; ++i) {
        const std::string units = std::to_string((12 + i) * 100);
        EXPECT_EQ(SendMessageW(sliders[i].slider, TBM_GETRANGEMAX, 0, 0), i == 3 ? 70 : 100);
        moveSlider(sliders[i].slider, 12 + i);
        EXPECT_EQ(textOf(sliders[i].edit), std::to_wstring(12 + i));
        EXPECT_EQ(sliders[i].strength, (12 + i) * 100) << i;
        const std::vector<SimCall> sets = calls("SetParameters", simLabel(sliders[i].effect));
        EXPECT_EQ(sets.empty() ? "" : sets.back().result, "0x00000000") << i;
        EXPECT_EQ(sets.empty() ? "" : sets.back()["pos"], units + "," + units) << i;
    }
}

// The button lists hold the 32 buttons. Any list's change takes all five choices, a list without a
// selection keeping its setting; the hotkey list takes its key at once, by keyboard or mouse; "Swap Axis" flips the
// setting and its mark.
TEST_F(WindowFixture, ListsAndSwapAxisTakeWhatTheUserChose)
{
    for (HWND list : {holdCombo, toggleCombo, centerCombo})
        EXPECT_EQ(entryCount(list), 32);
    deviceCount = 3;
    for (int i = 0; i < 3; ++i)
        for (HWND list : {deviceCombo, povDeviceCombo})
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Stick"));
    for (auto [list, row] : {std::pair{deviceCombo, 2}, {povDeviceCombo, 1}, {holdCombo, 5}, {toggleCombo, -1}})
        SendMessageW(list, CB_SETCURSEL, row, 0);
    chooseRow(centerCombo, 31);
    const std::int32_t chosen[] = {Settings.deviceIndex, Settings.povDeviceIndex, Settings.holdButton,
                                   Settings.toggleButton, Settings.centerButton};
    EXPECT_THAT(chosen, ::testing::ElementsAre(2, 1, 5, 0, 31));

    for (auto [name, code] : {std::pair{L"F1", VK_F1}, {L"Pause", VK_PAUSE}}) {
        SendMessageW(reinitKeyCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        keyCodeList.push_back(code);
    }
    // An arrow key in the closed list sends only a selection change.
    SendMessageW(reinitKeyCombo, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(Settings.reinitKey, VK_F1) << "a restart or an exit must keep the key shown";
    for (int row : {1, -1}) {  // closed without a row, the key stays
        SendMessageW(reinitKeyCombo, CB_SETCURSEL, row, 0);
        sendCommand(0, CBN_CLOSEUP, reinitKeyCombo);
        EXPECT_EQ(Settings.reinitKey, VK_PAUSE) << row;
    }

    for (bool swapped : {false, true}) {
        sendCommand(0, BN_CLICKED, swapAxesCheck);
        EXPECT_EQ(Settings.swapAxes, swapped);
        EXPECT_EQ(isChecked(swapAxesCheck), swapped);
    }
}

// A mode without the instant trimmer engages forces its Toggle and Hold had released, at the centre they had, and
// forgets both: taken back later, the instant trimmer does not re-centre on the stick.
TEST_F(WindowFixture, TrimmerCommandsSetTheModeTheFlagsAndCheckOneItem)
{
    open(stickAndPedals);
    initPending = 0;
    Settings.swapAxes = uiSettings.swapAxes = 0;
    Settings.holdButton = uiSettings.holdButton = 1;
    Settings.povDeviceIndex = uiSettings.povDeviceIndex = 1;  // the hat's reads leave the stick's buttons alone
    trimX = 400;
    setInput(0, "11", 60000);  // Toggle pressed and Hold held, the stick off centre
    runIdleTick();
    ASSERT_EQ(forcesOn, 0);
    for (WORD command : {IDM_PROGRESSIVE_TRIMMER, IDM_INSTANT_TRIMMER}) {
        sendCommand(command);
        setInput(0, "", 60000);
        runIdleTick();
        ASSERT_FALSE(calls("force").empty());
        EXPECT_EQ(calls("force").back()["playing"], "1,3,5") << command << ": the first set";
        EXPECT_EQ(calls("force").back()["centre"], "400,0") << command;
    }

    const UINT items[] = {IDM_NO_TRIMMER, IDM_INSTANT_TRIMMER, IDM_PROGRESSIVE_TRIMMER, IDM_BOTH_TRIMMERS};
    for (auto [mode, instant, progressive] : {std::tuple{3, 1, 1}, {2, 0, 1}, {0, 0, 0}, {1, 1, 0}}) {
        sendCommand(static_cast<WORD>(items[mode]));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(menuChecked(items[i]), i == mode) << mode << " chosen, item " << i;
        EXPECT_EQ(instantTrimOn, instant) << mode;
        EXPECT_EQ(progressiveTrimOn, progressive) << mode;
        EXPECT_EQ(Settings.trimmerMode, mode);
    }
}

// The About box is modal: another command leaves it up, OK or Cancel ends it.
WORD endWith;
int commandsSent;

TEST_F(WindowFixture, AboutBoxEndsOnOkOrCancelOnly)
{
    for (WORD ending : {IDOK, IDCANCEL}) {
        endWith = ending;
        commandsSent = 0;
        // Two other commands, then the ending one; OK after, should the box outlast it.
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
            if (HWND box = FindWindowW(L"#32770", L"About Kestra"))
                PostMessageW(box, WM_COMMAND, ++commandsSent < 3 ? 1000 : commandsSent == 3 ? endWith : IDOK, 0);
        });
        sendCommand(IDM_ABOUT);
        KillTimer(nullptr, timer);
        EXPECT_EQ(commandsSent, 3) << "ending command " << ending;
    }
}

} // namespace
