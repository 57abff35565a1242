// The real main window, created as the program creates it, on the test's
// display, with what a user's changes send it.
#pragma once

#include "tests/support/kestra_fixture.h"

#include <string>

class WindowFixture : public KestraFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    static std::wstring textOf(HWND window);
    static int selectionOf(HWND list);
    static int entryCount(HWND list);
    static bool isChecked(HWND checkBox);
    static bool menuChecked(UINT command);

    static void chooseRow(HWND list, int row);
    static void moveSlider(HWND slider, int position);
    static void sendCommand(WORD id, WORD code = 0, HWND source = nullptr);
};
