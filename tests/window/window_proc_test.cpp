// What the user's actions in the window do to the settings and the effects.
#include "tests/support/main_window_test.h"

#include "ui/main_window.h"
#include "ui/resource.h"
#include "ui/window_proc.h"

#include <gmock/gmock.h>

#include <commctrl.h>

#include <cstring>

namespace {

class WindowProcTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        installStick();
        installEffects();
    }

    static void listDevices(int count)
    {
        deviceCount = count;
        for (int i = 0; i < count; ++i) {
            const std::wstring name = L"Stick " + std::to_wstring(i);
            SendMessageW(deviceCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
            SendMessageW(povDeviceCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        }
    }

    static void listHotkeys()
    {
        const struct {
            const wchar_t* name;
            std::int32_t code;
        } keys[] = {{L"F1", VK_F1}, {L"F2", VK_F2}, {L"Pause", VK_PAUSE}};
        for (const auto& key : keys) {
            SendMessageW(reinitKeyCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(key.name));
            keyCodeList.push_back(key.code);
        }
    }
};

LONG lastCoefficient(IDirectInputEffect* effect)
{
    const FakeEffect* fake = fakeOf(effect);
    return fake->parameters.empty() ? -1 : fake->parameters.back().conditions.at(0).lPositiveCoefficient;
}

TEST_F(WindowProcTest, EachSliderWritesItsEditItsGainAndItsEffect)
{
    IDirectInputEffect* const* effects[6] = {&springEffect, &damperEffect, &frictionEffect,
                                             &springEffect2, &damperEffect2, &frictionEffect2};
    for (int i = 0; i < 6; ++i) {
        const GainControl& control = gainControls[i];
        SCOPED_TRACE("slider " + std::to_string(i));
        const int position = 11 + i;
        moveSlider(*control.slider, position);
        EXPECT_EQ(textOf(*control.edit), std::to_wstring(position));
        EXPECT_EQ(uiSettings.*gainFields[i], position);
        EXPECT_EQ(Settings.*gainFields[i], position * 100);
        EXPECT_EQ(lastCoefficient(*effects[i]), position * 100);
    }
    // Every slider kept the value it was given: no slider wrote another's field.
    EXPECT_EQ(Settings.springGain, 1100);
    EXPECT_EQ(Settings.frictionGain2, 1600);
}

TEST_F(WindowProcTest, SliderEdgeValues)
{
    moveSlider(springSlider, 37);
    EXPECT_EQ(textOf(springEdit), L"37");
    EXPECT_EQ(Settings.springGain, 3700);
    moveSlider(springSlider2, 70);
    EXPECT_EQ(Settings.springGain2, 7000);
    moveSlider(damperSlider, 0);
    EXPECT_EQ(textOf(damperEdit), L"0");
    EXPECT_EQ(Settings.damperGain, 0);
}

TEST_F(WindowProcTest, ScrollFromAnotherWindowChangesNothing)
{
    const struct Settings before = Settings;
    SendMessageW(mainWindow, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 3), reinterpret_cast<LPARAM>(holdCombo));
    SendMessageW(mainWindow, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 3), 0);
    EXPECT_EQ(std::memcmp(&before, &Settings, sizeof(before)), 0);
    EXPECT_THAT(journal, ::testing::IsEmpty());
}

TEST_F(WindowProcTest, AnyListChangeTakesAllFiveChoicesAndTheRestOfTheWindow)
{
    listDevices(3);
    uiSettings.damperGain = 20;  // shown in the window, not yet in Settings
    SendMessageW(deviceCombo, CB_SETCURSEL, 2, 0);
    SendMessageW(povDeviceCombo, CB_SETCURSEL, 1, 0);
    SendMessageW(holdCombo, CB_SETCURSEL, 5, 0);
    SendMessageW(toggleCombo, CB_SETCURSEL, 6, 0);
    chooseRow(centerCombo, 31);

    EXPECT_EQ(Settings.deviceIndex, 2);
    EXPECT_EQ(Settings.povDeviceIndex, 1);
    EXPECT_EQ(Settings.holdButton, 5);
    EXPECT_EQ(Settings.toggleButton, 6);
    EXPECT_EQ(Settings.centerButton, 31);
    EXPECT_EQ(Settings.damperGain, 2000);
}

TEST_F(WindowProcTest, ListsWithoutSelectionKeepTheirSettings)
{
    // No device listed: both device lists answer -1.
    chooseRow(holdCombo, 4);
    EXPECT_EQ(uiSettings.deviceIndex, -1);
    EXPECT_EQ(Settings.deviceIndex, 0);
    EXPECT_EQ(Settings.povDeviceIndex, 0);
    EXPECT_EQ(Settings.holdButton, 4);

    // A hat device without selection does not follow the stick's choice.
    listDevices(2);
    SendMessageW(deviceCombo, CB_SETCURSEL, 1, 0);
    SendMessageW(toggleCombo, CB_SETCURSEL, -1, 0);
    chooseRow(povDeviceCombo, -1);
    EXPECT_EQ(Settings.deviceIndex, 1);
    EXPECT_EQ(Settings.povDeviceIndex, 0);
    EXPECT_EQ(Settings.toggleButton, 0);
}

TEST_F(WindowProcTest, HotkeyListTakesTheKeyByKeyboardOrMouse)
{
    listHotkeys();
    // An arrow key in the closed list sends only a selection change.
    SendMessageW(reinitKeyCombo, WM_KEYDOWN, VK_DOWN, 0);
    ASSERT_EQ(selectionOf(reinitKeyCombo), 0);
    EXPECT_EQ(uiSettings.reinitKey, VK_F1);
    EXPECT_EQ(Settings.reinitKey, VK_F1) << "a restart or an exit must keep the chosen key";

    SendMessageW(reinitKeyCombo, CB_SETCURSEL, 2, 0);
    sendCommand(0, CBN_CLOSEUP, reinitKeyCombo);
    EXPECT_EQ(Settings.reinitKey, VK_PAUSE);

    // Closed without a selection: the key stays.
    SendMessageW(reinitKeyCombo, CB_SETCURSEL, -1, 0);
    sendCommand(0, CBN_CLOSEUP, reinitKeyCombo);
    EXPECT_EQ(uiSettings.reinitKey, VK_PAUSE);

    // Another list's change is not a hotkey choice.
    SendMessageW(reinitKeyCombo, CB_SETCURSEL, 0, 0);
    sendCommand(0, CBN_CLOSEUP, holdCombo);
    chooseRow(holdCombo, 3);
    EXPECT_EQ(Settings.reinitKey, VK_PAUSE);
}

TEST_F(WindowProcTest, SwapAxisClickFlipsSettingsAndMarkTogether)
{
    sendCommand(0, BN_CLICKED, swapAxesCheck);
    EXPECT_EQ(uiSettings.swapAxes, 0);
    EXPECT_EQ(Settings.swapAxes, 0);
    EXPECT_FALSE(isChecked(swapAxesCheck));
    sendCommand(0, BN_CLICKED, swapAxesCheck);
    EXPECT_EQ(Settings.swapAxes, 1);
    EXPECT_TRUE(isChecked(swapAxesCheck));
    // A menu command carries code 0 too, but no source.
    sendCommand(IDM_NO_TRIMMER);
    EXPECT_EQ(Settings.swapAxes, 1);
}

TEST_F(WindowProcTest, TrimmerCommandsKeepExactlyOneItemChecked)
{
    const struct {
        WORD command;
        std::int32_t instant, progressive;
        TrimmerMode mode;
    } commands[] = {
        {IDM_BOTH_TRIMMERS, 1, 1, TrimmerBoth},
        {IDM_NO_TRIMMER, 0, 0, TrimmerNone},
        {IDM_PROGRESSIVE_TRIMMER, 0, 1, TrimmerProgressive},
        {IDM_INSTANT_TRIMMER, 1, 0, TrimmerInstant},
        {IDM_INSTANT_TRIMMER, 1, 0, TrimmerInstant},
    };
    const UINT items[] = {IDM_NO_TRIMMER, IDM_INSTANT_TRIMMER, IDM_PROGRESSIVE_TRIMMER, IDM_BOTH_TRIMMERS};
    for (const auto& c : commands) {
        SCOPED_TRACE("command " + std::to_string(c.command));
        journal.clear();
        EXPECT_EQ(SendMessageW(mainWindow, WM_COMMAND, c.command, 0), 0);
        EXPECT_EQ(instantTrimOn, c.instant);
        EXPECT_EQ(progressiveTrimOn, c.progressive);
        EXPECT_EQ(uiSettings.trimmerMode, c.mode);
        EXPECT_EQ(Settings.trimmerMode, c.mode);
        for (UINT item : items)
            EXPECT_EQ(menuState(item) != 0, item == c.command) << "item " << item;
        // Choosing a mode, even the current one, refreshes the effects.
        EXPECT_THAT(journal, ::testing::Contains("spring.SetParameters(0x100)"));
    }
}

// Runs inside the About box's modal loop: looks at the box, then presses Esc.
struct AboutBoxVisit {
    int ticks = 0;
    bool found = false;
    std::wstring title, text, button;
} visit;

void CALLBACK visitAboutBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND box = FindWindowW(L"#32770", L"About Kestra");
    if (!box) {
        if (++visit.ticks > 100)
            KillTimer(nullptr, timer);  // the test fails on visit.found
        return;
    }
    KillTimer(nullptr, timer);
    visit.found = true;
    wchar_t text[256] = {};
    GetWindowTextW(box, text, 256);
    visit.title = text;
    HWND ok = GetDlgItem(box, IDOK);
    GetWindowTextW(ok, text, 256);
    visit.button = text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        GetWindowTextW(child, text, 256);
        if (std::wstring(text).rfind(L"Kestra", 0) == 0)
            visit.text = text;
    }
    PostMessageW(ok, WM_KEYDOWN, VK_ESCAPE, 0);
}

TEST_F(WindowProcTest, AboutBoxOpensModalAndClosesWithEscape)
{
    visit = {};
    SetTimer(nullptr, 0, 50, visitAboutBox);
    EXPECT_EQ(SendMessageW(mainWindow, WM_COMMAND, IDM_ABOUT, 0), 0);
    ASSERT_TRUE(visit.found) << "no About box appeared";
    EXPECT_EQ(visit.title, L"About Kestra");
    EXPECT_EQ(visit.button, L"OK");
    EXPECT_EQ(visit.text.rfind(L"Kestra\r\n\r\n", 0) == 0 || visit.text.rfind(L"Kestra\n\n", 0) == 0, true)
        << "the product name, then a blank line";
    EXPECT_EQ(FindWindowW(L"#32770", L"About Kestra"), nullptr) << "Esc closed it";
    EXPECT_TRUE(IsWindow(mainWindow));
}

TEST(AboutDialogProc, EndsOnOkAndCancelOnly)
{
    EXPECT_EQ(aboutDialogProc(nullptr, WM_INITDIALOG, 0, 0), TRUE);
    EXPECT_EQ(aboutDialogProc(nullptr, WM_COMMAND, MAKEWPARAM(IDYES, 0), 0), FALSE);
    EXPECT_EQ(aboutDialogProc(nullptr, WM_PAINT, 0, 0), FALSE);
}

TEST_F(WindowProcTest, ExitAndCloseDestroyTheWindowAndPostQuitZero)
{
    for (UINT way : {0u, 1u}) {
        SCOPED_TRACE(way == 0 ? "E&xit" : "close button");
        if (way == 1) {
            TearDown();
            SetUp();
        }
        if (way == 0)
            EXPECT_EQ(SendMessageW(mainWindow, WM_COMMAND, IDM_EXIT, 0), 0);
        else
            SendMessageW(mainWindow, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(mainWindow));
        MSG message;
        ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(message.wParam, 0u);
    }
}

} // namespace
