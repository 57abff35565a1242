#include "tests/support/window_fixture.h"

#include "ui/main_window.h"
#include "ui/resource.h"

#include <commctrl.h>

void WindowFixture::SetUp()
{
    KestraFixture::SetUp();
    const HINSTANCE module = GetModuleHandleW(nullptr);
    LoadStringW(module, IDS_APP_TITLE, windowTitle, 100);
    LoadStringW(module, IDC_KESTRA, windowClassName, 100);
    registerWindowClasses(module);
    ASSERT_EQ(createMainWindow(module), 1) << "no main window; is there a display?";
    mainMenu = GetMenu(mainWindow);
}

void WindowFixture::TearDown()
{
    if (mainWindow)
        DestroyWindow(mainWindow);
    // Drop the quit message WM_DESTROY posted, so the next test starts clean.
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
    }
    UnregisterClassW(windowClassName, GetModuleHandleW(nullptr));
    KestraFixture::TearDown();
}

// The trackbar does not report TBM_SETPOS to its parent, so the move is announced the way the trackbar announces a
// drag.
void WindowFixture::moveSlider(HWND slider, int position)
{
    SendMessageW(slider, TBM_SETPOS, TRUE, position);
    SendMessageW(mainWindow, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(slider));
}

