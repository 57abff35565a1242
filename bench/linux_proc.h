// What Linux knows of a Wine process: Wine answers GetProcessTimes for
// another process with zeros, so CPU time is read from /proc, which Wine
// shows on drive Z:.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>

inline std::string readText(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string text;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        text.append(chunk, read);
    CloseHandle(file);
    return text;
}

// The first Linux process whose command line holds both needles.
inline int linuxPidWith(const std::string& needle, const std::string& other)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    int pid = 0;
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        const int candidate = _wtoi(found.cFileName);
        if (candidate <= 0)
            continue;
        const std::string commandLine =
            readText(L"Z:\\proc\\" + std::wstring(found.cFileName) + L"\\cmdline");
        if (commandLine.find(needle) != std::string::npos && commandLine.find(other) != std::string::npos)
            pid = candidate;
    } while (!pid && FindNextFileW(search, &found));
    FindClose(search);
    return pid;
}

// Time a Linux process has run on a CPU, all its threads together, in
// nanoseconds: the scheduler's own count (schedstat), not the clock-tick
// samples of utime and stime, which are too coarse for a process that runs
// a few milliseconds a second.
inline long long cpuNanoseconds(int pid)
{
    const std::wstring tasks = L"Z:\\proc\\" + std::to_wstring(pid) + L"\\task\\";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((tasks + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    long long total = 0;
    do {
        if (_wtoi(found.cFileName) > 0)
            total += std::atoll(readText(tasks + found.cFileName + L"\\schedstat").c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return total;
}
