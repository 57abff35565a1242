// A folder of a test's own for "opt.dat" and the files beside it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// A fresh, empty folder under the temporary folder; removed with its files
// by the destructor.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::wstring& path() const { return folder; }
    std::wstring file(const wchar_t* name) const { return folder + L"\\" + name; }
    std::vector<std::uint8_t> read(const wchar_t* name) const;
    void write(const wchar_t* name, const std::vector<std::uint8_t>& bytes) const;

private:
    std::wstring folder;
};
