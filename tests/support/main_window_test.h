// A fixture with the real main window, created as the program creates it, on
// the test's display.
#pragma once

#include "tests/support/kestra_test.h"
#include "tests/support/test_folder.h"

#include <string>
#include <vector>

// A window's creation parameters, as CreateWindowExW received them.
struct CreatedWindow {
    std::wstring className;  // as the program spells it
    std::wstring text;
    bool hasText;            // false for a null window name
    DWORD style, exStyle;
    int x, y, width, height;
    HMENU menuOrId;
    HWND parent;
};

class MainWindowTest : public KestraTest {
public:
    // Every window the thread created since SetUp began, main window first.
    static std::vector<CreatedWindow> created;

protected:
    void SetUp() override;
    void TearDown() override;

    // The main window's children in creation order.
    static std::vector<HWND> children();
    static std::wstring textOf(HWND window);
    static std::wstring classOf(HWND window);
    static std::vector<std::wstring> listEntries(HWND list);
    static int selectionOf(HWND list);
    static bool isChecked(HWND checkBox);
    static UINT menuState(UINT command);

    // What a user's change in a control sends the main window.
    static void chooseRow(HWND list, int row);
    static void moveSlider(HWND slider, int position);
    static void sendCommand(WORD id, WORD code = 0, HWND source = nullptr);
};

// The main window with two controllers attached, a force-feedback "Stick"
// and "Pedals" without, in a working folder of the test's own.
class WindowWithDevicesTest : public MainWindowTest {
protected:
    void SetUp() override;

    // Where the call first stands in the journal, or -1.
    static std::ptrdiff_t firstOf(const std::string& call);
    static int count(const std::string& call);

    WorkingFolder folder;
    FakeDirectInput* dinput = nullptr;
    FakeDevice* stick = nullptr;
    FakeDevice* pedals = nullptr;
};
