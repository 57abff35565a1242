// Runs the real kestra.exe in a folder of its own and reaches into its windows from outside, as a user or another
// program would.
#pragma once

#include "tests/support/test_folder.h"

#include <filesystem>
#include <functional>

// How long a wait on Kestra may take: a cold Wine start on a busy two-core machine can take well over 10 s.
constexpr DWORD patientMs = 60000;
// Waits up to timeoutMs for condition to hold, checking every 20 ms.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs = patientMs);

// A Linux path as Wine shows it, on drive Z:.
inline std::filesystem::path onDriveZ(const std::string& linuxPath)
{
    return std::filesystem::path("Z:" + linuxPath).make_preferred();
}

// The kestra.exe and simulated dinput8.dll that KestraProcess starts, as Linux paths: the build's own, unless a
// benchmark names others.
extern std::string kestraExePath;
extern std::string kestraSimPath;

// Which DirectInput kestra.exe talks to: Wine's own, or the simulated stick, copied beside it and preferred to Wine's.
enum class DirectInput { Wine, Simulated };

class KestraProcess {
public:
    // Starts kestra.exe with folder as its working directory.
    explicit KestraProcess(const TestFolder& folder, DirectInput directInput = DirectInput::Wine);
    // Kills the process if a test left it running.
    ~KestraProcess();
    KestraProcess(const KestraProcess&) = delete;
    KestraProcess& operator=(const KestraProcess&) = delete;

    bool started() const { return process.hProcess != nullptr; }
    DWORD processId() const { return process.dwProcessId; }
    HANDLE handle() const { return process.hProcess; }

    // A top-level window of this process with the given class and title.
    HWND findWindow(const wchar_t* className, const wchar_t* title) const;
    // The main window, once it exists.
    HWND mainWindow(DWORD timeoutMs = patientMs) const;
    // The main window's controls in creation order, once the first tick has filled the hotkey list; none if that does
    // not come in time.
    std::vector<HWND> waitUntilRunning(DWORD timeoutMs = patientMs) const;

    // Waits for the process to end; its exit code, or -1 on timeout.
    long waitForExit(DWORD timeoutMs = patientMs);
    // Closes the main window as a user would, then waits for the exit.
    long close(DWORD timeoutMs = patientMs);

private:
    PROCESS_INFORMATION process{};
};

// The message box "VIZazav" of a process: its text, and a way to close it.
struct MessageBoxSeen {
    HWND window = nullptr;
    std::wstring text;
};
MessageBoxSeen waitForMessageBox(const KestraProcess& kestra, DWORD timeoutMs = patientMs);
// A key down or up on the desktop, through SendInput as a keyboard's would be.
void pressKey(WORD key, bool down);

// The controls of the main window, in creation order.
std::vector<HWND> controlsOf(HWND mainWindow);
std::wstring textOf(HWND window);
// Each answer from Kestra waits for its next message round (up to 50 ms).
int entryCount(HWND list);
