// What one idle tick costs the engine, against in-process fakes that answer
// at once: the program's own share of a tick, without any device latency.
#include "app/main_loop.h"
#include "app/state.h"
#include "bench/bench_clock.h"
#include "tests/support/kestra_test.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * (values.size() - 1))];
}

struct Bench : KestraTest {
    void TestBody() override {}

    FakeDevice* stick = nullptr;

    // Kestra as after its first tick: both trimmers on, the first set playing.
    void start()
    {
        SetUp();
        FakeDirectInput* dinput = installFakeDirectInput();
        stick = dinput->attach("Stick", true);
        stick->axisFlags = {DIDOI_FFACTUATOR, DIDOI_FFACTUATOR};
        Settings.trimmerMode = TrimmerBoth;
        Settings.holdButton = 1;
        Settings.toggleButton = 2;
        Settings.centerButton = 3;
        runIdleTick();
        journal.clear();
    }

    void stop() { TearDown(); }
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
        bench.stick->state.lX = (i * 37) % 65536;
        bench.stick->state.lY = 65535 - (i * 53) % 65536;
        bench.stick->state.rgdwPOV[0] = hatAngles[(i / 50) % 6];
        journal.clear();
        const double begin = nowMs();
        runIdleTick();
        micros.push_back((nowMs() - begin) * 1000.0);
        calls.push_back(static_cast<double>(journal.size()));
    }
    std::printf("idle tick, both trimmers, forces playing | median %.1f us | p99 %.1f us | max %.1f us | %d ticks\n",
                percentile(micros, 0.5), percentile(micros, 0.99), percentile(micros, 1.0), ticks);
    std::printf("DirectInput calls per idle tick | median %.0f | max %.0f\n", percentile(calls, 0.5),
                percentile(calls, 1.0));

    // The centre button from a corner: the whole re-centre runs inside one tick.
    std::vector<double> centreMicros;
    std::size_t centreCalls = 0;
    for (int i = 0; i < 200; ++i) {
        trimX = 10000;
        trimY = -10000;
        buttonState[Settings.centerButton] = 0;
        bench.stick->state.rgdwPOV[0] = 0xFFFFFFFF;
        bench.stick->state.rgbButtons[Settings.centerButton] = 0x80;
        journal.clear();
        const double begin = nowMs();
        runIdleTick();
        centreMicros.push_back((nowMs() - begin) * 1000.0);
        centreCalls = journal.size();
        bench.stick->state.rgbButtons[Settings.centerButton] = 0;
        runIdleTick();
    }
    std::printf("centre button from a corner, one tick | median %.1f us | p99 %.1f us | %zu DirectInput calls | "
                "trim after %d,%d\n",
                percentile(centreMicros, 0.5), percentile(centreMicros, 0.99), centreCalls, trimX, trimY);

    bench.stop();
    return 0;
}
