// The real kestra.exe on Wine's own DirectInput (no dinput8.dll beside it)
// against the virtual stick: the PID reports its actions turn into.
#include "pid_reports.h"
#include "tests/support/kestra_process.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <memory>

namespace {

// Controls by creation order.
constexpr int springSlider = 12, hotkeyList = 30;

// The set sent in `reports`: a spring, damper and friction, each playing, with
// one centred condition record per force axis of its type's strength.
void expectSetSent(const kvhid::Reports& reports, std::size_t axes, std::map<int, int> strengths)
{
    for (const auto& [block, type] : reports.types) {
        SCOPED_TRACE("block " + std::to_string(block));
        ASSERT_EQ(1u, strengths.count(type)) << "type " << type << " again, or unknown";
        EXPECT_EQ(1u, reports.playing.count(block));
        ASSERT_EQ(axes, reports.conditions.count(block) ? reports.conditions.at(block).size() : 0);
        for (const auto& [axis, c] : reports.conditions.at(block)) {
            EXPECT_LT(static_cast<std::size_t>(axis), axes);
            EXPECT_EQ(0, c.offset) << "axis " << axis;
            for (int value : c.strength)
                EXPECT_EQ(strengths[type], value) << "axis " << axis;
        }
        strengths.erase(type);
    }
    EXPECT_TRUE(strengths.empty()) << "a type was not sent";
}

class KestraOnWineDirectInput : public ::testing::Test {
protected:
    // Starts Kestra on the stick, checks that start-up sends the first set
    // and plays it, and waits until the window is filled.
    void start(std::size_t axes)
    {
        const std::wstring path = kvhid::waitForDevicePath(std::chrono::seconds(10));
        ASSERT_FALSE(path.empty()) << "virtual stick not installed (run install_vhid.exe)";
        ASSERT_TRUE(stick.open(path));
        ASSERT_TRUE(stick.setInput(kvhid_input{}));
        mark = stick.mark();
        kestra = std::make_unique<KestraProcess>(folder);
        ASSERT_TRUE(kestra->started());
        ASSERT_TRUE(waitFor(mark, [](const kvhid::Reports& r) { return r.playing.size() >= 3; }));
        SCOPED_TRACE("reports at start-up:\n" + kvhid::describe(records));
        startUp = kvhid::decode(records);
        ASSERT_NO_FATAL_FAILURE(
            expectSetSent(startUp, axes, {{KVHID_ET_SPRING, 5000}, {KVHID_ET_DAMPER, 0}, {KVHID_ET_FRICTION, 0}}));
        window = kestra->mainWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(waitUntil([&] { return (controls = controlsOf(window)).size() == 31; }));
        ASSERT_TRUE(waitUntil([&] { return entryCount(controls[hotkeyList]) > 0; }));
    }

    // Waits until `enough` holds for the reports recorded since `from`.
    bool waitFor(std::uint32_t from, const std::function<bool(const kvhid::Reports&)>& enough)
    {
        if (waitUntil([&] { return stick.outputsSince(from, records) && enough(kvhid::decode(records)); }, 30000))
            return true;
        ADD_FAILURE() << "reports so far:\n" << kvhid::describe(records);
        return false;
    }

    void move(std::int16_t x, std::int16_t y, std::uint32_t buttons)
    {
        ASSERT_TRUE(stick.setInput(kvhid_input{x, y, 0, buttons}));
        Sleep(250);  // several ticks, and past the toggle's 200 ms
    }

    void quit()
    {
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(kestra->waitForExit(), 0);
    }

    kvhid::Stick stick;
    std::uint32_t mark = 0;
    std::vector<kvhid::OutputRecord> records;
    kvhid::Reports startUp;
    TestFolder folder;
    std::unique_ptr<KestraProcess> kestra;
    HWND window = nullptr;
    std::vector<HWND> controls;
};

// DirectInput sends an effect when it first starts on the acquired device,
// so start-up sends the first set; a setting's change sends the second.
TEST_F(KestraOnWineDirectInput, StartUpSliderAndExit)
{
    ASSERT_NO_FATAL_FAILURE(start(2));

    // The playing spring's new strength goes out at once (37 %).
    const int spring = *startUp.springs.begin();
    const std::uint32_t moved = stick.mark();
    SendMessageW(controls[springSlider], TBM_SETPOS, TRUE, 37);
    SendMessageW(window, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(controls[springSlider]));
    ASSERT_TRUE(waitFor(moved, [&](const kvhid::Reports& r) {
        return r.conditions.count(spring) && r.conditions.at(spring).size() == 2;
    }));
    const kvhid::Reports slid = kvhid::decode(records);
    for (const auto& [axis, c] : slid.conditions.at(spring))
        for (int value : c.strength)
            EXPECT_EQ(3700, value) << "axis " << axis;

    // The slider's SetParameters sent the stopped second set to the stick too.
    ASSERT_TRUE(stick.outputsSince(mark, records));
    std::set<int> onStick;
    for (const auto& [block, type] : kvhid::decode(records).types)
        onStick.insert(block);
    EXPECT_EQ(6u, onStick.size());

    // Exit stops all six before Unacquire stops them again.
    const std::uint32_t closing = stick.mark();
    quit();
    ASSERT_TRUE(stick.outputsSince(closing, records));
    const std::vector<int> stops = kvhid::decode(records).stops;
    ASSERT_GE(stops.size(), 6u) << kvhid::describe(records);
    EXPECT_EQ(onStick, std::set<int>(stops.begin(), stops.begin() + 6)) << kvhid::describe(records);
}

// On the stick that takes forces on X alone (a prefix of its own), the first
// set goes out with one condition record each, and plays.
TEST_F(KestraOnWineDirectInput, OneAxisStickGetsTheFirstSetOnItsAxis)
{
    ASSERT_NO_FATAL_FAILURE(start(1));
    quit();
}

// With the default buttons, button 1 toggles: the first set stops and the
// second, sent now, plays with its own strengths (damper 50 %). The second
// press re-centres both springs on the stick, turned a quarter with "Swap
// Axis" on: X takes the stick's Y offset (0) and Y its X offset negated.
TEST_F(KestraOnWineDirectInput, ToggleReleasesTheForcesAndTrimsTheSpring)
{
    ASSERT_NO_FATAL_FAILURE(start(2));
    const std::uint32_t pressed = stick.mark();
    ASSERT_NO_FATAL_FAILURE(move(0, 0, 1));
    ASSERT_TRUE(waitFor(pressed, [](const kvhid::Reports& r) { return r.playing.size() >= 3; }));
    SCOPED_TRACE("reports after the first press:\n" + kvhid::describe(records));
    const kvhid::Reports released = kvhid::decode(records);
    EXPECT_EQ(startUp.playing, std::set<int>(released.stops.begin(), released.stops.end())) << "first set stops";
    for (int block : released.playing)
        EXPECT_EQ(0u, startUp.types.count(block)) << "the second set takes blocks of its own";
    expectSetSent(released, 2, {{KVHID_ET_SPRING, 0}, {KVHID_ET_DAMPER, 5000}, {KVHID_ET_FRICTION, 0}});
    std::set<int> springs = startUp.springs;
    springs.insert(released.springs.begin(), released.springs.end());
    ASSERT_EQ(2u, springs.size()) << "one spring in each set";

    ASSERT_NO_FATAL_FAILURE(move(16384, 0, 0));  // stick right: offset +5000
    const std::uint32_t trimmed = stick.mark();
    ASSERT_NO_FATAL_FAILURE(move(16384, 0, 1));
    ASSERT_TRUE(waitFor(trimmed, [&](const kvhid::Reports& r) {
        return std::all_of(springs.begin(), springs.end(),
                           [&](int s) { return r.conditions.count(s) && r.conditions.at(s).size() == 2; });
    }));
    SCOPED_TRACE("reports after the second press:\n" + kvhid::describe(records));
    const kvhid::Reports centred = kvhid::decode(records);
    for (int block : springs) {
        EXPECT_NEAR(0, centred.conditions.at(block).at(0).offset, 2) << "block " << block;
        EXPECT_NEAR(-5000, centred.conditions.at(block).at(1).offset, 2) << "block " << block;
    }
    quit();
}

} // namespace
