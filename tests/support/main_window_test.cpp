#include "tests/support/main_window_test.h"

#include "ui/main_window.h"
#include "ui/resource.h"

#include <commctrl.h>

#include <algorithm>

std::vector<CreatedWindow> MainWindowTest::created;

namespace {

HHOOK creationHook = nullptr;

LRESULT CALLBACK recordCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        CreatedWindow window{};
        if (IS_INTRESOURCE(create->lpszClass))
            window.className = L"#" + std::to_wstring(reinterpret_cast<UINT_PTR>(create->lpszClass));
        else
            window.className = create->lpszClass;
        window.hasText = create->lpszName != nullptr;
        if (create->lpszName)
            window.text = create->lpszName;
        window.style = static_cast<DWORD>(create->style);
        window.exStyle = create->dwExStyle;
        window.x = create->x;
        window.y = create->y;
        window.width = create->cx;
        window.height = create->cy;
        window.menuOrId = create->hMenu;
        window.parent = create->hwndParent;
        MainWindowTest::created.push_back(window);
    }
    return CallNextHookEx(creationHook, code, wParam, lParam);
}

} // namespace

void MainWindowTest::SetUp()
{
    KestraTest::SetUp();
    created.clear();
    HINSTANCE module = GetModuleHandleW(nullptr);
    LoadStringW(module, IDS_APP_TITLE, windowTitle, 100);
    LoadStringW(module, IDC_KESTRA, windowClassName, 100);
    registerWindowClasses(module);
    creationHook = SetWindowsHookExW(WH_CBT, recordCreation, nullptr, GetCurrentThreadId());
    const int result = createMainWindow(module);
    UnhookWindowsHookEx(creationHook);
    ASSERT_EQ(result, 1) << "no main window; is there a display?";
    mainMenu = GetMenu(mainWindow);
}

void MainWindowTest::TearDown()
{
    if (mainWindow)
        DestroyWindow(mainWindow);
    // Drop the quit message WM_DESTROY posted, so the next test starts clean.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    UnregisterClassW(windowClassName, GetModuleHandleW(nullptr));
    KestraTest::TearDown();
}

std::vector<HWND> MainWindowTest::children()
{
    std::vector<HWND> found;
    for (HWND child = GetWindow(mainWindow, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        found.push_back(child);
    return found;
}

std::wstring MainWindowTest::textOf(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring MainWindowTest::classOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::vector<std::wstring> MainWindowTest::listEntries(HWND list)
{
    std::vector<std::wstring> entries;
    const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[MAX_PATH] = {};
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

int MainWindowTest::selectionOf(HWND list)
{
    return static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
}

bool MainWindowTest::isChecked(HWND checkBox)
{
    return SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

UINT MainWindowTest::menuState(UINT command)
{
    return GetMenuState(mainMenu, command, MF_BYCOMMAND) & MF_CHECKED;
}

void MainWindowTest::chooseRow(HWND list, int row)
{
    SendMessageW(list, CB_SETCURSEL, row, 0);
    sendCommand(0, CBN_SELCHANGE, list);
}

// The trackbar does not report TBM_SETPOS to its parent, so the move is
// announced the way the trackbar announces a drag.
void MainWindowTest::moveSlider(HWND slider, int position)
{
    SendMessageW(slider, TBM_SETPOS, TRUE, position);
    SendMessageW(mainWindow, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(slider));
}

void MainWindowTest::sendCommand(WORD id, WORD code, HWND source)
{
    SendMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(source));
}

void WindowWithDevicesTest::SetUp()
{
    MainWindowTest::SetUp();
    dinput = installFakeDirectInput();
    stick = dinput->attach("Stick", true);
    stick->axisFlags = {DIDOI_FFACTUATOR, DIDOI_FFACTUATOR};
    pedals = dinput->attach("Pedals", false);
}

std::ptrdiff_t WindowWithDevicesTest::firstOf(const std::string& call)
{
    auto found = std::find(journal.begin(), journal.end(), call);
    return found == journal.end() ? -1 : found - journal.begin();
}

int WindowWithDevicesTest::count(const std::string& call)
{
    return static_cast<int>(std::count(journal.begin(), journal.end(), call));
}
