// The real main window and what the user's actions in it do to the settings
// and the effects.
#include "tests/support/window_fixture.h"
#include "ui/main_window.h"
#include "ui/resource.h"
#include "ui/window_proc.h"

#include <gmock/gmock.h>

#include <commctrl.h>

using ::testing::ElementsAre;

namespace {

const UINT trimmerItems[] = {IDM_NO_TRIMMER, IDM_INSTANT_TRIMMER, IDM_PROGRESSIVE_TRIMMER, IDM_BOTH_TRIMMERS};

class WindowTest : public WindowFixture {
protected:
    static std::vector<UINT> checkedTrimmerItems()
    {
        std::vector<UINT> checked;
        for (UINT item : trimmerItems) {
            if (menuChecked(item))
                checked.push_back(item);
        }
        return checked;
    }

    // The latest strength DirectInput was given for an effect: "3700,3700".
    static std::string strengthOf(IDirectInputEffect* effect)
    {
        std::string last;
        for (const SimCall& c : calls("SetParameters", labelOf(effect)))
            last = c["pos"];
        return last;
    }

    static void listDevices(int count)
    {
        deviceCount = count;
        for (HWND list : {deviceCombo, povDeviceCombo}) {
            for (int i = 0; i < count; ++i)
                SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Stick"));
        }
    }
};

TEST_F(WindowTest, FixedWindowWithItsControlsListsAndMenu)
{
    EXPECT_EQ(textOf(mainWindow), L"Kestra");
    RECT box;
    GetWindowRect(mainWindow, &box);
    EXPECT_EQ(box.right - box.left, mainWindowWidth);
    EXPECT_EQ(box.bottom - box.top, mainWindowHeight);
    const LONG style = GetWindowLongW(mainWindow, GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0) << "the layout is fixed";
    int children = 0;
    for (HWND child = GetWindow(mainWindow, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        ++children;
    EXPECT_EQ(children, 31);
    for (HWND slider : {springSlider, damperSlider, frictionSlider, springSlider2, damperSlider2, frictionSlider2})
        EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), slider == springSlider2 ? 70 : 100);
    for (HWND list : {holdCombo, toggleCombo, centerCombo}) {
        EXPECT_EQ(entryCount(list), 32);
        EXPECT_EQ(selectionOf(list), 0);
    }
    wchar_t last[8] = {};
    SendMessageW(centerCombo, CB_GETLBTEXT, 31, reinterpret_cast<LPARAM>(last));
    EXPECT_STREQ(last, L"32");
    for (UINT command : {IDM_INIT_DIRECTINPUT, IDM_NO_TRIMMER, IDM_INSTANT_TRIMMER, IDM_PROGRESSIVE_TRIMMER,
                         IDM_BOTH_TRIMMERS, IDM_ABOUT, IDM_EXIT})
        EXPECT_NE(GetMenuState(mainMenu, command, MF_BYCOMMAND), static_cast<UINT>(-1)) << command;
}

// Each slider writes its edit, its percent, its live strength and its effect.
TEST_F(WindowTest, EachSliderReachesItsEditItsSettingAndItsEffect)
{
    open();
    const struct {
        HWND slider, edit;
        std::int32_t* setting;
        IDirectInputEffect* effect;
    } sliders[] = {{springSlider, springEdit, &Settings.springGain, springEffect},
                   {damperSlider, damperEdit, &Settings.damperGain, damperEffect},
                   {frictionSlider, frictionEdit, &Settings.frictionGain, frictionEffect},
                   {springSlider2, springEdit2, &Settings.springGain2, springEffect2},
                   {damperSlider2, damperEdit2, &Settings.damperGain2, damperEffect2},
                   {frictionSlider2, frictionEdit2, &Settings.frictionGain2, frictionEffect2}};
    int position = 11;
    for (const auto& s : sliders) {
        moveSlider(s.slider, ++position);
        EXPECT_EQ(textOf(s.edit), std::to_wstring(position));
        EXPECT_EQ(*s.setting, position * 100);
        const std::string units = std::to_string(position * 100);
        EXPECT_EQ(strengthOf(s.effect), units + "," + units);
    }
    EXPECT_EQ(Settings.springGain, 1200) << "no slider wrote another's field";
    EXPECT_EQ(uiSettings.frictionGain2, 17);
}

// Any list's change takes all five choices; a list without a selection
// (-1) keeps its setting.
TEST_F(WindowTest, ListChangesTakeTheFiveChoices)
{
    listDevices(3);
    SendMessageW(deviceCombo, CB_SETCURSEL, 2, 0);
    SendMessageW(povDeviceCombo, CB_SETCURSEL, 1, 0);
    SendMessageW(holdCombo, CB_SETCURSEL, 5, 0);
    SendMessageW(toggleCombo, CB_SETCURSEL, -1, 0);
    chooseRow(centerCombo, 31);
    EXPECT_EQ(Settings.deviceIndex, 2);
    EXPECT_EQ(Settings.povDeviceIndex, 1);
    EXPECT_EQ(Settings.holdButton, 5);
    EXPECT_EQ(Settings.toggleButton, 0);
    EXPECT_EQ(Settings.centerButton, 31);
}

TEST_F(WindowTest, HotkeyListTakesTheKeyByKeyboardOrMouse)
{
    for (auto [name, code] : {std::pair{L"F1", VK_F1}, {L"F2", VK_F2}, {L"Pause", VK_PAUSE}}) {
        SendMessageW(reinitKeyCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        keyCodeList.push_back(code);
    }
    // An arrow key in the closed list sends only a selection change.
    SendMessageW(reinitKeyCombo, WM_KEYDOWN, VK_DOWN, 0);
    ASSERT_EQ(selectionOf(reinitKeyCombo), 0);
    EXPECT_EQ(Settings.reinitKey, VK_F1) << "a restart or an exit must keep the chosen key";
    SendMessageW(reinitKeyCombo, CB_SETCURSEL, 2, 0);
    sendCommand(0, CBN_CLOSEUP, reinitKeyCombo);
    EXPECT_EQ(uiSettings.reinitKey, VK_PAUSE);
    SendMessageW(reinitKeyCombo, CB_SETCURSEL, -1, 0);
    sendCommand(0, CBN_CLOSEUP, reinitKeyCombo);
    chooseRow(holdCombo, 3);
    EXPECT_EQ(Settings.reinitKey, VK_PAUSE) << "closed without a row, or another list: the key stays";
}

TEST_F(WindowTest, SwapAxisClickFlipsTheSettingAndTheMark)
{
    for (bool swapped : {false, true, false}) {
        sendCommand(0, BN_CLICKED, swapAxesCheck);
        EXPECT_EQ(Settings.swapAxes, swapped ? 1 : 0);
        EXPECT_EQ(isChecked(swapAxesCheck), swapped);
    }
    EXPECT_EQ(Settings.springGain, 5000) << "nothing but the swap changed";
}

TEST_F(WindowTest, TrimmerCommandsSetTheFlagsAndCheckOneItem)
{
    const struct {
        UINT command;
        std::int32_t instant, progressive;
        TrimmerMode mode;
    } cases[] = {{IDM_BOTH_TRIMMERS, 1, 1, TrimmerBoth},
                 {IDM_PROGRESSIVE_TRIMMER, 0, 1, TrimmerProgressive},
                 {IDM_NO_TRIMMER, 0, 0, TrimmerNone},
                 {IDM_INSTANT_TRIMMER, 1, 0, TrimmerInstant}};
    for (const auto& c : cases) {
        sendCommand(static_cast<WORD>(c.command));
        EXPECT_THAT(checkedTrimmerItems(), ElementsAre(c.command));
        EXPECT_EQ(instantTrimOn, c.instant) << c.command;
        EXPECT_EQ(progressiveTrimOn, c.progressive) << c.command;
        EXPECT_EQ(Settings.trimmerMode, c.mode) << c.command;
    }
}

// The About box is modal; other commands leave it up, OK or Cancel end it.
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

TEST_F(WindowTest, AboutBoxEndsOnOkOrCancelOnly)
{
    for (WORD ending : {IDOK, IDCANCEL}) {
        endWith = ending;
        commandsSent = 0;
        // Two other commands, then the ending one; OK after ten, should the box outlast it.
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
            if (HWND box = aboutBox()) {
                ++commandsSent;
                PostMessageW(box, WM_COMMAND, commandsSent < 3 ? 1000 : commandsSent == 3 ? endWith : IDOK, 0);
            }
        });
        sendCommand(IDM_ABOUT);
        KillTimer(nullptr, timer);
        EXPECT_EQ(commandsSent, 3) << "ending command " << ending;
        EXPECT_EQ(aboutBox(), nullptr);
    }
}

TEST_F(WindowTest, ExitAndCloseEndTheProgramWithZero)
{
    for (bool fromMenu : {true, false}) {
        if (!IsWindow(mainWindow)) {
            createMainWindow(GetModuleHandleW(nullptr));
            mainMenu = GetMenu(mainWindow);
        }
        fromMenu ? sendCommand(IDM_EXIT) : static_cast<void>(SendMessageW(mainWindow, WM_CLOSE, 0, 0));
        EXPECT_FALSE(IsWindow(mainWindow));
        MSG message;
        ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(message.wParam, 0u);
    }
    mainWindow = nullptr;
}

} // namespace
