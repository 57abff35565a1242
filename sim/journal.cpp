#include "sim/journal.h"

#include "sim/sim_files.h"

#include <cstdio>

namespace {

// Taken when the DLL is loaded: static initialisation runs at attach time.
const ULONGLONG loadTick = GetTickCount64();

} // namespace

bool journalOn()
{
    // A journal sent to NUL is neither composed nor written: a benchmark that
    // wants no journal should not measure a line per call either.
    return !journalToNul();
}

std::vector<std::string>& memoryJournal()
{
    static std::vector<std::string> lines;
    return lines;
}

std::function<void(const std::string&)>& memoryJournalWatcher()
{
    static std::function<void(const std::string&)> watcher;
    return watcher;
}

void journalLine(const std::string& text)
{
    if (!journalOn())
        return;
    if (noFiles()) {
        memoryJournal().push_back(text);
        // A copy: the watcher may replace itself.
        if (const auto watcher = memoryJournalWatcher())
            watcher(text);
        return;
    }
    const std::wstring& path = journalPath();
    const std::string line = std::to_string(GetTickCount64() - loadTick) + " " + text + "\n";
    // Append-only and shared every way, so a reader in another process never
    // blocks the sim; each line goes out in one unbuffered write, so a reader
    // sees whole lines at once. The file stays open while its name stays the
    // same: opening it per line cost more than all of Kestra's own work.
    static HANDLE file = INVALID_HANDLE_VALUE;
    static std::wstring openPath;
    if (file == INVALID_HANDLE_VALUE || path != openPath) {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        openPath = path;
        if (file == INVALID_HANDLE_VALUE)
            return;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

CallLine::CallLine(const std::string& object, const char* method) : called(method)
{
    if (active)
        line = object.empty() ? std::string(method) : object + " " + method;
}

void CallLine::text(const char* key, const std::string& value)
{
    if (active)
        line += std::string(" ") + key + "=" + value;
}

void CallLine::number(const char* key, long long value)
{
    if (active)
        text(key, std::to_string(value));
}

void CallLine::hex(const char* key, unsigned long value)
{
    if (active)
        text(key, hexText(value));
}

void CallLine::append(const CallLine& values)
{
    if (active)
        line += values.line;
}

HRESULT CallLine::finish(HRESULT hr)
{
    if (active)
        journalLine(line + " -> " + hresultText(hr));
    return hr;
}

std::string hexText(unsigned long long value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", value);
    return text;
}

std::string hresultText(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                        nullptr);
    return result;
}

std::string interfaceName(REFIID iid)
{
    if (IsEqualIID(iid, IID_IDirectInput8W))
        return "IDirectInput8W";
    if (IsEqualIID(iid, IID_IDirectInput8A))
        return "IDirectInput8A";
    if (IsEqualIID(iid, IID_IDirectInputDevice8W))
        return "IDirectInputDevice8W";
    if (IsEqualIID(iid, IID_IDirectInputEffect))
        return "IDirectInputEffect";
    if (IsEqualIID(iid, IID_IUnknown))
        return "IUnknown";
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(iid.Data1), iid.Data2, iid.Data3, iid.Data4[0], iid.Data4[1],
                  iid.Data4[2], iid.Data4[3], iid.Data4[4], iid.Data4[5], iid.Data4[6], iid.Data4[7]);
    return text;
}
