// The whole kestra.exe under Wine with the simulated stick: start-up, idle
// cost, memory, restarts, and an endurance run. Figures the process itself
// reports where Wine implements them, the Linux process's /proc otherwise.
#include "bench/bench_clock.h"
#include "bench/linux_proc.h"
#include "tests/support/kestra_process.h"
#include "tests/support/sim_journal.h"
#include "tests/support/settings_bytes.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr WORD initDirectInput = 32700;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Both trimmers on (or the given mode), Hold, Toggle and Center on buttons 2,
// 3 and 4, and the stick at rest.
void prepare(const TestFolder& folder, int trimmerMode = 3)
{
    folder.write(L"opt.dat",
                 settingsFileWith({{holdAt, 1}, {toggleAt, 2}, {centerAt, 3}, {hatDeviceAt, 0}, {modeAt, trimmerMode}}));
    const std::string config = "device \"Sim Stick\" ffb axes=2\n";
    folder.write(L"sim-config.txt", Bytes(config.begin(), config.end()));
    // A stick at rest. Without the file every read would look for it, and
    // Wine searches the folder for another spelling of a missing name.
    const std::string input = "0 x=32767 y=32767 pov=-1\n";
    folder.write(L"sim-input.txt", Bytes(input.begin(), input.end()));
}

// The Linux process behind a Wine process: the one whose command line names
// the program in the given folder.
int linuxPidOf(const std::wstring& folder)
{
    std::string needle(folder.begin(), folder.end());
    return linuxPidWith(needle.substr(needle.find_last_of('\\') + 1), "kestra.exe");
}

// CPU use of Kestra's process and of the wineserver, which serves its
// window and key-state requests, over a quiet spell after start-up: percent
// of one core.
struct IdleCpu {
    double kestra, wineserver;
};

IdleCpu measureIdleCpu(int pid, int seconds)
{
    Sleep(2000);  // the start-up's last paints and Wine's own settling
    const int server = linuxPidWith("wineserver", "wineserver");
    const long long kestraBefore = cpuNanoseconds(pid);
    const long long serverBefore = server ? cpuNanoseconds(server) : 0;
    const double begin = nowMs();
    Sleep(seconds * 1000);
    const double elapsedNs = (nowMs() - begin) * 1e6;
    return {(cpuNanoseconds(pid) - kestraBefore) / elapsedNs * 100.0,
            server ? (cpuNanoseconds(server) - serverBefore) / elapsedNs * 100.0 : -1.0};
}

// What Windows counts as a process's private bytes: its committed memory
// that is neither an image nor a mapped file.
unsigned long long committedPrivateBytes(HANDLE process)
{
    unsigned long long total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
    }
    return total;
}

// A field of /proc/<pid>/status in kB.
long long statusKb(int pid, const char* field)
{
    const std::string status = readText(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\status");
    const std::size_t at = status.find(std::string(field) + ":");
    return at == std::string::npos ? -1 : std::atoll(status.c_str() + at + std::strlen(field) + 1);
}

int handleCount(DWORD processId)
{
    struct Entry {
        ULONG process;
        BYTE type, flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    std::vector<BYTE> buffer(1 << 22);
    ULONG length = 0;
    if (NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16), buffer.data(),
                                 static_cast<ULONG>(buffer.size()), &length) != 0)
        return -1;
    const ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
    const Entry* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
    int mine = 0;
    for (ULONG i = 0; i < count; ++i)
        mine += entries[i].process == processId;
    return mine;
}

int windowCount(DWORD processId)
{
    struct Count {
        DWORD process;
        int windows;
    } count{processId, 0};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* count = reinterpret_cast<Count*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == count->process) {
                ++count->windows;
                EnumChildWindows(
                    window, [](HWND, LPARAM c) -> BOOL { ++*reinterpret_cast<int*>(c); return TRUE; },
                    reinterpret_cast<LPARAM>(&count->windows));
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.windows;
}

struct Sample {
    const char* when;
    long long at;
    int handles, windows;
    long long rssKb, anonKb, privateKb;
};

void printSample(const Sample& s)
{
    std::printf("  %-16s %7lld | handles %4d | windows %3d | resident %6lld kB | private resident %6lld kB | "
                "private bytes %6lld kB\n",
                s.when, s.at, s.handles, s.windows, s.rssKb, s.anonKb, s.privateKb);
}

struct Running {
    TestFolder folder;
    SimJournal journal{folder};
    KestraProcess* kestra = nullptr;
    HWND window = nullptr;
    double windowMs = 0, firstSetMs = 0;
    int linuxPid = 0;

    // Starts Kestra and waits until the first set plays on an acquired stick.
    // Without the journal, until the window shows the settings.
    bool start(bool journalOff = false, int trimmerMode = 3)
    {
        prepare(folder, trimmerMode);
        const double begin = nowMs();
        SetEnvironmentVariableW(L"KESTRA_SIM_JOURNAL", journalOff ? L"NUL" : nullptr);
        kestra = new KestraProcess(folder, DirectInput::Simulated);
        SetEnvironmentVariableW(L"KESTRA_SIM_JOURNAL", nullptr);
        if (!waitUntil([&] { return (window = kestra->findWindow(L"KESTRA", L"Kestra")) && IsWindowVisible(window); },
                       20000))
            return false;
        windowMs = nowMs() - begin;
        if (journalOff) {
            linuxPid = linuxPidOf(folder.path());
            return !kestra->waitUntilRunning().empty();
        }
        std::string firstSpring;
        bool acquired = false;
        const bool started = waitUntil(
            [&] {
                for (const SimCall& call : journal.calls()) {
                    if (call.method == "CreateEffect" && call["type"] == "spring" && firstSpring.empty())
                        firstSpring = "eff" + call["eff"];
                    acquired = acquired || call.method == "Acquire";
                    if (acquired && call.object == firstSpring && call.method == "Start" && call.result == "0x00000000")
                        return true;
                }
                return false;
            },
            20000);
        firstSetMs = nowMs() - begin;
        linuxPid = linuxPidOf(folder.path());
        return started;
    }

    Sample sample(const char* when, long long at) const
    {
        return {when, at, handleCount(kestra->processId()), windowCount(kestra->processId()),
                statusKb(linuxPid, "VmRSS"), statusKb(linuxPid, "RssAnon"),
                static_cast<long long>(committedPrivateBytes(kestra->handle()) / 1024)};
    }

    long close()
    {
        const long code = kestra->close(30000);
        delete kestra;
        kestra = nullptr;
        return code;
    }
};

// Every object the sim handed out was released to zero references. One pass:
// after an endurance run the journal is tens of megabytes.
void printJournalBalance(const SimJournal& journal)
{
    int directInputs = 0, directInputReleases = 0, devices = 0, deviceReleases = 0, errors = 0;
    std::map<std::string, std::string> effectRefs;  // effect -> references after its last Release
    for (const SimCall& call : journal.calls()) {
        const bool created = call.result == "0x00000000";
        const bool releasedToZero = call.method == "Release" && call["refs"] == "0";
        if (call.method == "DirectInput8Create")
            directInputs += 1;
        else if (call.method == "CreateDevice")
            devices += created;
        else if (call.method == "CreateEffect" && created)
            effectRefs["eff" + call["eff"]] = "1";
        else if (call.method == "Release" && effectRefs.count(call.object))
            effectRefs[call.object] = call["refs"];
        directInputReleases += call.object == "dinput" && releasedToZero;
        deviceReleases += call.object.rfind("dev", 0) == 0 && releasedToZero;
        errors += call.has("error");
    }
    int heldEffects = 0;
    for (const auto& [effect, refs] : effectRefs)
        heldEffects += refs != "0";
    std::printf("journal balance | DirectInput objects %d created, %d released | devices %d created, %d released | "
                "effects %zu created, %d still held | calls on released objects %d\n",
                directInputs, directInputReleases, devices, deviceReleases, effectRefs.size(), heldEffects, errors);
}

} // namespace

int main(int argc, char** argv)
{
    // [--quick] [--exe <kestra.exe>] [--sim <dinput8.dll>], Linux paths; by
    // default the build's own.
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (i + 1 < argc && std::strcmp(argv[i], "--exe") == 0) {
            kestraExePath = argv[++i];
        } else if (i + 1 < argc && std::strcmp(argv[i], "--sim") == 0) {
            kestraSimPath = argv[++i];
        } else {
            std::printf("usage: kestra_process_bench [--quick] [--exe <kestra.exe>] [--sim <dinput8.dll>]\n");
            return 2;
        }
    }
    std::printf("process under test | %s | with the simulated stick %s\n", kestraExePath.c_str(),
                kestraSimPath.c_str());
    const int startRuns = quick ? 3 : 7;
    const int idleSeconds = quick ? 10 : 60;
    const int restarts = quick ? 50 : 1000;
    const int ticks = quick ? 1000 : 10000;

    // Start-up.
    std::vector<double> windowTimes, firstSetTimes;
    for (int run = 0; run < startRuns; ++run) {
        Running kestra;
        if (!kestra.start()) {
            std::printf("kestra.exe did not start with the simulated stick\n");
            return 1;
        }
        windowTimes.push_back(kestra.windowMs);
        firstSetTimes.push_back(kestra.firstSetMs);
        kestra.close();
    }
    std::printf("start to window shown | median %.0f ms | %d starts, CreateProcess to a visible main window\n",
                median(windowTimes), startRuns);
    std::printf("start to first force set playing | median %.0f ms | to the first spring's successful Start after "
                "Acquire, includes the 100 ms pause\n",
                median(firstSetTimes));

    // Idle with the sim writing no journal: closer to what Kestra costs with
    // a real stick, whose driver writes no file per call. Without trimmers
    // the tick only checks the hotkey: that is the loop's own cost.
    const struct {
        int mode;
        const char* what;
    } idleRuns[] = {{0, "no trimmer"}, {3, "both trimmers on"}};
    for (const auto& run : idleRuns) {
        Running quiet;
        if (!quiet.start(true, run.mode) || !quiet.linuxPid) {
            std::printf("kestra.exe did not start without the journal\n");
            return 1;
        }
        const IdleCpu cpu = measureIdleCpu(quiet.linuxPid, idleSeconds);
        std::printf("CPU idle, %s | %.2f %% of one core, and %.2f %% in the wineserver | CPU time of the Wine process "
                    "(all threads, schedstat) over %d s, the simulated stick writing no journal\n",
                    run.what, cpu.kestra, cpu.wineserver, idleSeconds);
        quiet.close();
    }

    // The sim keeps released objects to report calls on them; here it frees
    // them, so that what grows is Kestra's.
    SetEnvironmentVariableW(L"KESTRA_SIM_FREE_RELEASED", L"1");
    Running kestra;
    const bool started = kestra.start();
    SetEnvironmentVariableW(L"KESTRA_SIM_FREE_RELEASED", nullptr);
    if (!started || !kestra.linuxPid) {
        std::printf("kestra.exe did not start, or its Linux process was not found\n");
        return 1;
    }

    // Idle: both trimmers on, the first set playing, nobody touching anything.
    const IdleCpu cpu = measureIdleCpu(kestra.linuxPid, idleSeconds);
    std::printf("CPU idle, both trimmers on, journal on | %.2f %% of one core, and %.2f %% in the wineserver | as "
                "above, the simulated stick journaling every call to a file\n",
                cpu.kestra, cpu.wineserver);
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(kestra.kestra->handle(), &counters, sizeof(counters));
    std::printf("working set | %.1f MB now, %.1f MB peak | GetProcessMemoryInfo under Wine\n",
                counters.WorkingSetSize / 1048576.0, counters.PeakWorkingSetSize / 1048576.0);
    std::printf("private bytes | %.1f MB | committed private memory of the process as Windows sees it (VirtualQueryEx "
                "over its address space; Wine reports no PrivateUsage)\n",
                committedPrivateBytes(kestra.kestra->handle()) / 1048576.0);
    std::printf("private resident memory | %.1f MB | RssAnon of the Wine process, Wine's own Linux side included; "
                "peak resident %.1f MB (VmHWM)\n",
                statusKb(kestra.linuxPid, "RssAnon") / 1024.0, statusKb(kestra.linuxPid, "VmHWM") / 1024.0);

    // Restarts from the menu, timed by the window procedure's return.
    std::vector<double> restartTimes;
    std::vector<Sample> samples = {kestra.sample("start", 0)};
    for (int i = 1; i <= restarts; ++i) {
        const double begin = nowMs();
        SendMessageW(kestra.window, WM_COMMAND, initDirectInput, 0);
        restartTimes.push_back(nowMs() - begin);
        if (i % (restarts / 10) == 0)
            samples.push_back(kestra.sample("restarts", i));
    }
    std::printf("restart from the menu | median %.0f ms, of which 200 ms are the fixed pauses: %.0f ms of work | "
                "%d restarts, SendMessage round trip\n",
                median(restartTimes), median(restartTimes) - 200, restarts);

    // Trimmer ticks with the stick, the hat and the three buttons changing,
    // counted by the stick reads in the journal (two per tick).
    const char* buttonPatterns[] = {"0", "01", "00", "001", "000", "0001", "0000", "001", "000"};
    const DWORD hats[] = {0xFFFFFFFF, 0, 9000, 18000, 27000, 4500};
    auto stickReads = [&] {
        int reads = 0;
        for (const SimCall& call : kestra.journal.calls())
            reads += call.method == "GetDeviceState";
        return reads;
    };
    const int readsBefore = stickReads();
    int ticked = 0;
    int nextSample = ticks / 10;
    for (int step = 0; ticked < ticks; ++step) {
        InputLine input;
        input.x = (step * 7919) % 65536;
        input.y = 65535 - (step * 104729) % 65536;
        input.pov = static_cast<int>(hats[(step / 7) % 6]);
        input.buttons = buttonPatterns[step % 9];
        if (!writeInput(kestra.folder, input)) {
            std::printf("the simulated stick's input could not be replaced\n");
            return 1;
        }
        Sleep(100);
        if (step % 20 == 19) {
            ticked = (stickReads() - readsBefore) / 2;
            while (ticked >= nextSample && nextSample <= ticks) {
                samples.push_back(kestra.sample("ticks", ticked));
                nextSample += ticks / 10;
            }
        }
    }
    const int reads = stickReads() - readsBefore;
    std::printf("endurance | %d restarts, then %d trimmer ticks (%d stick reads journaled) with changing input, the "
                "sim freeing released objects | samples:\n",
                restarts, reads / 2, reads);
    for (const Sample& s : samples)
        printSample(s);

    const long code = kestra.close();
    std::printf("exit after the endurance run | code %ld\n", code);
    printJournalBalance(kestra.journal);
    return 0;
}
