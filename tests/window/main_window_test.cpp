// The main window as created: its class, size, 31 controls and menu.
#include "tests/support/main_window_test.h"

#include "ui/main_window.h"
#include "ui/resource.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace {

struct ExpectedControl {
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    int x, y, width, height;  // a combobox's height includes its list
    HWND* handle;
};

constexpr DWORD shown = WS_CHILD | WS_VISIBLE;

const ExpectedControl expectedControls[31] = {
    {L"static", L"Joystick / PT POV", shown | SS_LEFT, 5, 3, 130, 20, nullptr},
    {L"static", L"Hold", shown | SS_LEFT, 305, 3, 130, 20, nullptr},
    {L"static", L"Toggle", shown | SS_LEFT, 355, 3, 130, 20, nullptr},
    {L"static", L"Center", shown | SS_LEFT, 405, 3, 130, 20, nullptr},
    {L"combobox", L"", shown | CBS_DROPDOWNLIST, 3, 23, 300, 255, &deviceCombo},
    {L"combobox", L"", shown | WS_VSCROLL | CBS_DROPDOWNLIST, 305, 23, 50, 255, &holdCombo},
    {L"combobox", L"", shown | WS_VSCROLL | CBS_DROPDOWNLIST, 355, 23, 50, 255, &toggleCombo},
    {L"combobox", L"", shown | WS_VSCROLL | CBS_DROPDOWNLIST, 405, 23, 50, 255, &centerCombo},
    {L"combobox", L"", shown | CBS_DROPDOWNLIST, 3, 53, 300, 255, &povDeviceCombo},
    {L"static", L"Kestra", shown | WS_BORDER | SS_CENTER, 309, 55, 140, 20, nullptr},
    {L"static", L"Spring Force\t%", shown | SS_LEFT, 5, 83, 130, 20, nullptr},
    {L"Edit", L"55", shown | ES_NUMBER | ES_READONLY, 135, 83, 30, 20, &springEdit},
    {L"msctls_trackbar32", L"", shown | TBS_ENABLESELRANGE, 168, 83, 290, 20, &springSlider},
    {L"static", L"Damper Force\t%", shown | SS_LEFT, 5, 103, 130, 20, nullptr},
    {L"Edit", L"55", shown | ES_NUMBER | ES_READONLY, 135, 103, 30, 20, &damperEdit},
    {L"msctls_trackbar32", L"", shown | TBS_ENABLESELRANGE, 168, 103, 290, 20, &damperSlider},
    {L"static", L"Friction Force\t%", shown | SS_LEFT, 5, 123, 130, 20, nullptr},
    {L"Edit", L"55", shown | ES_NUMBER | ES_READONLY, 135, 123, 30, 20, &frictionEdit},
    {L"msctls_trackbar32", L"", shown | TBS_ENABLESELRANGE, 168, 123, 290, 20, &frictionSlider},
    {L"static", L"Spring Force 2\t%", shown | SS_LEFT, 5, 143, 130, 20, nullptr},
    {L"Edit", L"55", shown | ES_NUMBER | ES_READONLY, 135, 143, 30, 20, &springEdit2},
    {L"msctls_trackbar32", L"", shown | TBS_ENABLESELRANGE, 168, 143, 290, 20, &springSlider2},
    {L"static", L"Damper Force 2\t%", shown | SS_LEFT, 5, 163, 130, 20, nullptr},
    {L"Edit", L"55", shown | ES_NUMBER | ES_READONLY, 135, 163, 30, 20, &damperEdit2},
    {L"msctls_trackbar32", L"", shown | TBS_ENABLESELRANGE, 168, 163, 290, 20, &damperSlider2},
    {L"static", L"Friction Force 2\t%", shown | SS_LEFT, 5, 183, 130, 20, nullptr},
    {L"Edit", L"55", shown | ES_NUMBER | ES_READONLY, 135, 183, 30, 20, &frictionEdit2},
    {L"msctls_trackbar32", L"", shown | TBS_ENABLESELRANGE, 168, 183, 290, 20, &frictionSlider2},
    {L"button", L"Swap Axis", shown | BS_CHECKBOX | BS_LEFTTEXT, 3, 209, 90, 20, &swapAxesCheck},
    {L"static", L"Init dinput", shown | SS_CENTER, 100, 209, 70, 20, nullptr},
    {L"combobox", L"", shown | WS_VSCROLL | CBS_DROPDOWNLIST, 173, 205, 150, 300, &reinitKeyCombo},
};

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

TEST_F(MainWindowTest, WindowHasItsTitleClassAndFixedOuterSize)
{
    EXPECT_EQ(textOf(mainWindow), L"Kestra");
    EXPECT_EQ(classOf(mainWindow), L"KESTRA");
    RECT outer;
    GetWindowRect(mainWindow, &outer);
    EXPECT_EQ(outer.right - outer.left, 473);
    EXPECT_EQ(outer.bottom - outer.top, 292);

    const LONG_PTR style = GetWindowLongPtrW(mainWindow, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0) << "the user must not be able to resize it";
    EXPECT_TRUE(IsWindowVisible(mainWindow));
    EXPECT_EQ(GetWindowLongPtrW(mainWindow, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    EXPECT_EQ(GetClassLongPtrW(mainWindow, GCLP_HBRBACKGROUND), COLOR_MENU + 1);
    EXPECT_NE(GetClassLongPtrW(mainWindow, GCLP_HICON), 0);
    EXPECT_NE(GetClassLongPtrW(mainWindow, GCLP_HICONSM), 0);
}

TEST_F(MainWindowTest, MainWindowIsCreatedAsDesigned)
{
    ASSERT_FALSE(created.empty());
    const CreatedWindow& main = created[0];
    EXPECT_EQ(main.className, L"KESTRA");
    EXPECT_EQ(main.text, L"Kestra");
    EXPECT_EQ(main.style, static_cast<DWORD>(WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    // The system adds the edge of a captioned window and resolves the default position.
    EXPECT_EQ(main.exStyle & ~static_cast<DWORD>(WS_EX_WINDOWEDGE), 0u);
    EXPECT_EQ(main.width, 473);
    EXPECT_EQ(main.height, 292);
    EXPECT_EQ(main.parent, nullptr);
    // Shown without being activated: another program keeps the focus.
    EXPECT_NE(GetForegroundWindow(), mainWindow);
}

TEST_F(MainWindowTest, ThirtyOneControlsInTheirPlaces)
{
    const std::vector<HWND> children = MainWindowTest::children();
    ASSERT_EQ(children.size(), 31u);
    // The comboboxes' own drop-down lists are not the program's.
    std::vector<CreatedWindow> controls;
    for (const CreatedWindow& window : created) {
        if (window.parent == mainWindow)
            controls.push_back(window);
    }
    ASSERT_EQ(controls.size(), 31u);
    for (int i = 0; i < 31; ++i) {
        const ExpectedControl& expected = expectedControls[i];
        const CreatedWindow& creation = controls[i];
        const HWND control = children[i];
        SCOPED_TRACE("control " + std::to_string(i + 1) + " \"" + narrow(expected.text) + "\"");

        EXPECT_EQ(creation.className, expected.className);
        EXPECT_EQ(creation.text, expected.text);
        EXPECT_EQ(creation.hasText, expected.className != std::wstring(TRACKBAR_CLASSW)) << "a trackbar has no text";
        EXPECT_EQ(creation.style, expected.style) << std::hex << creation.style;
        EXPECT_EQ(creation.exStyle, 0u);
        EXPECT_EQ(creation.menuOrId, nullptr) << "every control has id 0";
        EXPECT_EQ(creation.parent, mainWindow);
        EXPECT_EQ(creation.x, expected.x);
        EXPECT_EQ(creation.y, expected.y);
        EXPECT_EQ(creation.width, expected.width);
        EXPECT_EQ(creation.height, expected.height);

        if (expected.handle) {
            EXPECT_EQ(*expected.handle, control);
        }
        // Where the control really stands in the client area.
        RECT box;
        GetWindowRect(control, &box);
        MapWindowPoints(HWND_DESKTOP, mainWindow, reinterpret_cast<POINT*>(&box), 2);
        EXPECT_EQ(box.left, expected.x);
        EXPECT_EQ(box.top, expected.y);
        EXPECT_EQ(box.right - box.left, expected.width);
    }
}

TEST_F(MainWindowTest, SlidersStartAt55WithTheSecondSpringStoppingAt70)
{
    for (const GainControl& control : gainControls) {
        const HWND slider = *control.slider;
        const int maximum = slider == springSlider2 ? 70 : 100;
        SCOPED_TRACE("slider with maximum " + std::to_string(maximum));
        EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMIN, 0, 0), 0);
        EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), maximum);
        EXPECT_EQ(SendMessageW(slider, TBM_GETPAGESIZE, 0, 0), 1);
        EXPECT_EQ(SendMessageW(slider, TBM_GETSELSTART, 0, 0), 0);
        EXPECT_EQ(SendMessageW(slider, TBM_GETSELEND, 0, 0), maximum);
        EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 55);
        EXPECT_EQ(textOf(*control.edit), L"55");
    }
    SendMessageW(springSlider2, TBM_SETPOS, TRUE, 100);
    EXPECT_EQ(SendMessageW(springSlider2, TBM_GETPOS, 0, 0), 70);
}

TEST_F(MainWindowTest, ButtonListsHoldOneTo32WithTheFirstSelected)
{
    std::vector<std::wstring> numbers;
    for (int n = 1; n <= 32; ++n)
        numbers.push_back(std::to_wstring(n));
    for (HWND list : {holdCombo, toggleCombo, centerCombo}) {
        EXPECT_EQ(listEntries(list), numbers);
        EXPECT_EQ(selectionOf(list), 0);
    }
    for (HWND list : {deviceCombo, povDeviceCombo, reinitKeyCombo}) {
        EXPECT_TRUE(listEntries(list).empty());
        EXPECT_EQ(selectionOf(list), CB_ERR);
    }
    EXPECT_FALSE(isChecked(swapAxesCheck));
}

struct ExpectedItem {
    const wchar_t* text;  // empty for a separator
    UINT id;
};

TEST_F(MainWindowTest, MenuHasItsItemsAndCommandIds)
{
    ASSERT_NE(mainMenu, nullptr);
    ASSERT_EQ(GetMenuItemCount(mainMenu), 2);
    wchar_t text[64];
    GetMenuStringW(mainMenu, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"Options");
    GetMenuStringW(mainMenu, 1, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&Help");

    const ExpectedItem options[] = {
        {L"&Init DirectInput", 32700}, {L"", 0}, {L"None", 32703}, {L"Instantaneous trimmer", 32702},
        {L"Progressive trimmer", 32701}, {L"Both", 32704}, {L"", 0}, {L"E&xit", 105},
    };
    HMENU popup = GetSubMenu(mainMenu, 0);
    ASSERT_EQ(GetMenuItemCount(popup), 8);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE("Options item " + std::to_string(i));
        const UINT state = GetMenuState(popup, i, MF_BYPOSITION);
        if (options[i].id == 0) {
            EXPECT_TRUE(state & MF_SEPARATOR);
            continue;
        }
        EXPECT_EQ(state & (MF_GRAYED | MF_CHECKED), 0u) << "nothing is grayed or checked in the resource";
        GetMenuStringW(popup, i, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, options[i].text);
        EXPECT_EQ(GetMenuItemID(popup, i), options[i].id);
    }

    HMENU help = GetSubMenu(mainMenu, 1);
    ASSERT_EQ(GetMenuItemCount(help), 1);
    GetMenuStringW(help, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&About ...");
    EXPECT_EQ(GetMenuItemID(help, 0), 104u);
}

TEST(FormatNumber, WritesDecimalTextOrFailsWithoutOverflowing)
{
    const struct {
        std::int32_t value;
        const wchar_t* text;
        int length;
    } cases[] = {
        {0, L"0", 1}, {37, L"37", 2}, {100, L"100", 3}, {-5, L"-5", 2},
        {999999999, L"999999999", 9}, {1000000000, L"", -1}, {-100000000, L"", -1},
    };
    for (const auto& c : cases) {
        wchar_t buffer[10];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        EXPECT_EQ(formatNumber(buffer, c.value), c.length) << c.value;
        EXPECT_STREQ(buffer, c.text) << c.value;
    }
}

} // namespace
