// The real main window and what the user's actions in it do to the settings
// and the effects.
#include "tests/support/window_fixture.h"
#include "ui/main_window.h"
#include "ui/resource.h"

#include <gmock/gmock.h>

#include <commctrl.h>

namespace {

TEST_F(WindowFixture, FixedWindowWithItsSlidersAndButtonLists)
{
    RECT box;
    GetWindowRect(mainWindow, &box);
    EXPECT_EQ(box.right - box.left, mainWindowWidth);
    EXPECT_EQ(box.bottom - box.top, mainWindowHeight);
    EXPECT_EQ(GetWindowLongW(mainWindow, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0) << "the layout is fixed";
    for (HWND slider : {springSlider, damperSlider, frictionSlider, springSlider2, damperSlider2, frictionSlider2})
        EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), slider == springSlider2 ? 70 : 100);
    for (HWND list : {holdCombo, toggleCombo, centerCombo})
        EXPECT_EQ(entryCount(list) * 100 + selectionOf(list), 3200) << "32 buttons, the first chosen";
}

// Each slider writes its edit, its percent, its live strength and its effect.
TEST_F(WindowFixture, EachSliderReachesItsEditItsSettingAndItsEffect)
{
    open();
    const struct {
        HWND slider, edit;
        IDirectInputEffect* effect;
    } sliders[] = {{springSlider, springEdit, springEffect},       {damperSlider, damperEdit, damperEffect},
                   {frictionSlider, frictionEdit, frictionEffect}, {springSlider2, springEdit2, springEffect2},
                   {damperSlider2, damperEdit2, damperEffect2},    {frictionSlider2, frictionEdit2, frictionEffect2}};
    for (int i = 0; i < 6; ++i) {
        const int position = 12 + i;
        moveSlider(sliders[i].slider, position);
        EXPECT_EQ(textOf(sliders[i].edit), std::to_wstring(position));
        EXPECT_EQ(Settings.*gainFields[i], position * 100);
        const std::vector<SimCall> sets = calls("SetParameters", labelOf(sliders[i].effect));
        ASSERT_FALSE(sets.empty()) << i;
        EXPECT_EQ(sets.back()["pos"], std::to_string(position * 100) + "," + std::to_string(position * 100));
    }
    EXPECT_EQ(Settings.springGain, 1200) << "no slider wrote another's field";
}

// Any list's change takes all five choices, a list without a selection
// keeping its setting; the hotkey list takes its key at once, by keyboard or
// mouse; "Swap Axis" flips the setting and its mark, and nothing else.
TEST_F(WindowFixture, ListsAndSwapAxisTakeWhatTheUserChose)
{
    deviceCount = 3;
    for (HWND list : {deviceCombo, povDeviceCombo})
        for (int i = 0; i < 3; ++i)
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Stick"));
    SendMessageW(deviceCombo, CB_SETCURSEL, 2, 0);
    SendMessageW(povDeviceCombo, CB_SETCURSEL, 1, 0);
    SendMessageW(holdCombo, CB_SETCURSEL, 5, 0);
    SendMessageW(toggleCombo, CB_SETCURSEL, -1, 0);
    chooseRow(centerCombo, 31);
    const std::int32_t chosen[] = {Settings.deviceIndex, Settings.povDeviceIndex, Settings.holdButton,
                                   Settings.toggleButton, Settings.centerButton};
    EXPECT_THAT(chosen, ::testing::ElementsAre(2, 1, 5, 0, 31));

    for (auto [name, code] : {std::pair{L"F1", VK_F1}, {L"F2", VK_F2}, {L"Pause", VK_PAUSE}}) {
        SendMessageW(reinitKeyCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        keyCodeList.push_back(code);
    }
    // An arrow key in the closed list sends only a selection change.
    SendMessageW(reinitKeyCombo, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(Settings.reinitKey, VK_F1) << "a restart or an exit must keep the key shown";
    SendMessageW(reinitKeyCombo, CB_SETCURSEL, 2, 0);
    sendCommand(0, CBN_CLOSEUP, reinitKeyCombo);
    EXPECT_EQ(uiSettings.reinitKey, VK_PAUSE);
    SendMessageW(reinitKeyCombo, CB_SETCURSEL, -1, 0);
    sendCommand(0, CBN_CLOSEUP, reinitKeyCombo);
    EXPECT_EQ(Settings.reinitKey, VK_PAUSE) << "closed without a row, the key stays";

    for (bool swapped : {false, true, false}) {
        sendCommand(0, BN_CLICKED, swapAxesCheck);
        EXPECT_EQ(Settings.swapAxes * 10 + isChecked(swapAxesCheck), swapped ? 11 : 0);
    }
    EXPECT_EQ(Settings.springGain, 5000) << "nothing but the choices changed";
}

TEST_F(WindowFixture, TrimmerCommandsSetTheFlagsAndCheckOneItem)
{
    const UINT items[] = {IDM_NO_TRIMMER, IDM_INSTANT_TRIMMER, IDM_PROGRESSIVE_TRIMMER, IDM_BOTH_TRIMMERS};
    const struct {
        int item;
        std::int32_t instant, progressive;
    } cases[] = {{3, 1, 1}, {2, 0, 1}, {0, 0, 0}, {1, 1, 0}};
    for (const auto& c : cases) {
        sendCommand(static_cast<WORD>(items[c.item]));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(menuChecked(items[i]), i == c.item) << c.item << " chosen, item " << i;
        EXPECT_EQ(instantTrimOn * 10 + progressiveTrimOn, c.instant * 10 + c.progressive) << c.item;
        EXPECT_EQ(Settings.trimmerMode, c.item);
    }
}

// The About box is modal: another command leaves it up, OK or Cancel ends it.
HWND aboutBox()
{
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) {
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            if (std::wstring(name) == L"#32770")
                *reinterpret_cast<HWND*>(result) = window;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}
WORD endWith;
int commandsSent;

TEST_F(WindowFixture, AboutBoxEndsOnOkOrCancelOnlyAndExitEndsTheProgram)
{
    for (WORD ending : {IDOK, IDCANCEL}) {
        endWith = ending;
        commandsSent = 0;
        // Two other commands, then the ending one; OK after, should the box outlast it.
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
            if (HWND box = aboutBox())
                PostMessageW(box, WM_COMMAND, ++commandsSent < 3 ? 1000 : commandsSent == 3 ? endWith : IDOK, 0);
        });
        sendCommand(IDM_ABOUT);
        KillTimer(nullptr, timer);
        EXPECT_EQ(commandsSent, 3) << "ending command " << ending;
    }
    sendCommand(IDM_EXIT);
    EXPECT_FALSE(IsWindow(mainWindow));
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
    mainWindow = nullptr;
}

} // namespace
