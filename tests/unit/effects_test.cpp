// The six condition effects on the simulated stick: creation, the spring
// centre, the set switch and the strengths.
#include "ffb/discovery.h"
#include "ffb/effects.h"
#include "tests/support/kestra_fixture.h"

#include <gmock/gmock.h>

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class EffectsTest : public KestraFixture {
protected:
    void SetUp() override
    {
        KestraFixture::SetUp();
        // Distinct strengths, so an effect holding another's shows.
        std::int32_t gain = 1100;
        for (std::int32_t SettingsFields::*field : gainFields)
            Settings.*field = gain += 100;
        Settings.swapAxes = 0;
    }

    // "spring2 Stop", "damper SetParameters 1300,1300 0,0": the effects' calls since the last clear.
    static std::vector<std::string> effectCalls()
    {
        const std::pair<IDirectInputEffect*, const char*> handles[] = {
            {springEffect, "spring"},   {damperEffect, "damper"},   {frictionEffect, "friction"},
            {springEffect2, "spring2"}, {damperEffect2, "damper2"}, {frictionEffect2, "friction2"}};
        auto nameOf = [&](const std::string& label) -> std::string {
            for (const auto& [handle, name] : handles)
                if (handle && labelOf(handle) == label)
                    return name;
            return label;
        };
        std::vector<std::string> found;
        for (const SimCall& c : calls()) {
            if (c.method == "CreateEffect")
                found.push_back(nameOf("eff" + c["eff"]) + " created " + c["type"] + " " + c["pos"]);
            else if (c.method == "SetParameters")
                found.push_back(nameOf(c.object) + " SetParameters " + c["pos"] + " " + c["offset"]);
            else if (c.method == "Start" || c.method == "Stop")
                found.push_back(nameOf(c.object) + " " + c.method);
        }
        return found;
    }
};

TEST_F(EffectsTest, CreatedInOrderWithTheirStrengthsTheFirstSetStarted)
{
    ASSERT_EQ(initDirectInput(), S_OK);
    EXPECT_THAT(effectCalls(),
                ElementsAre("damper created damper 1300,1300", "damper Start", "damper2 created damper 1600,1600",
                            "friction created friction 1400,1400", "friction Start",
                            "friction2 created friction 1700,1700", "spring created spring 1200,1200",
                            "spring2 created spring 1500,1500", "spring Start"));
    for (const SimCall& c : calls("CreateEffect")) {
        // Infinite, full gain, no trigger; X and Y, one record each, centred;
        // the strength is the coefficient and the saturation both ways.
        EXPECT_EQ(c["axes"] + " " + c["axis"] + " " + c["dir"] + " " + c["duration"] + " " + c["gain"] + " " +
                      c["trigger"] + " " + c["records"] + " " + c["offset"] + " " + c["deadband"] + " " + c.result,
                  "2 0,4 0,0 4294967295 10000 4294967295 2 0,0 0,0 0x00000000")
            << c.line;
        EXPECT_EQ(c["neg"] + c["possat"] + c["negsat"], c["pos"] + c["pos"] + c["pos"]) << c.line;
    }
}

// A one-axis device gets one record, for X, which follows the stick's X even
// with "Swap Axis" on; a device with no actuator axis gets no request at all.
// Strengths from a hand-edited file reach DirectInput within 0..10000.
TEST_F(EffectsTest, RecordsMatchTheAxesAndStrengthsDirectInputsRange)
{
    Settings.springGain = -5000;
    Settings.damperGain = 15000;
    open("device \"Wheel\" ffb axes=1\n");
    trimX = 2000;
    trimY = -500;
    Settings.swapAxes = 1;
    updateEffects();
    EXPECT_THAT(effectCalls(), Contains("spring SetParameters 0 2000"));
    EXPECT_THAT(effectCalls(), Contains("spring2 SetParameters 1500 2000"));
    EXPECT_THAT(effectCalls(), Contains("damper SetParameters 10000 0"));
    for (const SimCall& c : calls("SetParameters"))
        EXPECT_EQ(c["possat"] + c["negsat"], c["pos"] + c["pos"]) << c.line;
    releaseDirectInput();

    simReset("device \"Odd\" ffb axes=0\n");
    EXPECT_TRUE(FAILED(initDirectInput()));
    EXPECT_THAT(calls("CreateEffect"), IsEmpty());
}

// A failed creation ends the sequence with its result; the effects made
// before it stay, the later handles stay null and no spring is started. A
// creation that succeeds without a handle (a driver's fault) counts as failed.
TEST_F(EffectsTest, FailedCreationKeepsTheEffectsBeforeIt)
{
    IDirectInputEffect** const creationOrder[] = {&damperEffect,   &damperEffect2, &frictionEffect,
                                                  &frictionEffect2, &springEffect,  &springEffect2};
    for (int failing = 1; failing <= 7; ++failing) {
        // The seventh case: the sixth creation "succeeds" and hands out nothing.
        const int made = failing == 7 ? 5 : failing - 1;
        releaseDirectInput();
        simReset(oneStick + (failing == 7 ? "fail CreateEffect S_OK call=6\n"
                                          : "fail CreateEffect DIERR_DEVICEFULL call=" + std::to_string(failing) + "\n"));
        EXPECT_EQ(initDirectInput(), failing == 7 ? E_FAIL : DIERR_DEVICEFULL);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(*creationOrder[i] != nullptr, i < made) << "case " << failing << ", handle " << i;
        EXPECT_THAT(effectCalls(), ::testing::Not(Contains("spring Start"))) << failing;
    }
}

// Both springs take the trim as their centre, turned a quarter with the
// axes swapped (X takes trimY, Y takes -trimX); then every update switches
// to the set forcesOn names, only 1 naming the first; the other effects get
// their strengths, centred.
TEST_F(EffectsTest, UpdatesCentreTheSpringsAndSwitchSets)
{
    open();
    trimX = 2000;
    trimY = -500;
    const std::vector<std::string> firstSet = {"spring2 Stop", "spring Start", "damper2 Stop", "damper Start",
                                               "friction2 Stop", "friction Start"};
    const std::vector<std::string> secondSet = {"spring Stop", "spring2 Start", "damper Stop", "damper2 Start",
                                                "friction Stop", "friction2 Start"};
    const struct {
        std::uint8_t swap, selector;
        const char* centre;
    } cases[] = {{1, 1, "-500,-2000"}, {0, 1, "2000,-500"}, {0, 0, "2000,-500"}, {0, 2, "2000,-500"},
                 {0, 255, "2000,-500"}};
    for (const auto& c : cases) {
        Settings.swapAxes = c.swap;
        forcesOn = c.selector;
        simClearJournal();
        updateSprings();
        std::vector<std::string> expected = {std::string("spring SetParameters 1200,1200 ") + c.centre,
                                             std::string("spring2 SetParameters 1500,1500 ") + c.centre};
        const std::vector<std::string>& set = c.selector == 1 ? firstSet : secondSet;
        expected.insert(expected.end(), set.begin(), set.end());
        EXPECT_EQ(effectCalls(), expected) << "forcesOn " << int(c.selector) << ", swap " << int(c.swap);
    }
    simClearJournal();
    updateEffects();
    const std::vector<std::string> seen = effectCalls();
    ASSERT_EQ(seen.size(), 12u);
    EXPECT_THAT(std::vector<std::string>(seen.begin() + 8, seen.end()),
                ElementsAre("friction SetParameters 1400,1400 0,0", "friction2 SetParameters 1700,1700 0,0",
                            "damper SetParameters 1300,1300 0,0", "damper2 SetParameters 1600,1600 0,0"));
}

} // namespace
