// The real main window, created as the program creates it, on the test's display, with what a user's changes send it.
#pragma once

#include "tests/support/kestra_fixture.h"
#include "tests/support/kestra_process.h"

class WindowFixture : public KestraFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    static int selectionOf(HWND list) { return static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0)); }
    static bool isChecked(HWND checkBox) { return SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    static bool menuChecked(UINT command) { return GetMenuState(mainMenu, command, MF_BYCOMMAND) & MF_CHECKED; }

    static void sendCommand(WORD id, WORD code = 0, HWND source = nullptr)
    {
        SendMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(source));
    }
    static void chooseRow(HWND list, int row)
    {
        SendMessageW(list, CB_SETCURSEL, row, 0);
        sendCommand(0, CBN_SELCHANGE, list);
    }
    static void moveSlider(HWND slider, int position);
};
