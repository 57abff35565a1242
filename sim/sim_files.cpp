#include "sim/sim_files.h"

#include "sim/dinput_api.h"

namespace {

std::wstring pathFrom(const wchar_t* variable, const wchar_t* fallback)
{
    wchar_t value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(variable, value, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return fallback;
    return value;
}

// The files are a few lines each; anything longer is cut here.
constexpr DWORD maxFileSize = 64 * 1024;

} // namespace

std::wstring configPath()
{
    return pathFrom(L"KESTRA_SIM_CONFIG", L"sim-config.txt");
}

std::wstring inputPath()
{
    return pathFrom(L"KESTRA_SIM_INPUT", L"sim-input.txt");
}

std::wstring journalPath()
{
    return pathFrom(L"KESTRA_SIM_JOURNAL", L"sim-journal.txt");
}

bool freeReleasedObjects()
{
    wchar_t value[8];
    const DWORD length = GetEnvironmentVariableW(L"KESTRA_SIM_FREE_RELEASED", value, 8);
    return length == 1 && value[0] == L'1';
}

bool readTextFile(const std::wstring& path, std::string& text)
{
    // Shared every way so that a writer, or a rename over the file, never
    // waits for the sim.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    text.assign(maxFileSize, '\0');
    DWORD read = 0;
    const BOOL ok = ReadFile(file, text.data(), maxFileSize, &read, nullptr);
    CloseHandle(file);
    text.resize(ok ? read : 0);
    return ok != FALSE;
}
