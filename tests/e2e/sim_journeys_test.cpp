// The real kestra.exe with the simulated stick beside it: a few journeys through the whole program, asserted on the
// sim's journal, on the window and on "opt.dat".
#include "tests/support/kestra_process.h"
#include "tests/support/sim_journal.h"
#include "tests/support/settings_bytes.h"

#include <gmock/gmock.h>

#include <commctrl.h>

#include <algorithm>
#include <memory>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Controls by creation order.
enum Control { SpringEdit = 11, SpringSlider = 12 };
// The six effects by the order Kestra creates them.
enum Effect { Damper, Damper2, Friction, Friction2, Spring, Spring2 };

const std::string oneStick = "device \"Sim Stick\" ffb axes=2\n";

class SimJourney : public ::testing::Test {
protected:
    // Starts Kestra with these settings and the sim so configured, and waits until its first tick has filled the window.
    void start(const Bytes& settings, const std::string& config = oneStick)
    {
        journal.mark();
        folder.write(L"opt.dat", settings);
        folder.write(L"sim-config.txt", Bytes(config.begin(), config.end()));
        kestra = std::make_unique<KestraProcess>(folder, DirectInput::Simulated);
        controls = kestra->waitUntilRunning();
        ASSERT_EQ(controls.size(), 31u) << "the first tick never ended" << journalText();
        created.clear();
        for (const SimCall& call : journal.sinceMark())
            if (call.method == "CreateEffect" && call.result == "0x00000000")
                created.push_back(call);
    }

    // Closes the window as a user would: Kestra ends with 0 and no call of it reached a released object.
    void close()
    {
        EXPECT_EQ(kestra->close(), 0);
        for (const SimCall& call : journal.calls())
            EXPECT_FALSE(call.has("error")) << call.line;
    }

    // The number of an effect Kestra created: "5".
    std::string effect(Effect which) const
    {
        return static_cast<std::size_t>(which) < created.size() ? created[which]["eff"] : "(no effect)";
    }

    // The stick feels, since the mark, the playing spring centred there; anyX leaves X out of it.
    bool waitForSpringCentre(long long x, long long y, bool anyX = false)
    {
        return journal.waitFor([&](const SimCall& call) {
            const std::string centre = call["centre"], atY = centre.substr(centre.find(',') + 1);
            return call.method == "force" && (anyX || centre == std::to_string(x) + "," + atY) &&
                   atY == std::to_string(y);
        });
    }

    // The stick feels, since the mark, the set playing: its damper, friction and spring, and nothing else.
    std::function<bool(const SimCall&)> plays(int set) const
    {
        const std::string effects = set == 1 ? effect(Damper) + "," + effect(Friction) + "," + effect(Spring)
                                             : effect(Damper2) + "," + effect(Friction2) + "," + effect(Spring2);
        return [=](const SimCall& call) { return call.method == "force" && call["playing"] == effects; };
    }
    bool waitForSet(int set) { return journal.waitFor(plays(set)); }

    // Sets the stick and waits until Kestra has read it: a press shorter than a tick would go unseen.
    bool press(const std::string& buttons, LONG x = 32767, LONG y = 32767, DWORD pov = 0xFFFFFFFF)
    {
        std::string all = buttons;
        all.resize(32, '0');
        SimJournal reads(folder);
        reads.mark();
        return writeInput(folder, {buttons, x, y, pov}) && reads.waitFor([&](const SimCall& c) {
            return c.method == "GetDeviceState" && c["x"] == std::to_string(x) && c["y"] == std::to_string(y) &&
                   c["pov"] == std::to_string(static_cast<int>(pov)) && c["buttons"] == all;
        });
    }

    std::string journalText() const { return "\njournal:\n" + journal.text(); }

    TestFolder folder;
    SimJournal journal{folder};
    std::unique_ptr<KestraProcess> kestra;
    std::vector<HWND> controls;
    std::vector<SimCall> created;  // the effects, in order
};

// Start-up creates the effects with the stored strengths and the stick feels the first set's spring; exit releases
// every object and leaves a slider's value in "opt.dat".
TEST_F(SimJourney, StartPlayExitWithTheStoredSettings)
{
    ASSERT_NO_FATAL_FAILURE(start(settingsFileWith({{springAt, 37}})));
    EXPECT_TRUE(journal.waitFor([](const SimCall& c) { return c.method == "force" && c["spring"] == "3700"; }))
        << journalText();
    EXPECT_EQ(textOf(controls[SpringEdit]), L"37");

    const HWND slider = controls[SpringSlider];
    SendMessageW(slider, TBM_SETPOS, TRUE, 64);
    SendMessageW(GetParent(slider), WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
    journal.mark();
    close();
    const std::vector<SimCall> exit = journal.sinceMark();
    const auto freed = [](const SimCall& c) { return c.method == "Release" && c["refs"] == "0"; };
    EXPECT_EQ(std::count_if(exit.begin(), exit.end(), freed), 8)
        << "DirectInput, the stick and the six effects released to 0, once" << journalText();
    EXPECT_EQ(folder.read(L"opt.dat"), settingsFileWith({{springAt, 64}}));
}

// Hold, move and release; the hat right and forward; the centre button; a toggle pressed twice. The journey behind the
// README's plot (scripts/plot-trim keeps its journal).
TEST_F(SimJourney, TrimByHoldHatCentreAndToggle)
{
    ASSERT_NO_FATAL_FAILURE(
        start(settingsFileWith({{holdAt, 1}, {toggleAt, 2}, {centerAt, 3}, {swapAt, 0}, {modeAt, 3}})));

    journal.mark();
    ASSERT_TRUE(press("01"));
    ASSERT_TRUE(waitForSet(2)) << "the second set plays while Hold is down" << journalText();
    for (int step = 1; step <= 6; ++step)
        ASSERT_TRUE(press("01", 32767 + step * 3200, 32767 - step * 1800));
    journal.mark();
    ASSERT_TRUE(press("00", 51967, 21967));
    // Offsets 5859 and -3296: the spring centres where the stick was let go.
    ASSERT_TRUE(waitForSpringCentre(5859, -3296)) << journalText();
    ASSERT_TRUE(waitForSet(1)) << journalText();

    journal.mark();
    ASSERT_TRUE(press("", 51967, 21967, 9000));  // hat right: 125 a tick
    ASSERT_TRUE(waitForSpringCentre(5859 + 20 * 125, -3296)) << journalText();
    ASSERT_TRUE(press("", 51967, 21967, 0));  // hat forward
    ASSERT_TRUE(waitForSpringCentre(0, -3296 - 16 * 125, true)) << journalText();
    ASSERT_TRUE(press("", 51967, 21967));

    journal.mark();
    ASSERT_TRUE(press("0001", 51967, 21967));
    ASSERT_TRUE(waitForSpringCentre(0, 0)) << "Center brings it back within a tick" << journalText();
    ASSERT_TRUE(press("0000", 20000, 45000));

    journal.mark();
    ASSERT_TRUE(press("001", 20000, 45000));
    ASSERT_TRUE(waitForSet(2)) << journalText();
    ASSERT_TRUE(press("000", 49151, 16384));
    Sleep(250);  // presses closer than 200 ms count once
    journal.mark();
    ASSERT_TRUE(press("001", 49151, 16384));
    EXPECT_TRUE(waitForSpringCentre(4999, -4999)) << journalText();
    EXPECT_TRUE(waitForSet(1)) << journalText();
    close();

    wchar_t keep[MAX_PATH];
    if (GetEnvironmentVariableW(L"KESTRA_PLOT_JOURNAL", keep, MAX_PATH))
        CopyFileW(folder.file(L"sim-journal.txt").c_str(), keep, FALSE);
}

// Lost input Kestra rides out: a burst of lost reads while Hold is held does not let it go, and Hold let go after the
// burst is seen.
TEST_F(SimJourney, LostInputIsRiddenOut)
{
    ASSERT_TRUE(writeInput(folder, {"01"}));
    ASSERT_NO_FATAL_FAILURE(
        start(settingsFileWith({{holdAt, 1}}), oneStick + "fail GetDeviceState DIERR_INPUTLOST call=20 count=20\n"));
    ASSERT_TRUE(waitForSet(2)) << journalText();
    journal.mark();
    const auto lost = [](const SimCall& c) { return c.method == "GetDeviceState" && c.result == "0x8007001E"; };
    ASSERT_TRUE(waitUntil([&] {
        const std::vector<SimCall> all = journal.calls();
        return std::count_if(all.begin(), all.end(), lost) == 20;
    })) << "the burst never ended" << journalText();
    EXPECT_FALSE(journal.waitFor(plays(1), 0)) << "Hold let go in the burst";
    journal.mark();
    ASSERT_TRUE(press("")) << "no read after the burst";
    EXPECT_TRUE(waitForSet(1)) << journalText();
    close();
}

} // namespace
