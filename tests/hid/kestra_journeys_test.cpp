// The real kestra.exe on Wine's own DirectInput (no dinput8.dll beside it)
// against the virtual stick: the PID reports its actions turn into.
#include "pid_reports.h"
#include "vhid_client.h"
#include "tests/support/kestra_process.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace {

using namespace std::chrono_literals;

struct EffectSeen {
    int type = 0;
    std::map<int, kvhid::SetCondition> conditions;  // by axis, the latest
    bool started = false;
    bool stopped = false;
};

std::map<int, EffectSeen> effectsByBlock(const std::vector<kvhid::OutputRecord>& records)
{
    std::map<int, EffectSeen> blocks;
    for (const auto& r : records) {
        switch (kvhid::reportId(r)) {
        case KVHID_REPORT_SET_EFFECT:
            blocks[kvhid::setEffect(r).block].type = kvhid::setEffect(r).type;
            break;
        case KVHID_REPORT_SET_CONDITION: {
            const auto c = kvhid::setCondition(r);
            blocks[c.block].conditions[c.parameterOffset] = c;
            break;
        }
        case KVHID_REPORT_EFFECT_OPERATION: {
            const auto op = kvhid::effectOperation(r);
            blocks[op.block].started = op.operation == KVHID_OP_START;
            blocks[op.block].stopped = blocks[op.block].stopped || op.operation == KVHID_OP_STOP;
            break;
        }
        default:
            break;
        }
    }
    return blocks;
}

auto startedCount(const std::map<int, EffectSeen>& blocks)
{
    return std::count_if(blocks.begin(), blocks.end(), [](const auto& block) { return block.second.started; });
}

// Controls by creation order.
constexpr int springSlider = 12, hotkeyList = 30;

class KestraOnWineDirectInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring path = kvhid::waitForDevicePath(10s);
        ASSERT_FALSE(path.empty()) << "virtual stick not installed (run install_vhid.exe)";
        ASSERT_TRUE(stick.open(path));
        ASSERT_TRUE(stick.setInput(kvhid_input{}));
        mark = stick.mark();
    }

    // Starts Kestra and waits until its first set plays and the window is filled.
    void start()
    {
        kestra = std::make_unique<KestraProcess>(folder);
        ASSERT_TRUE(kestra->started());
        ASSERT_TRUE(waitFor(mark, [](const auto& blocks) { return startedCount(blocks) >= 3; }))
            << kvhid::describe(records);
        window = kestra->mainWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(waitUntil([&] { return (controls = controlsOf(window)).size() == 31; }));
        ASSERT_TRUE(waitUntil([&] { return entryCount(controls[hotkeyList]) > 0; }));
    }

    // Waits until `enough` holds for the reports recorded since `from`.
    bool waitFor(std::uint32_t from, const std::function<bool(const std::map<int, EffectSeen>&)>& enough)
    {
        return waitUntil([&] { return stick.outputsSince(from, records) && enough(effectsByBlock(records)); }, 30000);
    }

    // Sets the stick; the next poll reads it.
    void move(int x, int y, std::uint32_t buttons)
    {
        kvhid_input input{};
        input.x = static_cast<std::int16_t>(x);
        input.y = static_cast<std::int16_t>(y);
        input.buttons = buttons;
        ASSERT_TRUE(stick.setInput(input));
        Sleep(250);  // several ticks, and past the toggle's 200 ms
    }

    // The start-up reports: the first set, one condition record per force
    // axis (spring 50 %, damper and friction 0 % as coefficient and
    // saturation), and each of the three started.
    void expectFirstSetStarted(std::size_t axes)
    {
        SCOPED_TRACE("reports at start-up:\n" + kvhid::describe(records));
        std::multiset<int> startedTypes;
        for (const auto& [block, seen] : effectsByBlock(records)) {
            if (seen.started)
                startedTypes.insert(seen.type);
            ASSERT_EQ(axes, seen.conditions.size()) << "block " << block << ": one record per axis";
            const int gain = seen.type == KVHID_ET_SPRING ? 5000 : 0;
            for (const auto& [axis, c] : seen.conditions) {
                EXPECT_LT(static_cast<std::size_t>(axis), axes) << "block " << block;
                EXPECT_EQ(0, c.offset) << "block " << block;
                EXPECT_EQ(gain, c.positive) << "block " << block;
                EXPECT_EQ(gain, c.positiveSaturation) << "block " << block;
            }
        }
        EXPECT_EQ((std::multiset<int>{KVHID_ET_SPRING, KVHID_ET_DAMPER, KVHID_ET_FRICTION}), startedTypes);
    }

    kvhid::Stick stick;
    std::uint32_t mark = 0;
    std::vector<kvhid::OutputRecord> records;
    TestFolder folder;
    std::unique_ptr<KestraProcess> kestra;
    HWND window = nullptr;
    std::vector<HWND> controls;
};

// DirectInput downloads an effect when it first starts on the acquired
// device. Kestra creates all six before acquiring, so start-up sends the
// first set, which it starts; the second set goes out when it first plays.
// A slider's change then goes out as Set Condition for the playing spring,
// and exit stops every effect on the stick.
TEST_F(KestraOnWineDirectInput, StartUpSliderAndExit)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(expectFirstSetStarted(2));

    // A slider sends the playing spring's new strength at once (37 %).
    const std::uint32_t moved = stick.mark();
    SendMessageW(controls[springSlider], TBM_SETPOS, TRUE, 37);
    SendMessageW(window, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(controls[springSlider]));
    ASSERT_TRUE(waitFor(moved, [](const auto& blocks) { return blocks.count(1) && blocks.at(1).conditions.size() == 2; }))
        << kvhid::describe(records);
    const std::map<int, EffectSeen> afterSlider = effectsByBlock(records);
    for (const auto& [axis, c] : afterSlider.at(1).conditions) {
        EXPECT_EQ(3700, c.positive) << "axis " << axis;
        EXPECT_EQ(3700, c.negativeSaturation) << "axis " << axis;
    }

    // The slider's SetParameters sent the stopped second set to the stick too.
    std::set<int> onStick, stopped;
    ASSERT_TRUE(stick.outputsSince(mark, records));
    for (const auto& [block, seen] : effectsByBlock(records))
        onStick.insert(block);
    const std::uint32_t closing = stick.mark();
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(kestra->waitForExit(), 0);
    stick.outputsSince(closing, records);
    SCOPED_TRACE("reports at exit:\n" + kvhid::describe(records));
    for (const auto& [block, seen] : effectsByBlock(records)) {
        if (seen.stopped)
            stopped.insert(block);
    }
    EXPECT_EQ(6u, onStick.size());
    EXPECT_EQ(onStick, stopped) << "every effect on the stick stops";
}

// Run on the stick that takes forces on X alone (a prefix of its own): each
// effect carries one condition record, so the first set goes out on
// parameter block offset 0 only, and plays.
TEST_F(KestraOnWineDirectInput, OneAxisStickGetsTheFirstSetOnItsAxis)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(expectFirstSetStarted(1));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(kestra->waitForExit(), 0);
}

// With the default buttons, button 1 toggles: the first set stops and the
// second, sent now, plays with its own strengths (damper 50 %). The second
// press re-centres both springs on the stick, turned a quarter with "Swap
// Axis" on: X takes the stick's Y offset (0) and Y its X offset negated.
TEST_F(KestraOnWineDirectInput, ToggleReleasesTheForcesAndTrimsTheSpring)
{
    ASSERT_NO_FATAL_FAILURE(start());
    const std::uint32_t pressed = stick.mark();
    ASSERT_NO_FATAL_FAILURE(move(0, 0, 1));
    ASSERT_TRUE(waitFor(pressed, [](const auto& blocks) { return startedCount(blocks) >= 3; }))
        << kvhid::describe(records);
    SCOPED_TRACE("reports after the first press:\n" + kvhid::describe(records));
    int firstSetStopped = 0;
    bool damperAtHalf = false;
    for (const auto& [block, seen] : effectsByBlock(records)) {
        firstSetStopped += block <= 3 && seen.stopped;
        if (seen.started) {
            EXPECT_GT(block, 3) << "the second set takes blocks of its own";
        }
        if (seen.type == KVHID_ET_DAMPER && seen.conditions.count(0))
            damperAtHalf = seen.conditions.at(0).positive == 5000;
    }
    EXPECT_EQ(3, firstSetStopped);
    EXPECT_TRUE(damperAtHalf);
    // Wine sends Set Effect only when an effect first goes to the stick, so
    // the springs are found in the reports since start-up.
    std::vector<kvhid::OutputRecord> sinceStart;
    ASSERT_TRUE(stick.outputsSince(mark, sinceStart));
    std::set<int> springs;
    for (const auto& [block, seen] : effectsByBlock(sinceStart)) {
        if (seen.type == KVHID_ET_SPRING)
            springs.insert(block);
    }
    ASSERT_EQ(2u, springs.size()) << "one spring in each set";

    ASSERT_NO_FATAL_FAILURE(move(16384, 0, 0));  // stick right: offset +5000
    const std::uint32_t trimmed = stick.mark();
    ASSERT_NO_FATAL_FAILURE(move(16384, 0, 1));
    ASSERT_TRUE(waitFor(trimmed, [&](const auto& blocks) {
        return std::all_of(springs.begin(), springs.end(),
                           [&](int block) { return blocks.count(block) && blocks.at(block).conditions.size() == 2; });
    })) << kvhid::describe(records);
    SCOPED_TRACE("reports after the second press:\n" + kvhid::describe(records));
    const std::map<int, EffectSeen> blocks = effectsByBlock(records);
    for (int block : springs) {
        EXPECT_NEAR(0, blocks.at(block).conditions.at(0).offset, 2) << "block " << block;
        EXPECT_NEAR(-5000, blocks.at(block).conditions.at(1).offset, 2) << "block " << block;
    }
    ASSERT_NO_FATAL_FAILURE(move(16384, 0, 0));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(kestra->waitForExit(), 0);
}

} // namespace
