#include "ui/main_window.h"

#include "ui/resource.h"
#include "ui/window_proc.h"

#include <commctrl.h>
#include <dbt.h>

#include <cstdio>
#include <cwchar>
#include <utility>

const GainControl gainControls[6] = {
    {&springSlider, &springEdit},   {&damperSlider, &damperEdit},   {&frictionSlider, &frictionEdit},
    {&springSlider2, &springEdit2}, {&damperSlider2, &damperEdit2}, {&frictionSlider2, &frictionEdit2},
};

namespace {

struct ControlLayout {
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;  // besides WS_CHILD and WS_VISIBLE
    int x, y, width, height;  // a combobox's height includes its list
    HWND* handle;             // null for a caption nobody talks to
    int sliderMaximum;        // trackbars only
};

// Creation order. No control has an id of its own: the window procedure
// knows them by their handles.
const ControlLayout controlLayout[31] = {
    {L"static", L"Joystick / PT POV", SS_LEFT, 5, 3, 130, 20, nullptr, 0},
    {L"static", L"Hold", SS_LEFT, 305, 3, 130, 20, nullptr, 0},
    {L"static", L"Toggle", SS_LEFT, 355, 3, 130, 20, nullptr, 0},
    {L"static", L"Center", SS_LEFT, 405, 3, 130, 20, nullptr, 0},
    {L"combobox", L"", CBS_DROPDOWNLIST, 3, 23, 300, 255, &deviceCombo, 0},
    {L"combobox", L"", WS_VSCROLL | CBS_DROPDOWNLIST, 305, 23, 50, 255, &holdCombo, 0},
    {L"combobox", L"", WS_VSCROLL | CBS_DROPDOWNLIST, 355, 23, 50, 255, &toggleCombo, 0},
    {L"combobox", L"", WS_VSCROLL | CBS_DROPDOWNLIST, 405, 23, 50, 255, &centerCombo, 0},
    // The button lists are filled here, before the rest is created.
    {L"combobox", L"", CBS_DROPDOWNLIST, 3, 53, 300, 255, &povDeviceCombo, 0},
    {L"static", L"Kestra", WS_BORDER | SS_CENTER, 309, 55, 140, 20, nullptr, 0},
    {L"static", L"Spring Force\t%", SS_LEFT, 5, 83, 130, 20, nullptr, 0},
    {L"Edit", L"55", ES_NUMBER | ES_READONLY, 135, 83, 30, 20, &springEdit, 0},
    {TRACKBAR_CLASSW, nullptr, TBS_ENABLESELRANGE, 168, 83, 290, 20, &springSlider, 100},
    {L"static", L"Damper Force\t%", SS_LEFT, 5, 103, 130, 20, nullptr, 0},
    {L"Edit", L"55", ES_NUMBER | ES_READONLY, 135, 103, 30, 20, &damperEdit, 0},
    {TRACKBAR_CLASSW, nullptr, TBS_ENABLESELRANGE, 168, 103, 290, 20, &damperSlider, 100},
    {L"static", L"Friction Force\t%", SS_LEFT, 5, 123, 130, 20, nullptr, 0},
    {L"Edit", L"55", ES_NUMBER | ES_READONLY, 135, 123, 30, 20, &frictionEdit, 0},
    {TRACKBAR_CLASSW, nullptr, TBS_ENABLESELRANGE, 168, 123, 290, 20, &frictionSlider, 100},
    {L"static", L"Spring Force 2\t%", SS_LEFT, 5, 143, 130, 20, nullptr, 0},
    {L"Edit", L"55", ES_NUMBER | ES_READONLY, 135, 143, 30, 20, &springEdit2, 0},
    // The second set's spring stops at 70 percent.
    {TRACKBAR_CLASSW, nullptr, TBS_ENABLESELRANGE, 168, 143, 290, 20, &springSlider2, 70},
    {L"static", L"Damper Force 2\t%", SS_LEFT, 5, 163, 130, 20, nullptr, 0},
    {L"Edit", L"55", ES_NUMBER | ES_READONLY, 135, 163, 30, 20, &damperEdit2, 0},
    {TRACKBAR_CLASSW, nullptr, TBS_ENABLESELRANGE, 168, 163, 290, 20, &damperSlider2, 100},
    {L"static", L"Friction Force 2\t%", SS_LEFT, 5, 183, 130, 20, nullptr, 0},
    {L"Edit", L"55", ES_NUMBER | ES_READONLY, 135, 183, 30, 20, &frictionEdit2, 0},
    {TRACKBAR_CLASSW, nullptr, TBS_ENABLESELRANGE, 168, 183, 290, 20, &frictionSlider2, 100},
    // A plain check box: the program sets its mark itself.
    {L"button", L"Swap Axis", BS_CHECKBOX | BS_LEFTTEXT, 3, 209, 90, 20, &swapAxesCheck, 0},
    {L"static", L"Init dinput", SS_CENTER, 100, 209, 70, 20, nullptr, 0},
    {L"combobox", L"", WS_VSCROLL | CBS_DROPDOWNLIST, 173, 205, 150, 300, &reinitKeyCombo, 0},
};

constexpr int buttonListsEnd = 8;  // controls before this index precede the button lists

void createControl(const ControlLayout& layout)
{
    HWND control = CreateWindowExW(0, layout.className, layout.text, WS_CHILD | WS_VISIBLE | layout.style,
                                   layout.x, layout.y, layout.width, layout.height, mainWindow, nullptr,
                                   instance, nullptr);
    if (layout.handle)
        *layout.handle = control;
    if (layout.sliderMaximum > 0) {
        SendMessageW(control, TBM_SETRANGE, TRUE, MAKELONG(0, layout.sliderMaximum));
        SendMessageW(control, TBM_SETPAGESIZE, 0, 1);
        SendMessageW(control, TBM_SETSEL, FALSE, MAKELONG(0, layout.sliderMaximum));
        SendMessageW(control, TBM_SETPOS, TRUE, 55);
    }
}

// "1" to "32" in the hold, toggle and centre lists, button index 0 selected.
void fillButtonLists()
{
    wchar_t text[10];
    for (int number = 1; number <= buttonCount; ++number) {
        formatNumber(text, number);
        for (HWND list : {holdCombo, toggleCombo, centerCombo})
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    for (HWND list : {holdCombo, toggleCombo, centerCombo})
        SendMessageW(list, CB_SETCURSEL, 0, 0);
}

// Game controllers are HID devices: an arrival of one reaches the window as
// WM_DEVICECHANGE, so a stick plugged in later can be found.
void watchForArrivals()
{
    // GUID_DEVINTERFACE_HID, spelt out: its header is the driver kit's.
    static const GUID hidInterface = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = hidInterface;
    deviceNotification = RegisterDeviceNotificationW(mainWindow, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

} // namespace

void registerWindowClasses(HINSTANCE instance)
{
    // The trackbars live in the common controls, which must be loaded first.
    INITCOMMONCONTROLSEX commonControls = {sizeof(commonControls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&commonControls);

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_KESTRA));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_MENU + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDC_KESTRA);
    windowClass.lpszClassName = windowClassName;
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
    RegisterClassExW(&windowClass);
}

int createMainWindow(HINSTANCE moduleInstance)
{
    instance = moduleInstance;
    // No sizing border and no maximise box: the layout is fixed.
    HWND window = CreateWindowExW(0, windowClassName, windowTitle,
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, 0,
                                  mainWindowWidth, mainWindowHeight, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 0;

    mainWindow = window;
    // Kestra runs beside a game: appearing must not take the focus from it.
    ShowWindow(mainWindow, SW_SHOWNOACTIVATE);
    UpdateWindow(mainWindow);

    for (int i = 0; i < buttonListsEnd; ++i)
        createControl(controlLayout[i]);
    fillButtonLists();
    for (int i = buttonListsEnd; i < 31; ++i)
        createControl(controlLayout[i]);
    watchForArrivals();
    return 1;
}

void showSettingsRecord()
{
    const std::pair<HWND, std::int32_t> rows[] = {
        {deviceCombo, uiSettings.deviceIndex}, {povDeviceCombo, uiSettings.povDeviceIndex},
        {holdCombo, uiSettings.holdButton},    {toggleCombo, uiSettings.toggleButton},
        {centerCombo, uiSettings.centerButton},
    };
    for (const auto& [list, row] : rows)
        SendMessageW(list, CB_SETCURSEL, row, 0);
    for (int i = 0; i < 6; ++i)
        showGain(i);
    showSwapAxes();
}

void showGain(int i)
{
    const std::int32_t percent = uiSettings.*gainFields[i];
    wchar_t text[10];
    formatNumber(text, percent);
    SetWindowTextW(*gainControls[i].edit, text);
    SendMessageW(*gainControls[i].slider, TBM_SETPOS, TRUE, percent);
}

// Cleared as well as set, so the mark always agrees with the record.
void showSwapAxes()
{
    SendMessageW(swapAxesCheck, BM_SETCHECK, uiSettings.swapAxes != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
}

int formatNumber(wchar_t (&buffer)[10], std::int32_t value)
{
    wchar_t text[16];
    int length = std::swprintf(text, 16, L"%i", static_cast<int>(value));
    if (length < 0 || length >= 10) {
        buffer[0] = L'\0';
        return -1;
    }
    std::wmemcpy(buffer, text, length + 1);
    return length;
}
