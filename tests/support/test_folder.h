// A folder of a test's own for "opt.dat" and the files beside it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A fresh, empty folder under the temporary folder; removed with its files by the destructor.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::wstring& path() const { return folder; }
    std::wstring file(const wchar_t* name) const { return folder + L"\\" + name; }
    // A file's bytes; empty when it cannot be read.
    std::vector<std::uint8_t> read(const wchar_t* name) const;
    // False unless every byte was written.
    bool write(const wchar_t* name, const std::vector<std::uint8_t>& bytes) const;
    // The names of the files and folders in it.
    std::vector<std::wstring> names() const;

private:
    std::wstring folder;
};

// A TestFolder that is the working directory while it exists.
class WorkingFolder : public TestFolder {
public:
    WorkingFolder() { std::filesystem::current_path(path(), error); }
    ~WorkingFolder() { std::filesystem::current_path(previous, error); }

private:
    std::error_code error;
    const std::filesystem::path previous = std::filesystem::current_path(error);
};
