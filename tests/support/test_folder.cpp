#include "tests/support/test_folder.h"

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

TestFolder::TestFolder()
{
    static int serial = 0;
    std::error_code error;
    const fs::path prefix = fs::temp_directory_path(error) / (L"kestra-test-" + std::to_wstring(GetCurrentProcessId()));
    // Wine reuses process ids, and a crashed run leaves its folder behind.
    do {
        folder = prefix.wstring() + L"-" + std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++serial);
    } while (!fs::create_directory(folder, error) && !error);
}

TestFolder::~TestFolder()
{
    // remove_all leaves read-only files behind.
    for (const std::wstring& name : names())
        SetFileAttributesW(file(name.c_str()).c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code error;
    fs::remove_all(folder, error);
}

// Opened shared for reading and writing: another process may be appending to it meanwhile.
std::vector<std::uint8_t> TestFolder::read(const wchar_t* name) const
{
    std::ifstream in(file(name).c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool TestFolder::write(const wchar_t* name, const std::vector<std::uint8_t>& bytes) const
{
    std::ofstream out(file(name).c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out.flush().good();
}

std::vector<std::wstring> TestFolder::names() const
{
    std::vector<std::wstring> found;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
        found.push_back(entry.path().filename().wstring());
    return found;
}
