// What one idle tick costs the engine, against the simulated stick in
// process: the program's own share of a tick, without any device latency,
// the sim's own work (its journal in memory) included.
#include "app/main_loop.h"
#include "app/state.h"
#include "bench/bench_clock.h"
#include "ffb/polling.h"
#include "tests/support/kestra_fixture.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * (values.size() - 1))];
}

struct Bench : KestraFixture {
    void TestBody() override {}

    // Kestra as after its first tick: both trimmers on, the first set playing.
    void start()
    {
        SetUp();
        Settings.trimmerMode = TrimmerBoth;
        Settings.holdButton = 1;
        Settings.toggleButton = 2;
        Settings.centerButton = 3;
        runIdleTick();
        simClearJournal();
    }
    void stop() { TearDown(); }

    static void input(const char* buttons, LONG x, LONG y, DWORD pov) { setInput(0, buttons, x, y, pov); }
    // DirectInput calls since the last look; the sim's own force lines are none.
    static double journalLines()
    {
        double lines = 0;
        for (const SimCall& call : parseSimCalls(simJournal()))
            lines += call.method != "force";
        simClearJournal();
        return lines;
    }
};

const DWORD hatAngles[] = {0, 9000, 0xFFFFFFFF, 18000, 27000, 0xFFFFFFFF};

} // namespace

int main()
{
    Bench bench;
    bench.start();

    // Idle ticks with the stick moving and the hat stepping.
    const int ticks = 20000;
    std::vector<double> micros;
    std::vector<double> calls;
    micros.reserve(ticks);
    for (int i = 0; i < ticks; ++i) {
        Bench::input("", (i * 37) % 65536, 65535 - (i * 53) % 65536, hatAngles[(i / 50) % 6]);
        const double begin = nowMs();
        runIdleTick();
        micros.push_back((nowMs() - begin) * 1000.0);
        calls.push_back(Bench::journalLines());
    }
    std::printf("idle tick, both trimmers, forces playing | median %.1f us | p99 %.1f us | max %.1f us | %d ticks\n",
                percentile(micros, 0.5), percentile(micros, 0.99), percentile(micros, 1.0), ticks);
    std::printf("DirectInput calls per idle tick | median %.0f | max %.0f\n", percentile(calls, 0.5),
                percentile(calls, 1.0));

    // What the watch of the stick adds to every tick, whatever the trimmers: a Poll of the acquired stick.
    std::vector<double> watchMicros;
    watchMicros.reserve(ticks);
    Bench::journalLines();
    for (int i = 0; i < ticks; ++i) {
        const double begin = nowMs();
        watchStick();
        watchMicros.push_back((nowMs() - begin) * 1000.0);
    }
    std::printf("the stick's watch alone, stick acquired | median %.2f us | p99 %.2f us | %.2f DirectInput calls a tick\n",
                percentile(watchMicros, 0.5), percentile(watchMicros, 0.99), Bench::journalLines() / ticks);

    // The centre button from a corner: the whole re-centre runs inside one tick.
    std::vector<double> centreMicros;
    std::size_t centreCalls = 0;
    for (int i = 0; i < 200; ++i) {
        trimX = 10000;
        trimY = -10000;
        buttonState[Settings.centerButton] = 0;
        Bench::input("0001", 32767, 32767, 0xFFFFFFFF);
        Bench::journalLines();
        const double begin = nowMs();
        runIdleTick();
        centreMicros.push_back((nowMs() - begin) * 1000.0);
        centreCalls = static_cast<std::size_t>(Bench::journalLines());
        Bench::input("", 32767, 32767, 0xFFFFFFFF);
        runIdleTick();
    }
    std::printf("centre button from a corner, one tick | median %.1f us | p99 %.1f us | %zu DirectInput calls | "
                "trim after %d,%d\n",
                percentile(centreMicros, 0.5), percentile(centreMicros, 0.99), centreCalls, trimX, trimY);

    bench.stop();
    return 0;
}
