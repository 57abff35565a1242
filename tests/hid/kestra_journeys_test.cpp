// The real kestra.exe on Wine's own DirectInput (no dinput8.dll beside it)
// against the virtual stick: the PID reports its actions turn into.
#include "bench/linux_proc.h"
#include "pid_reports.h"
#include "tests/support/kestra_process.h"
#include "tests/support/settings_bytes.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <memory>

namespace {

// Controls by creation order.
constexpr int springSlider = 12, hotkeyList = 30;
// The restart hotkey: an unassigned code no X key produces, so Wine never
// resets it when one of its windows gains the focus.
constexpr WORD restartKey = 0x9A;
constexpr std::size_t reinitKeyAt = 48;  // in opt.dat

// What plays since DirectInput last acquired the stick. The next tick's
// SetParameters may send the stopped second set too; that is left out.
kvhid::Reports playingSinceLastReset(const std::vector<kvhid::OutputRecord>& records)
{
    kvhid::Reports reports = kvhid::decode(kvhid::sinceLastReset(records));
    for (auto block = reports.types.begin(); block != reports.types.end();)
        block = reports.playing.count(block->first) ? std::next(block) : reports.types.erase(block);
    return reports;
}

// The INF the installer staged beside the driver, as Wine names the Linux path.
std::wstring stagedInf()
{
    std::string path = KVHID_STAGE "/kestra_vhid.inf";
    std::replace(path.begin(), path.end(), '/', '\\');
    return L"Z:" + std::wstring(path.begin(), path.end());
}

// The first axis's centre offset in the block's latest Set Condition, or -1 when
// there is none (the offsets here are below zero).
int firstAxisOffset(const std::vector<kvhid::OutputRecord>& records, int block)
{
    const kvhid::Reports r = kvhid::decode(records);
    return r.conditions.count(block) && r.conditions.at(block).count(0) ? r.conditions.at(block).at(0).offset : -1;
}

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

    // A journey that pulls the stick out leaves it plugged in, and no key down.
    void TearDown() override
    {
        if (keyDown)
            pressKey(restartKey, false);
        if (kvhid::findDevicePath().empty())
            kvhid::plugIn(stagedInf());
    }

    // Waits until `enough` holds for the reports recorded since `from`, or
    // with `lastAcquire` for those since DirectInput last acquired the stick.
    bool waitFor(std::uint32_t from, const std::function<bool(const kvhid::Reports&)>& enough, bool lastAcquire = false)
    {
        if (waitUntil([&] {
                return stick.outputsSince(from, records)
                    && enough(kvhid::decode(lastAcquire ? kvhid::sinceLastReset(records) : records));
            }, 30000))
            return true;
        ADD_FAILURE() << "reports so far:\n" << kvhid::describe(records);
        return false;
    }

    void move(std::int16_t x, std::int16_t y, std::uint32_t buttons)
    {
        ASSERT_TRUE(stick.setInput(kvhid_input{x, y, 0, buttons}));
        Sleep(250);  // several ticks, and past the toggle's 200 ms
    }

    // Sets the first spring's slider to `percent` and waits until the playing
    // spring carries it on both axes.
    void slideSpring(int percent)
    {
        const int spring = *startUp.springs.begin();
        const std::uint32_t moved = stick.mark();
        SendMessageW(controls[springSlider], TBM_SETPOS, TRUE, percent);
        SendMessageW(window, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(controls[springSlider]));
        ASSERT_TRUE(waitFor(moved, [&](const kvhid::Reports& r) {
            return r.conditions.count(spring) && r.conditions.at(spring).size() == 2;
        }));
        const kvhid::Reports slid = kvhid::decode(records);
        for (const auto& [axis, c] : slid.conditions.at(spring))
            for (int value : c.strength)
                EXPECT_EQ(percent * 100, value) << "axis " << axis;
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
    bool keyDown = false;
};

// DirectInput sends an effect when it first starts on the acquired device,
// so start-up sends the first set; a setting's change sends the second.
TEST_F(KestraOnWineDirectInput, StartUpSliderAndExit)
{
    ASSERT_NO_FATAL_FAILURE(start(2));

    // The playing spring's new strength goes out at once (37 %).
    ASSERT_NO_FATAL_FAILURE(slideSpring(37));

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

// The stick pulled out while the forces play and both trimmers run, the hat
// held: Kestra idles on, answering its window, silent and without spinning,
// and its trimmers move nothing. Plugged back in at rest, the stick gets the
// forces back, centred where they were; then the menu's restart and the
// hotkey each send the first set again, with the strength stored before.
TEST_F(KestraOnWineDirectInput, UnplugAndReplugThenRestart)
{
    std::vector<std::uint8_t> stored = defaultSettingsFile;
    stored[reinitKeyAt] = restartKey;
    ASSERT_TRUE(folder.write(L"opt.dat", stored));
    ASSERT_NO_FATAL_FAILURE(start(2));
    SendMessageW(window, WM_COMMAND, IDM_BOTH_TRIMMERS, 0);
    ASSERT_NO_FATAL_FAILURE(slideSpring(37));
    std::string exe = "Z:" + kestraExePath;  // the command line Wine gives the Linux process
    std::replace(exe.begin(), exe.end(), '/', '\\');
    const int pid = linuxPidWith(exe, "kestra.exe");
    ASSERT_NE(pid, 0) << "no Linux process runs kestra.exe";
    auto cpuMsOverTwoSeconds = [pid] {
        const long long before = cpuNanoseconds(pid);
        Sleep(2000);
        return (cpuNanoseconds(pid) - before) / 1e6;
    };
    const double idle = cpuMsOverTwoSeconds();

    // Hat up: each tick moves the centre a step, X first with "Swap Axis".
    const int spring = *startUp.springs.begin();
    const std::uint32_t held = stick.mark();
    ASSERT_TRUE(stick.setInput(kvhid_input{0, 0, 1, 0}));
    ASSERT_TRUE(waitUntil([&] { return stick.outputsSince(held, records) && firstAxisOffset(records, spring) <= -500; },
                          30000))
        << kvhid::describe(records);
    ASSERT_TRUE(kvhid::unplug());
    ASSERT_TRUE(waitUntil([] { return kvhid::findDevicePath().empty(); })) << "the stick is still there";

    const double unplugged = cpuMsOverTwoSeconds();
    EXPECT_LT(unplugged, idle + 200) << "CPU ms over 2 s; idle: " << idle;
    DWORD_PTR answer = 0;
    EXPECT_NE(0, SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer)) << "window hangs";
    EXPECT_EQ(nullptr, kestra->findWindow(L"#32770", L"VIZazav")) << "a message box";

    // Back in: the trimmers' next poll acquires it again (Wine reopens the
    // device), and the playing set goes out afresh with its centre. A trimmer
    // stepping on the last hat it read while the stick was gone would have
    // moved it by a step a tick; one step may have missed the stick as it
    // went. (While Plug and Play removes it, Wine may reopen it once more.)
    ASSERT_TRUE(kvhid::plugIn(stagedInf()));
    const std::wstring path = kvhid::waitForDevicePath(std::chrono::seconds(10));
    ASSERT_FALSE(path.empty()) << "the stick did not come back";
    ASSERT_TRUE(stick.open(path));
    ASSERT_TRUE(waitUntil([&] {
        return stick.outputsSince(held, records) && firstAxisOffset(kvhid::sincePluggedIn(records), spring) != -1;
    }, 30000)) << kvhid::describe(records);
    const std::vector<kvhid::OutputRecord> revived = kvhid::sincePluggedIn(records);
    const int wentAt = firstAxisOffset({records.begin(), records.end() - revived.size()}, spring);
    const int cameAt = firstAxisOffset(revived, spring);
    EXPECT_LE(cameAt, wentAt) << kvhid::describe(records);
    EXPECT_LE(wentAt - cameAt, 125) << kvhid::describe(records);

    const std::uint32_t beforeMenu = stick.mark();
    SendMessageW(window, WM_COMMAND, IDM_INIT_DIRECTINPUT, 0);
    const std::map<int, int> strengths = {{KVHID_ET_SPRING, 3700}, {KVHID_ET_DAMPER, 0}, {KVHID_ET_FRICTION, 0}};
    const auto firstSetPlays = [](const kvhid::Reports& r) { return r.playing.size() >= 3; };
    ASSERT_TRUE(waitFor(beforeMenu, firstSetPlays, true));
    expectSetSent(playingSinceLastReset(records), 2, strengths);

    const std::uint32_t beforeKey = stick.mark();
    pressKey(restartKey, true);
    keyDown = true;
    ASSERT_TRUE(waitFor(beforeKey, firstSetPlays, true));
    pressKey(restartKey, false);
    keyDown = false;
    expectSetSent(playingSinceLastReset(records), 2, strengths);
    quit();
}

} // namespace
