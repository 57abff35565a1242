#include "tests/support/test_folder.h"

TestFolder::TestFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    // Wine reuses process ids, and a crashed run leaves its folder behind.
    do {
        folder = std::wstring(temp) + L"kestra-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++serial);
    } while (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
}

TestFolder::~TestFolder()
{
    for (const std::wstring& name : names()) {
        const std::wstring path = file(name.c_str());
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(path.c_str()))
            RemoveDirectoryW(path.c_str());
    }
    RemoveDirectoryW(folder.c_str());
}

std::vector<std::uint8_t> TestFolder::read(const wchar_t* name) const
{
    // Shared every way: another process may be appending to it meanwhile.
    HANDLE handle = CreateFileW(file(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    DWORD read = 0;
    while (ReadFile(handle, chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.insert(bytes.end(), chunk, chunk + read);
    CloseHandle(handle);
    return bytes;
}

bool TestFolder::write(const wchar_t* name, const std::vector<std::uint8_t>& bytes) const
{
    HANDLE handle = CreateFileW(file(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    if (!bytes.empty())
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(handle);
    return written == bytes.size();
}

std::vector<std::wstring> TestFolder::names() const
{
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(file(L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return found;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            found.push_back(name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

WorkingFolder::WorkingFolder()
{
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(path().c_str());
}

WorkingFolder::~WorkingFolder()
{
    SetCurrentDirectoryW(previous);
}
