// Wine's own DirectInput against the virtual stick: what it refuses by itself, and the PID reports the real
// kestra.exe's actions turn into (no dinput8.dll beside it).
#define DIRECTINPUT_VERSION 0x0800
#include "bench/linux_proc.h"
#include "pid_reports.h"
#include "tests/support/kestra_process.h"
#include "tests/support/settings_bytes.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <dinput.h>

#include <algorithm>
#include <memory>

namespace {

// What Wine's DirectInput refuses, and the simulated stick with it: condition records that match neither one nor every
// axis, and an effect started before the device is acquired, which sends nothing. Only Start after Acquire plays it.
TEST(DirectInputDevice, RefusesWhatTheSimulatedStickRefuses)
{
    kvhid::Stick stick;
    ASSERT_TRUE(stick.open(kvhid::waitForDevicePath(std::chrono::seconds(10))))
        << "virtual stick not installed (run install_vhid.exe)";
    IDirectInput8W* dinput = nullptr;
    ASSERT_EQ(DI_OK, DirectInput8Create(GetModuleHandleW(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8W,
                                        reinterpret_cast<void**>(&dinput), nullptr));
    // The prefix's only force-feedback game controller is the stick.
    DIDEVICEINSTANCEW found = {};
    const auto take = [](const DIDEVICEINSTANCEW* d, void* context) -> BOOL {
        *static_cast<DIDEVICEINSTANCEW*>(context) = *d;
        return DIENUM_STOP;
    };
    ASSERT_EQ(DI_OK,
              dinput->EnumDevices(DI8DEVCLASS_GAMECTRL, take, &found, DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK));
    ASSERT_NE(0u, found.dwSize) << "not enumerated as a force-feedback game controller";
    IDirectInputDevice8W* device = nullptr;
    ASSERT_EQ(DI_OK, dinput->CreateDevice(found.guidInstance, &device, nullptr));
    // Exclusive access needs a top-level window.
    const HWND window = CreateWindowExW(0, L"STATIC", L"Kestra HID test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                        nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(DI_OK, device->SetDataFormat(&c_dfDIJoystick2));
    ASSERT_EQ(DI_OK, device->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_BACKGROUND));

    // A damper on the first `axes` axes with `records` condition records.
    IDirectInputEffect* effect = nullptr;
    const auto createDamper = [&](DWORD axes, DWORD records) {
        DWORD axisOffsets[2] = {DIJOFS_X, DIJOFS_Y};
        LONG directions[2] = {};
        DICONDITION conditions[2] = {{0, 5000, 5000, 5000, 5000, 0}, {0, 5000, 5000, 5000, 5000, 0}};
        DIEFFECT d = {sizeof(DIEFFECT), DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS, INFINITE, 0, DI_FFNOMINALMAX,
                      DIEB_NOTRIGGER, 0, axes, axisOffsets, directions, nullptr,
                      static_cast<DWORD>(records * sizeof(DICONDITION)), conditions, 0};
        if (effect)
            effect->Release();
        effect = nullptr;
        return device->CreateEffect(GUID_Damper, &d, &effect, nullptr);
    };
    const std::uint32_t mark = stick.mark();
    EXPECT_EQ(DIERR_INVALIDPARAM, createDamper(1, 2)) << "two records on one axis";
    EXPECT_EQ(DI_OK, createDamper(2, 1)) << "one record for both axes";
    ASSERT_EQ(DI_OK, createDamper(2, 2));
    EXPECT_EQ(DIERR_NOTEXCLUSIVEACQUIRED, effect->Start(1, 0));
    std::vector<kvhid::OutputRecord> records;
    ASSERT_TRUE(stick.outputsSince(mark, records));
    EXPECT_TRUE(records.empty()) << kvhid::describe(records);

    ASSERT_EQ(DI_OK, device->Acquire());
    const std::uint32_t acquired = stick.mark();
    EXPECT_EQ(DI_OK, effect->Start(1, 0));
    ASSERT_TRUE(stick.outputsSince(acquired, records));
    EXPECT_EQ(1u, kvhid::decode(records).playing.size()) << kvhid::describe(records);
    effect->Release();
    device->Release();
    dinput->Release();
    DestroyWindow(window);
}

// A Linux path as Wine names it: Wine shows the Linux root as drive Z:.
const std::wstring stagedInf = onDriveZ(KVHID_STAGE "/kestra_vhid.inf").wstring();

bool setPlays(const kvhid::Reports& r) { return r.playing.size() >= 3; }

class KestraOnWineDirectInput : public ::testing::Test {
protected:
    // Starts Kestra on the stick; start-up sends the first set and plays it, its spring at `spring`.
    void start(std::size_t axes, int spring = 5000)
    {
        ASSERT_TRUE(stick.open(kvhid::waitForDevicePath(std::chrono::seconds(10))) && stick.setInput(kvhid_input{}))
            << "virtual stick not installed (run install_vhid.exe)";
        const std::uint32_t mark = stick.mark();
        kestra = std::make_unique<KestraProcess>(folder);
        ASSERT_FALSE(kestra->waitUntilRunning(30000).empty());
        ASSERT_TRUE(waitFor(mark, setPlays));
        startUp = got;
        ASSERT_NO_FATAL_FAILURE(expectSetPlays(axes, spring, 0, 0));
    }

    // A journey that pulls the stick out leaves it plugged in.
    void TearDown() override
    {
        if (kvhid::findDevicePath().empty())
            kvhid::plugIn(stagedInf);
    }

    // Waits until `enough` holds for the reports recorded since `from`, or for the `part` of them given, and keeps them
    // in `got`.
    bool waitFor(std::uint32_t from, const std::function<bool(const kvhid::Reports&)>& enough,
                 decltype(&kvhid::sinceLastReset) part = nullptr)
    {
        if (waitUntil([&] {
                return stick.outputsSince(from, records) && enough(got = kvhid::decode(part ? part(records) : records));
            }, 30000))
            return true;
        ADD_FAILURE() << "reports so far:\n" << kvhid::describe(records);
        return false;
    }

    // The set that plays in `got`: a spring, damper and friction, each with one condition record per force axis of its
    // type's strength, the spring's centred at `springAt` (by axis), the others at 0.
    void expectSetPlays(std::size_t axes, int spring, int damper, int friction, std::vector<int> springAt = {0, 0})
    {
        SCOPED_TRACE("reports:\n" + kvhid::describe(records));
        std::map<int, int> strengths = {{KVHID_ET_SPRING, spring}, {KVHID_ET_DAMPER, damper},
                                        {KVHID_ET_FRICTION, friction}};
        for (int block : got.playing) {
            const int type = got.types.count(block) ? got.types.at(block) : 0;
            ASSERT_EQ(1u, strengths.count(type)) << "block " << block << ": type " << type << " again, or not sent";
            ASSERT_EQ(axes, got.conditions.count(block) ? got.conditions.at(block).size() : 0) << "block " << block;
            for (const auto& [axis, c] : got.conditions.at(block)) {
                const int offset = type == KVHID_ET_SPRING ? springAt.at(axis) : 0;
                EXPECT_EQ(offset, c.offset) << "type " << type << ", axis " << axis;
                for (int value : c.strength)
                    EXPECT_EQ(strengths[type], value) << "type " << type << ", axis " << axis;
            }
            strengths.erase(type);
        }
        EXPECT_TRUE(strengths.empty()) << "a type does not play";
    }

    // Sets the stick's input until hidclass has read it; DirectInput holds it till the next read a poll period (200 ms,
    // four ticks) later, past the toggle's 200 ms. A press is known to be read by what it sends; the mark before it.
    std::uint32_t move(std::int16_t x, std::uint32_t buttons)
    {
        const std::uint32_t mark = stick.mark();
        EXPECT_TRUE(stick.setInputAndWaitForRead(kvhid_input{x, 0, 0, buttons}, std::chrono::seconds(10)))
            << "hidclass never read the input";
        return mark;
    }

    kvhid::Stick stick;
    std::vector<kvhid::OutputRecord> records;
    kvhid::Reports got, startUp;
    TestFolder folder;
    std::unique_ptr<KestraProcess> kestra;
};

// On the stick that takes forces on X alone (a prefix of its own), the first set goes out with one condition record
// each, and plays.
TEST_F(KestraOnWineDirectInput, OneAxisStickGetsTheFirstSetOnItsAxis)
{
    ASSERT_NO_FATAL_FAILURE(start(1));
}

// With the default buttons, button 1 toggles: the second set, sent now, plays with its own strengths (damper 50 %). The
// second press re-centres both springs, turned a quarter with "Swap Axis" on: X takes the stick's Y offset (0) and Y
// its X offset negated. Exit stops all six, then Unacquire again.
TEST_F(KestraOnWineDirectInput, ToggleTrimsTheSpringAndExitStopsAllSix)
{
    ASSERT_NO_FATAL_FAILURE(start(2));
    ASSERT_TRUE(waitFor(move(0, 1), setPlays));
    ASSERT_NO_FATAL_FAILURE(expectSetPlays(2, 0, 5000, 0));
    const std::set<int> springs = {*startUp.springs.begin(), *got.springs.begin()};

    move(16384, 0);  // stick right: offset +5000
    ASSERT_TRUE(waitFor(move(16384, 1), [&](const kvhid::Reports& r) {
        return std::all_of(springs.begin(), springs.end(),
                           [&](int s) { return r.conditions.count(s) && r.conditions.at(s).size() == 2; });
    }));
    for (int block : springs) {
        EXPECT_NEAR(0, got.conditions.at(block).at(0).offset, 2) << "block " << block;
        EXPECT_NEAR(-5000, got.conditions.at(block).at(1).offset, 2) << "block " << block;
    }

    const std::uint32_t closing = stick.mark();
    EXPECT_EQ(0, kestra->close());
    ASSERT_TRUE(waitFor(closing, [](const kvhid::Reports& r) { return r.stops.size() >= 12; }));
    EXPECT_EQ(6u, std::set<int>(got.stops.begin(), got.stops.begin() + 6).size()) << kvhid::describe(records);
}

// Trimmed with the toggle (the default mode) and pulled out, the stick leaves Kestra idle, answering and silent.
// Plugged back in, with nobody touching anything, it gets the first set again within a few ticks, with the stored
// strength and the centre the springs had; the menu's restart then sends it centred.
TEST_F(KestraOnWineDirectInput, UnplugAndReplugThenRestart)
{
    ASSERT_TRUE(folder.write(L"opt.dat", settingsFileWith({{springAt, 37}})));
    ASSERT_NO_FATAL_FAILURE(start(2, 3700));
    const int spring = *startUp.springs.begin();
    ASSERT_TRUE(waitFor(move(0, 1), setPlays));  // the second set
    move(16384, 0);  // stick right: offset +5000, turned a quarter
    ASSERT_TRUE(waitFor(move(16384, 1), [&](const kvhid::Reports& r) {
        return r.conditions.count(spring) && r.conditions.at(spring).size() == 2;
    }));
    const std::vector<int> trimmed = {got.conditions.at(spring).at(0).offset, got.conditions.at(spring).at(1).offset};
    ASSERT_NEAR(-5000, trimmed[1], 2) << "the trim did not reach the spring";

    // Wine gives the Linux process the exe's Windows path as its command line.
    const int pid = linuxPidWith(onDriveZ(kestraExePath).string(), "kestra.exe");
    ASSERT_NE(pid, 0) << "no Linux process runs kestra.exe";
    auto cpuMsOverTwoSeconds = [pid] {
        const long long before = cpuNanoseconds(pid);
        Sleep(2000);
        return (cpuNanoseconds(pid) - before) / 1e6;
    };
    const double idle = cpuMsOverTwoSeconds();
    const std::uint32_t unplugged = stick.mark();
    ASSERT_TRUE(kvhid::unplug());
    ASSERT_TRUE(waitUntil([] { return kvhid::findDevicePath().empty(); })) << "the stick is still there";
    EXPECT_LT(cpuMsOverTwoSeconds(), idle + 100) << "CPU ms over 2 s unplugged, against idle";
    const HWND window = kestra->mainWindow();
    EXPECT_NE(0, SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr)) << "window hangs";
    EXPECT_EQ(nullptr, kestra->findWindow(L"#32770", L"VIZazav")) << "a message box";

    ASSERT_TRUE(kvhid::plugIn(stagedInf));
    ASSERT_TRUE(stick.open(kvhid::waitForDevicePath(std::chrono::seconds(10)))) << "the stick did not come back";
    ASSERT_TRUE(waitFor(unplugged, setPlays, kvhid::sincePluggedIn));
    EXPECT_LT(got.startedMs, 500) << "ms from the stick's return, on its clock\n" << kvhid::describe(records);
    expectSetPlays(2, 3700, 0, 0, trimmed);  // the first set by its strengths

    const std::uint32_t beforeMenu = stick.mark();
    SendMessageW(window, WM_COMMAND, IDM_INIT_DIRECTINPUT, 0);
    ASSERT_TRUE(waitFor(beforeMenu, setPlays, kvhid::sinceLastReset));
    expectSetPlays(2, 3700, 0, 0);
}

// Started with the stick out, Kestra says so; plugged in then, the stick gets the first set with the stored settings
// within a few seconds, and no other message opens.
TEST_F(KestraOnWineDirectInput, StickPluggedInLaterGetsTheFirstSet)
{
    ASSERT_TRUE(folder.write(L"opt.dat", settingsFileWith({{springAt, 37}})));
    ASSERT_TRUE(kvhid::unplug());
    ASSERT_TRUE(waitUntil([] { return kvhid::findDevicePath().empty(); })) << "the stick is still there";
    kestra = std::make_unique<KestraProcess>(folder);
    const MessageBoxSeen box = waitForMessageBox(*kestra);
    ASSERT_EQ(L"No Joystick found.", box.text);
    PostMessageW(box.window, WM_COMMAND, IDOK, 0);
    ASSERT_FALSE(kestra->waitUntilRunning().empty()) << "the first tick never ended";

    ASSERT_TRUE(kvhid::plugIn(stagedInf));
    ASSERT_TRUE(stick.open(kvhid::waitForDevicePath(std::chrono::seconds(10)))) << "the stick did not come back";
    ASSERT_TRUE(waitFor(0, setPlays, kvhid::sincePluggedIn));
    EXPECT_LT(got.startedMs, 3000) << "ms from the stick's return, on its clock\n" << kvhid::describe(records);
    expectSetPlays(2, 3700, 0, 0);
    EXPECT_EQ(nullptr, kestra->findWindow(L"#32770", L"VIZazav")) << "a message box";
}

} // namespace
