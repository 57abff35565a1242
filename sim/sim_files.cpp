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

// The environment as the last DirectInput8Create found it. Looking a
// variable up scans Wine's whole environment block; doing that at every call
// cost more than the rest of the sim.
struct SimEnvironment {
    std::wstring config, input, journal;
    bool journalToNul = false;
    bool freeReleased = false;
};

SimEnvironment readEnvironment()
{
    SimEnvironment environment;
    environment.config = pathFrom(L"KESTRA_SIM_CONFIG", L"sim-config.txt");
    environment.input = pathFrom(L"KESTRA_SIM_INPUT", L"sim-input.txt");
    environment.journal = pathFrom(L"KESTRA_SIM_JOURNAL", L"sim-journal.txt");
    environment.journalToNul =
        CompareStringOrdinal(environment.journal.c_str(), -1, L"NUL", -1, TRUE) == CSTR_EQUAL;
    wchar_t value[8];
    const DWORD length = GetEnvironmentVariableW(L"KESTRA_SIM_FREE_RELEASED", value, 8);
    environment.freeReleased = length == 1 && value[0] == L'1';
    return environment;
}

bool filesUnused = false;

// Read at the first use, unless there are no files: then every setting keeps
// its default.
SimEnvironment& environment()
{
    static bool read = false;
    static SimEnvironment current;
    if (!read && !filesUnused)
        current = readEnvironment();
    read = true;
    return current;
}

} // namespace

void rereadEnvironment()
{
    environment() = readEnvironment();
}

void useNoFiles()
{
    filesUnused = true;
    environment() = SimEnvironment{};
}

bool noFiles()
{
    return filesUnused;
}

const std::wstring& configPath()
{
    return environment().config;
}

const std::wstring& inputPath()
{
    return environment().input;
}

const std::wstring& journalPath()
{
    return environment().journal;
}

bool journalToNul()
{
    return environment().journalToNul;
}

bool freeReleasedObjects()
{
    return environment().freeReleased;
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
