// kestra.exe started where there is no stick: it says so, shows the defaults,
// and leaves them in "opt.dat" when closed.
#include "tests/e2e/kestra_process.h"
#include "tests/support/settings_bytes.h"

#include <gmock/gmock.h>

#include <commctrl.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Indices of controls in creation order.
enum Control {
    DeviceList = 4, HoldList = 5, ToggleList = 6, CenterList = 7, PovDeviceList = 8,
    SpringEdit = 11, SpringSlider = 12, SwapAxes = 28, HotkeyList = 30,
};
const int edits[6] = {11, 14, 17, 20, 23, 26};

TEST(FirstRunWithoutStick, SaysSoShowsTheDefaultsAndWritesThemAtExit)
{
    TestFolder folder;
    KestraProcess kestra(folder);
    ASSERT_TRUE(kestra.started()) << "kestra.exe did not start";

    const MessageBoxSeen box = waitForMessageBox(kestra);
    ASSERT_NE(box.window, nullptr) << "no message box with caption \"VIZazav\"; " << kestra.describeWindows();
    EXPECT_EQ(box.text, L"No Joystick found.");
    EXPECT_EQ(GetWindow(box.window, GW_OWNER), nullptr) << "the box has no owner window";
    const HWND window = kestra.mainWindow();
    ASSERT_NE(window, nullptr) << "the main window is up behind the box";
    pressOk(box.window);

    // The box closed, the start-up sequence goes on and ends by setting the
    // "Swap Axis" mark from the settings.
    std::vector<HWND> controls;
    ASSERT_TRUE(waitUntil([&] { return (controls = controlsOf(window)).size() == 31; }));
    EXPECT_TRUE(waitUntil([&] { return isChecked(controls[SwapAxes]); })) << "the defaults were never shown";
    EXPECT_EQ(kestra.findWindow(L"#32770", L"VIZazav"), nullptr);

    const wchar_t* percents[6] = {L"50", L"0", L"0", L"0", L"50", L"0"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(textOf(controls[edits[i]]), percents[i]) << "edit " << i;
    EXPECT_EQ(SendMessageW(controls[SpringSlider], TBM_GETPOS, 0, 0), 50);
    for (int list : {DeviceList, PovDeviceList}) {
        EXPECT_TRUE(listEntries(controls[list]).empty());
        EXPECT_EQ(selectionOf(controls[list]), CB_ERR);
    }
    for (int list : {HoldList, ToggleList, CenterList})
        EXPECT_EQ(selectionOf(controls[list]), 0);
    EXPECT_EQ(entryCount(controls[HotkeyList]), 99);
    EXPECT_EQ(entryText(controls[HotkeyList], 0), L"Backspace");
    EXPECT_EQ(entryText(controls[HotkeyList], 98), L"RightContol");
    EXPECT_EQ(selectionOf(controls[HotkeyList]), CB_ERR) << "code 0 names no key";

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(kestra.waitForExit(), 0);
    EXPECT_THAT(folder.read(L"opt.dat"), ::testing::ElementsAreArray(defaultSettingsFile));
}

TEST(FirstRunWithoutStick, StoredSettingsItNeverReadAreKept)
{
    TestFolder folder;
    Bytes stored = defaultSettingsFile;
    stored[24] = 77;  // a spring of 77 percent
    folder.write(L"opt.dat", stored);

    KestraProcess kestra(folder);
    const MessageBoxSeen box = waitForMessageBox(kestra);
    ASSERT_NE(box.window, nullptr);
    pressOk(box.window);
    const HWND window = kestra.mainWindow();
    ASSERT_NE(window, nullptr);
    // Without a stick the file is not read: the window shows the defaults.
    std::vector<HWND> controls;
    ASSERT_TRUE(waitUntil([&] { return (controls = controlsOf(window)).size() == 31; }));
    ASSERT_TRUE(waitUntil([&] { return isChecked(controls[SwapAxes]); }));
    EXPECT_EQ(textOf(controls[SpringEdit]), L"50");

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(kestra.waitForExit(), 0);
    EXPECT_EQ(folder.read(L"opt.dat"), stored) << "settings the run never read were replaced";
}

} // namespace
