// The real kestra.exe against the simulated stick: what the stick is asked
// to do, journey by journey, while a test moves it and uses the window.
#include "tests/e2e/kestra_process.h"
#include "tests/e2e/sim_journal.h"
#include "tests/support/settings_bytes.h"

#include <gmock/gmock.h>

#include <commctrl.h>

#include <cstring>
#include <map>
#include <memory>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Controls by creation order.
enum Control {
    DeviceList = 4, HoldList = 5, PovDeviceList = 8, SpringEdit = 11, SpringSlider = 12, SwapAxes = 28,
    HotkeyList = 30,
};

// Menu commands.
constexpr WORD initDirectInput = 32700, progressiveTrimmer = 32701;

// The six effects by the order Kestra creates them.
enum Effect { Damper, Damper2, Friction, Friction2, Spring, Spring2 };

// "opt.dat" with some fields changed from the defaults, by byte offset.
Bytes settingsFile(std::initializer_list<std::pair<int, std::int32_t>> fields)
{
    Bytes bytes = defaultSettingsFile;
    for (const auto& [offset, value] : fields) {
        if (offset >= 52) {
            bytes[offset] = static_cast<std::uint8_t>(value);
            continue;
        }
        for (int i = 0; i < 4; ++i)
            bytes[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
    }
    return bytes;
}
constexpr int holdAt = 12, toggleAt = 16, centerAt = 20, springAt = 24, hotkeyAt = 48, swapAt = 52, modeAt = 53;

const char* const oneStick = "device \"Sim Stick\" ffb axes=2\n";

class SimJourney : public ::testing::Test {
protected:
    void configure(const std::string& config) { folder.write(L"sim-config.txt", Bytes(config.begin(), config.end())); }

    // Starts Kestra and waits until its first tick has opened the devices and
    // filled the window.
    void start(const std::string& config = oneStick)
    {
        configure(config);
        kestra = std::make_unique<KestraProcess>(folder, DirectInput::Simulated);
        ASSERT_TRUE(kestra->started()) << "kestra.exe did not start";
        window = kestra->mainWindow();
        ASSERT_NE(window, nullptr) << kestra->describeWindows();
        // The window shows before its controls exist.
        ASSERT_TRUE(waitUntil([&] { return (controls = controlsOf(window)).size() == 31; }));
        ASSERT_TRUE(waitUntil([&] { return entryCount(controls[HotkeyList]) > 0; })) << "the first tick never ended; " << kestra->describeWindows() << journalText();
        findEffects();
    }

    // Closes the window as a user would; Kestra must end with 0.
    void close()
    {
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(kestra->waitForExit(), 0);
    }

    // The journal names of the six effects of the latest discovery.
    void findEffects()
    {
        effects.clear();
        for (const SimCall& call : journal.calls()) {
            if (call.method == "CreateEffect") {
                if (call.result != "0x00000000")
                    continue;
                if (effects.size() == 6)
                    effects.clear();
                effects.push_back("eff" + call["eff"]);
            }
        }
    }

    std::string effect(Effect which) const
    {
        return static_cast<std::size_t>(which) < effects.size() ? effects[which] : "(no effect)";
    }

    // The offsets of the latest spring SetParameters after the mark.
    bool waitForSpringCentre(long long x, long long y, unsigned timeoutMs = 10000)
    {
        const std::string spring = effect(Spring);
        return journal.waitFor(
            [&](const SimCall& call) {
                return call.object == spring && call.method == "SetParameters" && call.pair("offset") == std::make_pair(x, y);
            },
            nullptr, timeoutMs);
    }

    // Waits for the set switch: the first set stopped and the second started, or back.
    bool waitForSet(int set)
    {
        const std::string started = effect(set == 1 ? Spring : Spring2);
        const std::string stopped = effect(set == 1 ? Spring2 : Spring);
        return journal.waitFor(called(stopped, "Stop")) && journal.waitFor(called(started, "Start"));
    }

    // Sets the stick and waits until Kestra has read it: a press shorter
    // than a tick would go unseen.
    bool press(const std::string& buttons, int x = 32767, int y = 32767, int pov = -1)
    {
        StickInput input;
        input.x = x;
        input.y = y;
        input.pov = pov;
        input.buttons = buttons;
        if (!writeInput(folder, {{0, input}}))
            return false;
        std::string all = buttons;
        all.resize(32, '0');
        const std::size_t from = journal.calls().size();
        return waitUntil([&] {
            const std::vector<SimCall> calls = journal.calls();
            for (std::size_t i = from; i < calls.size(); ++i) {
                const SimCall& call = calls[i];
                if (call.method == "GetDeviceState" && call["buttons"] == all && call.number("x") == x &&
                    call.number("y") == y)
                    return true;
            }
            return false;
        });
    }

    void command(WORD id) { PostMessageW(window, WM_COMMAND, id, 0); }

    std::string journalText() const { return "\njournal:\n" + journal.text(); }

    TestFolder folder;
    SimJournal journal{folder};
    std::unique_ptr<KestraProcess> kestra;
    HWND window = nullptr;
    std::vector<HWND> controls;
    std::vector<std::string> effects;
};

TEST_F(SimJourney, StartPreparesTheStickAndPlaysTheFirstSetThenExitReleasesEverything)
{
    ASSERT_NO_FATAL_FAILURE(start());
    const std::vector<SimCall> calls = journal.calls();
    std::vector<std::string> sequence;
    for (const SimCall& call : calls) {
        if (call.method != "force" && call.method != "AddRef" && call.method != "Release")
            sequence.push_back(call.object + " " + call.method);
    }
    ASSERT_GE(sequence.size(), 8u) << journalText();
    EXPECT_THAT(std::vector<std::string>(sequence.begin(), sequence.begin() + 8),
                ::testing::ElementsAre("dinput DirectInput8Create", "dinput CreateDevice", "dinput EnumDevices",
                                       "dev0 SetDataFormat", "dev0 SetCooperativeLevel", "dev0 SetProperty",
                                       "dev0 EnumObjects", "dev0 CreateEffect"));
    std::vector<std::string> types;
    for (const SimCall& call : calls) {
        if (call.method == "CreateEffect") {
            types.push_back(call["type"]);
            // Both records carry the strength as coefficient and saturation.
            const long long gain = call["type"] == "spring" ? (types.size() == 5 ? 5000 : 0)
                                   : call["type"] == "damper" ? (types.size() == 2 ? 5000 : 0) : 0;
            EXPECT_EQ(call.pair("pos"), std::make_pair(gain, gain)) << call.line;
            EXPECT_EQ(call.pair("possat"), std::make_pair(gain, gain)) << call.line;
            EXPECT_EQ(call.pair("offset"), std::make_pair(0LL, 0LL)) << call.line;
        }
        if (call.method == "SetCooperativeLevel") {
            EXPECT_EQ(call["flags"], "0x9") << "exclusive and background";
        }
        if (call.method == "SetProperty") {
            EXPECT_EQ(call["data"], "0") << "the stick's own centring spring is switched off";
        }
    }
    EXPECT_THAT(types, ::testing::ElementsAre("damper", "damper", "friction", "friction", "spring", "spring"));
    EXPECT_TRUE(journal.waitFor(called("dev0", "Acquire")));
    for (Effect e : {Spring, Damper, Friction})
        EXPECT_TRUE(journal.waitFor(succeeded(effect(e), "Start"))) << effect(e) << journalText();

    journal.mark();
    close();
    std::vector<std::string> stops;
    std::map<std::string, std::string> lastRefs;  // object -> references after its last Release
    for (const SimCall& call : journal.sinceMark()) {
        if (call.method == "Stop")
            stops.push_back(call.object);
        if (call.method == "Release")
            lastRefs[call.object] = call["refs"];
        EXPECT_FALSE(call.has("error")) << call.line;
    }
    EXPECT_THAT(stops, ::testing::ElementsAre(effect(Spring), effect(Damper), effect(Friction), effect(Spring2),
                                              effect(Damper2), effect(Friction2)));
    for (const std::string& object : {effects[0], effects[1], effects[2], effects[3], effects[4], effects[5],
                                      std::string("dev0"), std::string("dinput")})
        EXPECT_EQ(lastRefs[object], "0") << object << " still held at exit" << journalText();
    EXPECT_THAT(folder.read(L"opt.dat"), ::testing::ElementsAreArray(defaultSettingsFile));
}

TEST_F(SimJourney, SliderMoveReachesTheSpringAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(start());
    journal.mark();
    SendMessageW(controls[SpringSlider], TBM_SETPOS, TRUE, 37);
    SendMessageW(window, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(controls[SpringSlider]));
    SimCall set;
    ASSERT_TRUE(journal.waitFor(called(effect(Spring), "SetParameters"), &set)) << journalText();
    EXPECT_EQ(set.pair("pos"), std::make_pair(3700LL, 3700LL));
    EXPECT_EQ(textOf(controls[SpringEdit]), L"37");
    close();
    EXPECT_EQ(folder.read(L"opt.dat").at(springAt), 37);
}

struct TrimCase {
    const char* name;
    int swap;
    std::pair<long long, long long> centre;  // the spring offsets after the trim
};

void PrintTo(const TrimCase& c, std::ostream* out)
{
    *out << c.name;
}

class TrimJourney : public SimJourney, public ::testing::WithParamInterface<TrimCase> {};

// Stick pushed right and forward: X 49151 and Y 16384 are offsets +4999 and
// -4999. With the axes swapped the centre turns a quarter: X takes the Y
// offset and Y the negated X offset.
TEST_P(TrimJourney, HoldToggleAndCentreMoveTheSpringCentre)
{
    folder.write(L"opt.dat", settingsFile({{holdAt, 1}, {toggleAt, 2}, {centerAt, 3}, {swapAt, GetParam().swap}}));
    ASSERT_NO_FATAL_FAILURE(start());
    const auto [x, y] = GetParam().centre;

    // Hold: the second set plays while the button is down ...
    journal.mark();
    ASSERT_TRUE(press("01"));
    ASSERT_TRUE(waitForSet(2)) << journalText();
    // ... and on release the spring centres where the stick stands.
    journal.mark();
    ASSERT_TRUE(press("00", 49151, 16384));
    ASSERT_TRUE(waitForSpringCentre(x, y)) << journalText();
    ASSERT_TRUE(waitForSet(1)) << journalText();

    // Centre: back to the middle within one tick.
    journal.mark();
    ASSERT_TRUE(press("0001", 49151, 16384));
    ASSERT_TRUE(waitForSpringCentre(0, 0)) << journalText();
    ASSERT_TRUE(press("0000", 49151, 16384));

    // Toggle: one press releases the forces, the next re-centres on the stick.
    journal.mark();
    ASSERT_TRUE(press("001", 20000, 45000));
    ASSERT_TRUE(waitForSet(2)) << journalText();
    ASSERT_TRUE(press("000", 49151, 16384));
    Sleep(250);  // presses closer than 200 ms count once
    journal.mark();
    ASSERT_TRUE(press("001", 49151, 16384));
    EXPECT_TRUE(waitForSpringCentre(x, y)) << journalText();
    EXPECT_TRUE(waitForSet(1)) << journalText();
    ASSERT_TRUE(press("000", 49151, 16384));
    close();
}

INSTANTIATE_TEST_SUITE_P(SwapOnAndOff, TrimJourney,
                         ::testing::Values(TrimCase{"swapped", 1, {-4999, -4999}},
                                           TrimCase{"straight", 0, {4999, -4999}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimJourney, HatWalksTheCentreUntilTheLimit)
{
    folder.write(L"opt.dat", settingsFile({{modeAt, 2}, {swapAt, 0}}));
    ASSERT_NO_FATAL_FAILURE(start());
    journal.mark();
    ASSERT_TRUE(writeInput(folder, {{0, StickInput{32767, 32767, 9000, ""}}}));  // hat right: +X, 125 per tick
    ASSERT_TRUE(waitForSpringCentre(125, 0)) << journalText();
    ASSERT_TRUE(waitForSpringCentre(250, 0)) << journalText();
    ASSERT_TRUE(waitForSpringCentre(10000, 0, 20000)) << journalText();
    // At the limit the centre stays put.
    journal.mark();
    ASSERT_TRUE(journal.waitFor(called(effect(Spring), "SetParameters")));
    Sleep(200);
    for (const SimCall& call : journal.sinceMark()) {
        if (call.object == effect(Spring) && call.method == "SetParameters") {
            EXPECT_EQ(call.pair("offset"), std::make_pair(10000LL, 0LL)) << call.line;
        }
    }
    close();
}

// A hold-and-release, then the hat walking the centre: the journey behind
// the plot in the README (scripts/plot-trim keeps its journal).
TEST_F(SimJourney, HoldReleaseThenHatTrim)
{
    folder.write(L"opt.dat", settingsFile({{holdAt, 1}, {swapAt, 0}, {modeAt, 3}}));
    ASSERT_NO_FATAL_FAILURE(start());
    Sleep(500);

    ASSERT_TRUE(press("01"));
    for (int step = 1; step <= 6; ++step)
        ASSERT_TRUE(press("01", 32767 + step * 3200, 32767 - step * 1800));
    journal.mark();
    ASSERT_TRUE(press("00", 32767 + 6 * 3200, 32767 - 6 * 1800));
    // 51967 and 21967 are offsets 5859 and -3296.
    ASSERT_TRUE(waitForSpringCentre(5859, -3296)) << journalText();
    Sleep(500);

    journal.mark();
    ASSERT_TRUE(writeInput(folder, {{0, StickInput{51967, 21967, 9000, ""}}}));  // hat right
    ASSERT_TRUE(waitForSpringCentre(5859 + 20 * 125, -3296)) << journalText();
    ASSERT_TRUE(writeInput(folder, {{0, StickInput{51967, 21967, 0, ""}}}));  // hat forward
    ASSERT_TRUE(waitForSpringCentre(5859 + 20 * 125, -3296 - 16 * 125)) << journalText();
    ASSERT_TRUE(writeInput(folder, {{0, StickInput{51967, 21967, -1, ""}}}));
    Sleep(500);
    close();

    wchar_t keep[MAX_PATH];
    if (GetEnvironmentVariableW(L"KESTRA_PLOT_JOURNAL", keep, MAX_PATH))
        CopyFileW(folder.file(L"sim-journal.txt").c_str(), keep, FALSE);
}

TEST_F(SimJourney, RestartFromTheMenuPassesTheSettingsThroughTheFile)
{
    ASSERT_NO_FATAL_FAILURE(start());
    SendMessageW(controls[SpringSlider], TBM_SETPOS, TRUE, 64);
    SendMessageW(window, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(controls[SpringSlider]));
    journal.mark();
    command(initDirectInput);
    SimCall created;
    ASSERT_TRUE(journal.waitFor(called("dinput", "DirectInput8Create"), &created)) << journalText();
    EXPECT_EQ(folder.read(L"opt.dat").at(springAt), 64) << "written before the new discovery";
    ASSERT_TRUE(waitUntil([&] { return textOf(controls[SpringEdit]) == L"64"; }));
    EXPECT_TRUE(journal.waitFor(called("dev0", "Acquire")));
    close();
}

TEST_F(SimJourney, HotkeyRestartsWhileHeld)
{
    // An unassigned virtual-key code, which no key on the X keyboard produces:
    // Wine puts every key the X keyboard has back to the X server's state
    // whenever one of its windows gains the X focus, and other tests open
    // windows all the time. The window tests press 0x97..0x99.
    constexpr WORD hotkey = 0x9A;
    folder.write(L"opt.dat", settingsFile({{hotkeyAt, hotkey}}));
    ASSERT_NO_FATAL_FAILURE(start());
    journal.mark();
    INPUT key = {};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = hotkey;
    SendInput(1, &key, sizeof(key));
    const bool restarted = journal.waitFor(called("dinput", "DirectInput8Create"));
    key.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &key, sizeof(key));
    EXPECT_TRUE(restarted) << journalText();
    close();
}

TEST_F(SimJourney, WithoutForceFeedbackStickKestraSaysSoListsWhatThereIsAndPlaysNothing)
{
    const struct {
        const char* config;
        const wchar_t* message;
        int listed;
    } cases[] = {{"", L"No Joystick found.", 0}, {"device \"Sim Pedals\"\n", L"No FFB Joystick found.", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        TestFolder caseFolder;
        SimJournal caseJournal(caseFolder);
        caseFolder.write(L"sim-config.txt", Bytes(c.config, c.config + std::strlen(c.config)));
        KestraProcess kestra(caseFolder, DirectInput::Simulated);
        const MessageBoxSeen box = waitForMessageBox(kestra);
        ASSERT_NE(box.window, nullptr) << kestra.describeWindows();
        EXPECT_EQ(box.text, c.message);
        pressOk(box.window);
        const HWND main = kestra.mainWindow();
        std::vector<HWND> controls;
        ASSERT_TRUE(waitUntil([&] { return (controls = controlsOf(main)).size() == 31; }));
        ASSERT_TRUE(waitUntil([&] { return entryCount(controls[HotkeyList]) > 0; }));
        EXPECT_EQ(entryCount(controls[DeviceList]), c.listed);
        if (c.listed) {
            EXPECT_EQ(entryText(controls[DeviceList], 0), L"Sim Pedals");
        }
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(kestra.waitForExit(), 0);
        for (const SimCall& call : caseJournal.calls()) {
            EXPECT_NE(call.method, "CreateEffect");
            EXPECT_FALSE(call.has("error")) << call.line;
        }
    }
}

TEST_F(SimJourney, FailingEffectCreationLeavesKestraRunningWithoutThatEffect)
{
    ASSERT_NO_FATAL_FAILURE(start(std::string(oneStick) + "fail CreateEffect E_FAIL call=3\n"));
    EXPECT_EQ(effects.size(), 2u) << "creation stops at the failing effect" << journalText();
    EXPECT_TRUE(press("1"));
    EXPECT_TRUE(press("0"));
    close();
    for (const SimCall& call : journal.calls())
        EXPECT_FALSE(call.has("error")) << call.line;
}

TEST_F(SimJourney, BurstOfLostInputIsRidden)
{
    ASSERT_NO_FATAL_FAILURE(start(std::string(oneStick) + "fail GetDeviceState DIERR_INPUTLOST call=5 count=20\n"));
    folder.write(L"opt.dat", settingsFile({}));
    journal.mark();
    ASSERT_TRUE(press("1"));
    EXPECT_TRUE(waitForSet(2)) << "the hold button works again after the burst" << journalText();
    close();
}

TEST_F(SimJourney, AnotherApplicationHoldingTheStickStopsNothing)
{
    ASSERT_NO_FATAL_FAILURE(start(std::string(oneStick) + "fail Acquire DIERR_OTHERAPPHASPRIO call=1 count=all\n"));
    journal.mark();
    ASSERT_TRUE(writeInput(folder, {{0, StickInput{32767, 32767, -1, "1"}}}));
    // Kestra keeps trying, tick after tick, and reads nothing meanwhile.
    ASSERT_TRUE(waitUntil([&] {
        int attempts = 0;
        for (const SimCall& call : journal.sinceMark())
            attempts += call.method == "Acquire";
        return attempts >= 3;
    })) << journalText();
    for (const SimCall& call : journal.sinceMark())
        EXPECT_NE(call.method, "GetDeviceState") << "nothing is read from a stick another program holds";
    close();
}

TEST_F(SimJourney, ControllerGoneAtTheNextRestartIsNoLongerListed)
{
    ASSERT_NO_FATAL_FAILURE(start(std::string(oneStick) + "device \"Sim Pedals\"\nvanish 1 discovery=2\n"));
    ASSERT_EQ(entryCount(controls[DeviceList]), 2);
    journal.mark();
    command(initDirectInput);
    ASSERT_TRUE(journal.waitFor(called("dinput", "EnumDevices")));
    ASSERT_TRUE(waitUntil([&] { return entryCount(controls[DeviceList]) == 1; }));
    EXPECT_EQ(entryText(controls[PovDeviceList], 0), L"Sim Stick");
    close();
}

} // namespace
