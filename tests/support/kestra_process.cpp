#include "tests/support/kestra_process.h"

#include <commctrl.h>

#if !defined(KESTRA_EXE_PATH) || !defined(KESTRA_SIM_PATH)
#error "KESTRA_EXE_PATH and KESTRA_SIM_PATH name the kestra.exe and the simulated dinput8.dll under test"
#endif

namespace {

// The build gives Linux paths; Wine shows the Linux root as drive Z:.
std::wstring windowsPath(const std::string& linuxPath)
{
    std::wstring path = L"Z:";
    for (char c : linuxPath)
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId)
        return TRUE;
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    // GetWindowTextW reads another process's title without waiting for it.
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    if (_wcsicmp(className, search->className) != 0 || std::wstring(title) != search->title)
        return TRUE;
    search->found = window;
    return FALSE;
}

// Wine loads its own dinput8 even when one lies beside the program, unless
// told otherwise for that program. WINEDLLOVERRIDES in a child's environment
// is not read, so the rule goes into the prefix's registry. Where no
// dinput8.dll lies beside kestra.exe, Wine still falls back to its own.
void preferDllBesideKestra()
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\kestra.exe\\DllOverrides", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    const wchar_t order[] = L"native,builtin";
    RegSetValueExW(key, L"dinput8", 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof(order));
    RegCloseKey(key);
}

} // namespace

std::string kestraExePath = KESTRA_EXE_PATH;
std::string kestraSimPath = KESTRA_SIM_PATH;

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(20);
    }
}

KestraProcess::KestraProcess(const TestFolder& folder, DirectInput directInput)
{
    std::wstring exe = windowsPath(kestraExePath);
    if (directInput == DirectInput::Simulated) {
        // Both beside each other, as on Windows, where a dinput8.dll next to
        // the program is loaded first; Wine needs the override to do the same.
        const std::wstring copy = folder.file(L"kestra.exe");
        if (!CopyFileW(exe.c_str(), copy.c_str(), FALSE) ||
            !CopyFileW(windowsPath(kestraSimPath).c_str(), folder.file(L"dinput8.dll").c_str(), FALSE))
            return;
        exe = copy;
        preferDllBesideKestra();
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
    if (!process.hProcess)
        return;
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

HWND KestraProcess::findWindow(const wchar_t* className, const wchar_t* title) const
{
    WindowSearch search{process.dwProcessId, className, title, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND KestraProcess::mainWindow(DWORD timeoutMs) const
{
    HWND window = nullptr;
    waitUntil([&] { return (window = findWindow(L"KESTRA", L"Kestra")) != nullptr; }, timeoutMs);
    return window;
}

long KestraProcess::waitForExit(DWORD timeoutMs)
{
    if (!process.hProcess || WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<long>(code);
}

MessageBoxSeen waitForMessageBox(const KestraProcess& kestra, DWORD timeoutMs)
{
    MessageBoxSeen seen;
    waitUntil([&] { return (seen.window = kestra.findWindow(L"#32770", L"VIZazav")) != nullptr; }, timeoutMs);
    if (!seen.window)
        return seen;
    // The message is the box's one static text that is not its icon.
    for (HWND child = GetWindow(seen.window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[64] = {};
        GetClassNameW(child, className, 64);
        if (_wcsicmp(className, L"Static") == 0 && !textOf(child).empty())
            seen.text = textOf(child);
    }
    return seen;
}

void pressOk(HWND messageBox)
{
    PostMessageW(messageBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
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

