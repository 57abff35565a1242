// kestra.exe on Wine's own DirectInput against the virtual stick, timed on
// the wire: the reports a quiet stick gets in each trimmer mode, the time
// from an input to the report that carries its result, and a restart. Every
// time is the driver's: it stamps each report it receives and each input it
// is given on one performance counter.
// Usage: kestra_hid_bench [--presses N] [--quiet-seconds S] [--exe <kestra.exe>]
#include "tests/hid/pid_reports.h"
#include "tests/support/kestra_process.h"
#include "tests/support/settings_bytes.h"
#include "ui/resource.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t hold = 1u << 1, center = 1u << 2;              // buttons 2 and 3
// hidclass reads the stick every 5 ms, as a USB stick's interrupt endpoint
// reports (1 to 10 ms), rather than Wine's default 200 ms for a polled device.
constexpr unsigned long pollMs = 5;

struct Percentiles {
    double p50, p99, max;
};

Percentiles percentiles(std::vector<double> values)
{
    if (values.empty())
        return {-1, -1, -1};
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values[static_cast<std::size_t>(q * (values.size() - 1) + 0.5)]; };
    return {at(0.5), at(0.99), values.back()};
}

bool isReport(const kvhid::OutputRecord& r, int id)
{
    return r.ioctl != KVHID_IOCTL_SET_INPUT && r.ioctl != KVHID_RECORD_PLUGGED_IN && !r.bytes.empty()
        && r.bytes[0] == id;
}

class Rig {
public:
    // Kestra on the stick with both trimmers, Hold on button 2, Center on 3
    // and Toggle on 6 (never pressed); false if it does not start.
    bool start()
    {
        const std::wstring path = kvhid::waitForDevicePath(std::chrono::seconds(10));
        if (path.empty() || !stick.open(path) || !stick.setInput(kvhid_input{}) || !stick.setPollMs(pollMs))
            return false;
        folder.write(L"opt.dat", settingsFileWith({{holdAt, 1}, {toggleAt, 5}, {centerAt, 2}, {modeAt, 3}}));
        const std::uint32_t mark = stick.mark();
        kestra = std::make_unique<KestraProcess>(folder);
        if (!kestra->started() || !(window = kestra->mainWindow()))
            return false;
        if (!waitFor(mark, [](const std::vector<kvhid::OutputRecord>& r) {
                return kvhid::decode(r).playing.size() >= 3;
            }))
            return false;
        const kvhid::Reports startUp = kvhid::decode(records);
        firstSet = startUp.playing;
        spring = *startUp.springs.begin();
        return true;
    }

    ~Rig()
    {
        if (window)
            kestra->close();
    }

    // Waits up to 5 s until `enough` holds for the records since `from`.
    bool waitFor(std::uint32_t from, const std::function<bool(const std::vector<kvhid::OutputRecord>&)>& enough)
    {
        return waitUntil([&] { return stick.outputsSince(from, records) && enough(records); }, 5000);
    }

    // Sets the input and returns the driver's time for it (ms), or -1.
    double set(const kvhid_input& input, std::uint32_t* mark)
    {
        *mark = stick.mark();
        if (!stick.setInput(input) || !stick.outputsSince(*mark, records))
            return -1;
        const auto it = std::find_if(records.begin(), records.end(),
                                     [](const kvhid::OutputRecord& r) { return r.ioctl == KVHID_IOCTL_SET_INPUT; });
        return it == records.end() ? -1 : it->ms;
    }

    // The time from the input to the first record after it that `result`
    // names, or -1 when none comes.
    double latency(const kvhid_input& input, const std::function<bool(const kvhid::OutputRecord&)>& result)
    {
        // The previous result came from a tick: without a pause of random
        // length every input would fall just after one and wait a whole tick.
        Sleep(static_cast<DWORD>(std::rand() % 50));
        std::uint32_t mark = 0;
        const double at = set(input, &mark);
        const kvhid::OutputRecord* found = nullptr;
        waitFor(mark, [&](const std::vector<kvhid::OutputRecord>& r) {
            const auto it = std::find_if(r.begin(), r.end(), result);
            found = it == r.end() ? nullptr : &*it;
            return found != nullptr;
        });
        return at < 0 || !found ? -1 : found->ms - at;
    }

    kvhid::Stick stick;
    TestFolder folder;
    std::unique_ptr<KestraProcess> kestra;
    HWND window = nullptr;
    std::vector<kvhid::OutputRecord> records;
    std::set<int> firstSet;
    int spring = 0;
};

// (a) Reports a stick at rest gets in each trimmer mode.
void quietTraffic(Rig& rig, int seconds)
{
    const struct { WORD command; const char* name; } modes[] = {
        {IDM_NO_TRIMMER, "None"}, {IDM_INSTANT_TRIMMER, "Instantaneous"},
        {IDM_PROGRESSIVE_TRIMMER, "Progressive"}, {IDM_BOTH_TRIMMERS, "Both"}};
    for (const auto& mode : modes) {
        SendMessageW(rig.window, WM_COMMAND, mode.command, 0);
        Sleep(200);
        const std::uint32_t mark = rig.stick.mark();
        Sleep(static_cast<DWORD>(seconds) * 1000);
        rig.stick.outputsSince(mark, rig.records);
        std::map<int, int> counts;
        std::map<int, int> operations;  // Effect Operation by operation
        for (const kvhid::OutputRecord& r : rig.records) {
            if (r.ioctl == KVHID_IOCTL_SET_INPUT || r.ioctl == KVHID_RECORD_PLUGGED_IN || r.bytes.empty())
                continue;
            ++counts[r.bytes[0]];
            if (r.bytes[0] == KVHID_REPORT_EFFECT_OPERATION && r.bytes.size() > 2)
                ++operations[r.bytes[2]];
        }
        const auto perSecond = [&](int n) { return n / static_cast<double>(seconds); };
        int others = 0;
        for (const auto& [id, n] : counts)
            if (id != KVHID_REPORT_SET_CONDITION && id != KVHID_REPORT_EFFECT_OPERATION)
                others += n;
        std::printf("reports per second at rest, trimmer mode %s | Set Condition %.1f, Effect Operation %.1f "
                    "(Start %.1f, Stop %.1f), other %.1f | every report the driver received over %d s, the stick "
                    "at rest, forces playing\n",
                    mode.name, perSecond(counts[KVHID_REPORT_SET_CONDITION]),
                    perSecond(counts[KVHID_REPORT_EFFECT_OPERATION]), perSecond(operations[KVHID_OP_START]),
                    perSecond(operations[KVHID_OP_STOP]), perSecond(others), seconds);
    }
}

// (b) Input to the report that carries its result, `presses` of each kind.
void inputToForce(Rig& rig, int presses)
{
    std::vector<double> holdPressed, holdReleased, centred, hatPushed, recentreSpan, recentreReports;
    const int spring = rig.spring;
    const auto isSpringCondition = [&](const kvhid::OutputRecord& r) {
        return isReport(r, KVHID_REPORT_SET_CONDITION) && r.bytes.size() > 1 && r.bytes[1] == spring;
    };
    const auto startsSecondSet = [&](const kvhid::OutputRecord& r) {
        return isReport(r, KVHID_REPORT_EFFECT_OPERATION) && r.bytes.size() > 2 && r.bytes[2] == KVHID_OP_START
            && !rig.firstSet.count(r.bytes[1]);
    };
    // The centre button's result is the spring's record that brings the
    // second axis (the stick's X, turned by "Swap Axis") back to 0: it halves
    // its way there within one tick. The first axis stays at 0 throughout.
    const auto reachesCentre = [&](const kvhid::OutputRecord& r) {
        return isSpringCondition(r) && r.bytes.size() > 4 && r.bytes[2] == 1 && r.bytes[3] == 0 && r.bytes[4] == 0;
    };
    const auto keep = [](std::vector<double>& into, double ms) {
        if (ms >= 0)
            into.push_back(ms);
    };
    for (int i = 0; i < presses; ++i) {
        // The stick to one side or the other, so that each Hold moves the centre.
        const std::int16_t x = i % 2 ? -16384 : 16384;
        keep(holdPressed, rig.latency(kvhid_input{x, 0, 0, hold}, startsSecondSet));
        keep(holdReleased, rig.latency(kvhid_input{x, 0, 0, 0}, isSpringCondition));
        keep(centred, rig.latency(kvhid_input{x, 0, 0, center}, reachesCentre));
        // The re-centre's own work on the wire: its first report to its last.
        const auto first = std::find_if(rig.records.begin(), rig.records.end(), isSpringCondition);
        const auto last = std::find_if(first, rig.records.end(), reachesCentre);
        if (last != rig.records.end()) {
            recentreSpan.push_back(last->ms - first->ms);
            recentreReports.push_back(static_cast<double>(last - first + 1));
        }
        std::uint32_t mark = 0;
        rig.set(kvhid_input{x, 0, 0, 0}, &mark);
        keep(hatPushed, rig.latency(kvhid_input{x, 0, 1, 0}, isSpringCondition));
        rig.set(kvhid_input{x, 0, 0, 0}, &mark);
        Sleep(120);  // two ticks: the hat's release is read before the next press
    }
    const struct { const char* what; const std::vector<double>& ms; const char* result; } kinds[] = {
        {"Hold pressed", holdPressed, "the second set's first Effect Operation Start"},
        {"Hold released", holdReleased, "the spring's Set Condition with the new centre"},
        {"Center pressed", centred, "the spring's Set Condition back at the centre"},
        {"hat pushed", hatPushed, "the spring's Set Condition one step on"},
    };
    for (const auto& kind : kinds) {
        const Percentiles p = percentiles(kind.ms);
        std::printf("input to force, %s | p50 %.1f ms, p99 %.1f ms, max %.1f ms (%zu of %d) | driver time from the "
                    "input to %s; bound: one tick, 50 ms plus its work\n",
                    kind.what, p.p50, p.p99, p.max, kind.ms.size(), presses, kind.result);
    }
    const Percentiles span = percentiles(recentreSpan), reports = percentiles(recentreReports);
    std::printf("the Center press's tick on the wire | p50 %.1f ms, p99 %.1f ms, max %.1f ms, p50 %.0f reports | "
                "from its first report to the one back at the centre: the tick's own work\n",
                span.p50, span.p99, span.max, reports.p50);
}

// (c) The menu's Init DirectInput to the first set playing on the wire.
void restart(Rig& rig, int restarts)
{
    std::vector<double> firstStart, setPlays;
    for (int i = 0; i < restarts; ++i) {
        std::uint32_t mark = 0;
        const double at = rig.set(kvhid_input{}, &mark);  // the driver's time, just before the command
        SendMessageW(rig.window, WM_COMMAND, IDM_INIT_DIRECTINPUT, 0);
        std::vector<double> starts;
        rig.waitFor(mark, [&](const std::vector<kvhid::OutputRecord>& r) {
            starts.clear();
            for (const kvhid::OutputRecord& record : kvhid::sinceLastReset(r))
                if (isReport(record, KVHID_REPORT_EFFECT_OPERATION) && record.bytes.size() > 2
                    && record.bytes[2] == KVHID_OP_START)
                    starts.push_back(record.ms);
            return starts.size() >= 3;
        });
        if (at >= 0 && starts.size() >= 3) {
            firstStart.push_back(starts.front() - at);
            setPlays.push_back(starts[2] - at);
        }
        Sleep(200);
    }
    const Percentiles first = percentiles(firstStart), plays = percentiles(setPlays);
    std::printf("restart on the wire, menu Init DirectInput | first Start p50 %.0f ms (max %.0f), all three "
                "p50 %.0f ms (max %.0f), %zu of %d | driver time from an input set just before the menu command "
                "to the first set's Effect Operation Start after the restart's Device Control Reset\n",
                first.p50, first.max, plays.p50, plays.max, setPlays.size(), restarts);
}

} // namespace

int main(int argc, char** argv)
{
    int presses = 100, quietSeconds = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--presses") == 0)
            presses = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--quiet-seconds") == 0)
            quietSeconds = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--exe") == 0)
            kestraExePath = argv[i + 1];
    }
    Rig rig;
    if (!rig.start()) {
        std::printf("kestra.exe did not start on the virtual stick (is install_vhid run in this prefix?)\n");
        return 1;
    }
    quietTraffic(rig, quietSeconds);
    inputToForce(rig, presses);
    restart(rig, 20);
    return 0;
}
