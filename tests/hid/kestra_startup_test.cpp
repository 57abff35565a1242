// The real kestra.exe, with Wine's own DirectInput (no dinput8.dll beside it),
// against the virtual stick: what reaches the device at start-up.
#include "pid_reports.h"
#include "vhid_client.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::wstring windowsPath(const char* path)
{
    // Built on Linux, the path is a Unix one; Wine maps / to drive Z:.
    std::wstring p(path, path + std::strlen(path));
    if (!p.empty() && p[0] == L'/')
        p = L"Z:" + p;
    for (wchar_t& c : p)
        if (c == L'/')
            c = L'\\';
    return p;
}

std::wstring freshFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"kestra-hid-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

BOOL CALLBACK closeWindowsOf(HWND window, LPARAM processId)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(processId))
        PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

class KestraProcess {
public:
    explicit KestraProcess(const std::wstring& folder)
    {
        const std::wstring exe = folder + L"\\kestra.exe";
        if (!CopyFileW(windowsPath(KVHID_KESTRA_EXE).c_str(), exe.c_str(), FALSE))
            return;
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                            &process_))
            process_ = {};
    }
    ~KestraProcess()
    {
        if (!process_.hProcess)
            return;
        if (!closeAndWait(10s)) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    bool started() const { return process_.hProcess != nullptr; }
    bool running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
    bool closeAndWait(std::chrono::milliseconds deadline)
    {
        EnumWindows(closeWindowsOf, static_cast<LPARAM>(process_.dwProcessId));
        return WaitForSingleObject(process_.hProcess, static_cast<DWORD>(deadline.count())) == WAIT_OBJECT_0;
    }

private:
    PROCESS_INFORMATION process_ = {};
};

struct EffectSeen {
    int type = 0;
    std::vector<kvhid::SetCondition> conditions;
    bool started = false;
};

std::map<int, EffectSeen> effectsByBlock(const std::vector<kvhid::OutputRecord>& records)
{
    std::map<int, EffectSeen> blocks;
    for (const auto& r : records) {
        switch (kvhid::reportId(r)) {
        case KVHID_REPORT_SET_EFFECT:
            blocks[kvhid::setEffect(r).block].type = kvhid::setEffect(r).type;
            break;
        case KVHID_REPORT_SET_CONDITION:
            blocks[kvhid::setCondition(r).block].conditions.push_back(kvhid::setCondition(r));
            break;
        case KVHID_REPORT_EFFECT_OPERATION: {
            const auto op = kvhid::effectOperation(r);
            blocks[op.block].started = op.operation == KVHID_OP_START;
            break;
        }
        default:
            break;
        }
    }
    return blocks;
}

// Waits until `enough` holds for the reports recorded since `mark`.
bool waitForReports(kvhid::Stick& stick, std::uint32_t mark, std::vector<kvhid::OutputRecord>& records,
                    const std::function<bool(const std::map<int, EffectSeen>&)>& enough)
{
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    for (;;) {
        if (!stick.outputsSince(mark, records))
            return false;
        if (enough(effectsByBlock(records)))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(50ms);
    }
}

int startedCount(const std::map<int, EffectSeen>& blocks)
{
    int started = 0;
    for (const auto& [block, seen] : blocks)
        started += seen.started ? 1 : 0;
    return started;
}

class KestraOnWineDirectInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::string(""), std::string(KVHID_KESTRA_EXE)) << "no kestra.exe given";
        const std::wstring path = kvhid::waitForDevicePath(10s);
        ASSERT_FALSE(path.empty()) << "virtual stick not installed (run install_vhid.exe)";
        ASSERT_TRUE(stick.open(path));
        ASSERT_TRUE(stick.setInput(kvhid_input{}));
        mark = stick.mark();
    }

    kvhid::Stick stick;
    std::uint32_t mark = 0;
};

// DirectInput downloads an effect when it first starts on the acquired
// device. Kestra creates all six before acquiring, so start-up sends the
// first set, which it starts; the second set goes out when it first plays.
TEST_F(KestraOnWineDirectInput, StartUpSendsTheFirstSetAndStartsIt)
{
    std::vector<kvhid::OutputRecord> records;
    {
        KestraProcess kestra(freshFolder());
        ASSERT_TRUE(kestra.started());
        ASSERT_TRUE(waitForReports(stick, mark, records, [](const auto& blocks) { return startedCount(blocks) >= 3; }))
            << kvhid::describe(records);
        ASSERT_TRUE(kestra.running()) << "kestra.exe ended during start-up";
        ASSERT_TRUE(kestra.closeAndWait(15s)) << "kestra.exe did not close";
    }
    SCOPED_TRACE("reports at start-up:\n" + kvhid::describe(records));

    std::multiset<int> startedTypes;
    for (const auto& [block, seen] : effectsByBlock(records)) {
        if (seen.started)
            startedTypes.insert(seen.type);
        if (seen.type == KVHID_ET_SPRING) {
            // Both axes at the default 50 %, centred.
            ASSERT_EQ(2u, seen.conditions.size()) << "block " << block;
            for (const auto& c : seen.conditions) {
                EXPECT_EQ(0, c.offset);
                EXPECT_EQ(5000, c.positive);
                EXPECT_EQ(5000, c.positiveSaturation);
            }
        }
    }
    EXPECT_EQ((std::multiset<int>{KVHID_ET_SPRING, KVHID_ET_DAMPER, KVHID_ET_FRICTION}), startedTypes);
}

// With the default buttons, button 1 toggles: the first set stops and the
// second, sent now, starts with its own strengths (damper 50 %).
TEST_F(KestraOnWineDirectInput, ButtonPressPlaysTheSecondSet)
{
    std::vector<kvhid::OutputRecord> records;
    KestraProcess kestra(freshFolder());
    ASSERT_TRUE(kestra.started());
    ASSERT_TRUE(waitForReports(stick, mark, records, [](const auto& blocks) { return startedCount(blocks) >= 3; }))
        << kvhid::describe(records);
    const std::uint32_t pressed = stick.mark();
    kvhid_input input{};
    input.buttons = 1;
    ASSERT_TRUE(stick.setInput(input));
    ASSERT_TRUE(waitForReports(stick, pressed, records, [](const auto& blocks) { return startedCount(blocks) >= 3; }))
        << kvhid::describe(records);
    SCOPED_TRACE("reports after the press:\n" + kvhid::describe(records));
    input.buttons = 0;
    stick.setInput(input);
    ASSERT_TRUE(kestra.closeAndWait(15s));

    int stops = 0;
    bool damperAtHalf = false;
    for (const auto& r : records) {
        if (kvhid::reportId(r) == KVHID_REPORT_EFFECT_OPERATION && kvhid::effectOperation(r).operation == KVHID_OP_STOP)
            ++stops;
    }
    for (const auto& [block, seen] : effectsByBlock(records)) {
        if (seen.started) {
            EXPECT_GT(block, 3) << "the second set takes blocks of its own";
        }
        if (seen.type == KVHID_ET_DAMPER && !seen.conditions.empty())
            damperAtHalf = seen.conditions[0].positive == 5000;
    }
    EXPECT_GE(stops, 3) << "the first set stops";
    EXPECT_TRUE(damperAtHalf);
}

} // namespace
