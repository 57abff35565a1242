// Installs the virtual force-feedback stick in the current Wine prefix (or on
// Windows, in test mode): a root device with the stick's hardware ID, its
// driver from kestra_vhid.inf beside this program, and the driver started.
// Usage: install_vhid [--ffb-axes 1|2]
// Exit code 0 once the HID device is present.
#include "kestra_vhid.h"
#include "vhid_client.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

namespace {

std::wstring besideThisProgram(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    return dir + name;
}

bool setFfbAxes(DWORD axes)
{
    HKEY key;
    const wchar_t* path = L"System\\CurrentControlSet\\Services\\" KVHID_SERVICE_NAME;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const bool ok = RegSetValueExW(key, L"FfbAxes", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&axes), sizeof(axes))
        == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

// On a freshly booted prefix the service database can still be locked by the
// services being started (ERROR_SERVICE_DATABASE_LOCKED): retried, bounded.
bool startDriver()
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) {
        std::fwprintf(stderr, L"OpenSCManager failed: %lu\n", GetLastError());
        return false;
    }
    SC_HANDLE service = OpenServiceW(manager, KVHID_SERVICE_NAME, SERVICE_START | SERVICE_QUERY_STATUS);
    bool ok = false;
    if (!service) {
        std::fwprintf(stderr, L"OpenService failed: %lu\n", GetLastError());
    } else {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (;;) {
            if (StartServiceW(service, 0, nullptr) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING) {
                ok = true;
                break;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_SERVICE_DATABASE_LOCKED || std::chrono::steady_clock::now() >= deadline) {
                std::fwprintf(stderr, L"StartService failed: %lu\n", error);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return ok;
}

std::string contentsOf(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

// Setup cannot replace a driver that is loaded, and says nothing about it:
// a prefix whose services loaded an older build would test that build.
bool installedDriverIsThisBuild()
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::string installed = contentsOf(std::wstring(system) + L"\\drivers\\kestra_vhid.sys");
    return !installed.empty() && installed == contentsOf(besideThisProgram(L"kestra_vhid.sys"));
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    DWORD axes = 2;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--ffb-axes") == 0 && i + 1 < argc)
            axes = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
    }
    if (axes != 1 && axes != 2) {
        std::fwprintf(stderr, L"--ffb-axes takes 1 or 2\n");
        return 2;
    }

    // Read by the driver when it loads, so it goes in first.
    if (!setFfbAxes(axes)) {
        std::fwprintf(stderr, L"cannot write the driver's settings\n");
        return 1;
    }
    if (!kvhid::plugIn(besideThisProgram(L"kestra_vhid.inf")))
        return 1;
    if (!installedDriverIsThisBuild()) {
        std::fwprintf(stderr, L"an older kestra_vhid.sys is loaded: stop this prefix's Wine server and install again\n");
        return 1;
    }
    if (!startDriver())
        return 1;

    const std::wstring path = kvhid::waitForDevicePath(std::chrono::seconds(30));
    if (path.empty()) {
        std::fwprintf(stderr, L"the HID device did not appear\n");
        return 1;
    }
    std::wprintf(L"%ls\n", path.c_str());
    return 0;
}
