#include "tests/support/kestra_process.h"

std::string kestraExePath = KESTRA_EXE_PATH;
std::string kestraSimPath = KESTRA_SIM_PATH;

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(20);
    }
    return true;
}

KestraProcess::KestraProcess(const TestFolder& folder, DirectInput directInput)
{
    std::wstring exe = onDriveZ(kestraExePath);
    if (directInput == DirectInput::Simulated) {
        // Both beside each other, as on Windows, where a dinput8.dll next to the program is loaded first. Wine loads
        // its own unless told otherwise for that program, and reads no WINEDLLOVERRIDES from a child's environment: the
        // rule goes into the prefix's registry. Where no dinput8.dll lies beside kestra.exe, Wine still falls back to
        // its own.
        const std::wstring copy = folder.file(L"kestra.exe");
        if (!CopyFileW(exe.c_str(), copy.c_str(), FALSE) ||
            !CopyFileW(onDriveZ(kestraSimPath).c_str(), folder.file(L"dinput8.dll").c_str(), FALSE))
            return;
        exe = copy;
        const wchar_t order[] = L"native,builtin";
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\kestra.exe\\DllOverrides", L"dinput8", REG_SZ,
                        order, sizeof(order));
    }
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.path().c_str(),
                        &startup, &process))
        process = {};
}

KestraProcess::~KestraProcess()
{
    if (process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

HWND KestraProcess::findWindow(const wchar_t* className, const wchar_t* title) const
{
    // FindWindowExW reads titles without messaging, so a busy window does not stall it; another test's kestra.exe may
    // show the same window meanwhile.
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, className, title));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process.dwProcessId)
            return window;
    }
    return nullptr;
}

HWND KestraProcess::mainWindow(DWORD timeoutMs) const
{
    HWND window = nullptr;
    waitUntil([&] { return (window = findWindow(L"KESTRA", L"Kestra")) != nullptr; }, timeoutMs);
    return window;
}

std::vector<HWND> KestraProcess::waitUntilRunning(DWORD timeoutMs) const
{
    std::vector<HWND> controls;
    const HWND window = mainWindow(timeoutMs);
    const auto running = [&] { return (controls = controlsOf(window)).size() == 31 && entryCount(controls[30]) > 0; };
    return window && waitUntil(running, timeoutMs) ? controls : std::vector<HWND>();
}

long KestraProcess::close(DWORD timeoutMs)
{
    PostMessageW(mainWindow(0), WM_CLOSE, 0, 0);
    return waitForExit(timeoutMs);
}

long KestraProcess::waitForExit(DWORD timeoutMs)
{
    DWORD code = 0;
    const bool ended = process.hProcess && WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    return ended && GetExitCodeProcess(process.hProcess, &code) ? static_cast<long>(code) : -1;
}

MessageBoxSeen waitForMessageBox(const KestraProcess& kestra, DWORD timeoutMs)
{
    MessageBoxSeen seen;
    if (!waitUntil([&] { return (seen.window = kestra.findWindow(L"#32770", L"VIZazav")) != nullptr; }, timeoutMs))
        return seen;
    // The message is the box's one static text that is not its icon.
    for (HWND child = nullptr; (child = FindWindowExW(seen.window, child, L"Static", nullptr));)
        if (std::wstring text = textOf(child); !text.empty())
            seen.text = text;
    return seen;
}

void pressKey(WORD key, bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(input));
}

std::vector<HWND> controlsOf(HWND mainWindow)
{
    std::vector<HWND> controls;
    for (HWND child = GetWindow(mainWindow, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        controls.push_back(child);
    return controls;
}

std::wstring textOf(HWND window)
{
    wchar_t text[512] = {};
    // WM_GETTEXT, not GetWindowTextW, which does not ask another process's controls.
    SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

int entryCount(HWND list)
{
    return static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
}

