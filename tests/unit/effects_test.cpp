// The six condition effects on the simulated stick: creation, the spring
// centre, the set switch and the strengths.
#include "ffb/discovery.h"
#include "ffb/effects.h"
#include "tests/support/kestra_fixture.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class EffectsTest : public KestraFixture {
protected:
    void SetUp() override
    {
        KestraFixture::SetUp();
        // Distinct strengths, so an effect holding another's shows.
        Settings.springGain = 1100;
        Settings.damperGain = 1200;
        Settings.frictionGain = 1300;
        Settings.springGain2 = 1400;
        Settings.damperGain2 = 1500;
        Settings.frictionGain2 = 1600;
        Settings.swapAxes = 0;
    }

    // Which handle holds the effect a journal line names.
    static std::string nameOf(const std::string& label)
    {
        const std::pair<IDirectInputEffect*, const char*> handles[] = {
            {springEffect, "spring"},   {damperEffect, "damper"},   {frictionEffect, "friction"},
            {springEffect2, "spring2"}, {damperEffect2, "damper2"}, {frictionEffect2, "friction2"}};
        for (const auto& [handle, name] : handles) {
            if (handle && labelOf(handle) == label)
                return name;
        }
        return label;
    }

    // "spring2 Stop", "damper SetParameters 1200 0,0": the effects' calls since the last clear.
    static std::vector<std::string> effectCalls()
    {
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
                ElementsAre("damper created damper 1200,1200", "damper Start", "damper2 created damper 1500,1500",
                            "friction created friction 1300,1300", "friction Start",
                            "friction2 created friction 1600,1600", "spring created spring 1100,1100",
                            "spring2 created spring 1400,1400", "spring Start"));
    for (const SimCall& c : calls("CreateEffect")) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(c.result, "0x00000000");
        // Infinite, full gain, no trigger; X and Y, one record each, centred;
        // the strength is the coefficient and the saturation both ways.
        EXPECT_EQ(c["axes"] + " " + c["axis"] + " " + c["dir"] + " " + c["duration"] + " " + c["gain"] + " " +
                      c["trigger"] + " " + c["records"] + " " + c["offset"] + " " + c["deadband"],
                  "2 0,4 0,0 4294967295 10000 4294967295 2 0,0 0,0");
        EXPECT_EQ(c["neg"], c["pos"]);
        EXPECT_EQ(c["possat"], c["pos"]);
        EXPECT_EQ(c["negsat"], c["pos"]);
    }
}

// DirectInput takes one condition record for every axis or one per axis: a
// one-axis device gets one, for X, which follows the stick's X even with
// "Swap Axis" on; a device with no actuator axis gets no request at all.
TEST_F(EffectsTest, RecordsMatchTheActuatorAxes)
{
    open("device \"Wheel\" ffb axes=1\n");
    ASSERT_NE(springEffect2, nullptr);
    trimX = 2000;
    trimY = -500;
    Settings.swapAxes = 1;
    updateSprings();
    EXPECT_THAT(effectCalls(), ::testing::Contains("spring SetParameters 1100 2000"));
    EXPECT_THAT(effectCalls(), ::testing::Contains("spring2 SetParameters 1400 2000"));
    releaseDirectInput();

    simReset("device \"Odd\" ffb axes=0\n");
    EXPECT_TRUE(FAILED(initDirectInput()));
    EXPECT_THAT(calls("CreateEffect"), IsEmpty());
}

// A strength from a hand-edited file reaches DirectInput within 0..10000.
TEST_F(EffectsTest, StrengthsAreHeldToDirectInputsRange)
{
    Settings.springGain = -5000;
    Settings.damperGain = 15000;
    open();
    updateEffects();
    EXPECT_THAT(effectCalls(), ::testing::IsSupersetOf({"spring SetParameters 0,0 0,0", "damper SetParameters 10000,10000 0,0"}));
    for (const SimCall& c : calls("SetParameters")) {
        EXPECT_EQ(c["possat"], c["pos"]) << c.line;
        EXPECT_EQ(c["negsat"], c["pos"]) << c.line;
    }
}

// A failed creation ends the sequence with its result; the effects made
// before it stay, the later handles stay null and no spring is started.
TEST_F(EffectsTest, FailedCreationKeepsTheEffectsBeforeIt)
{
    IDirectInputEffect** const creationOrder[] = {&damperEffect,   &damperEffect2, &frictionEffect,
                                                  &frictionEffect2, &springEffect,  &springEffect2};
    for (int failing = 1; failing <= 6; ++failing) {
        SCOPED_TRACE("creation " + std::to_string(failing) + " fails");
        releaseDirectInput();
        simReset(oneStick + "fail CreateEffect DIERR_DEVICEFULL call=" + std::to_string(failing) + "\n");
        EXPECT_EQ(initDirectInput(), DIERR_DEVICEFULL);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(*creationOrder[i] != nullptr, i < failing - 1) << "creation " << i + 1;
        EXPECT_THAT(effectCalls(), ::testing::Not(::testing::Contains("spring Start")));
    }
}

// Both springs take the trim as their centre; with the axes swapped the
// centre turns a quarter: X takes trimY and Y takes -trimX.
TEST_F(EffectsTest, SpringCentreTurnsAQuarterWithSwapAxis)
{
    open();
    trimX = 2000;
    trimY = -500;
    for (auto [swap, centre] : {std::pair{1, "-500,-2000"}, std::pair{0, "2000,-500"}}) {
        Settings.swapAxes = static_cast<std::uint8_t>(swap);
        simClearJournal();
        updateSprings();
        const std::vector<std::string> seen = effectCalls();
        ASSERT_GE(seen.size(), 2u);
        EXPECT_EQ(seen[0], std::string("spring SetParameters 1100,1100 ") + centre);
        EXPECT_EQ(seen[1], std::string("spring2 SetParameters 1400,1400 ") + centre);
    }
}

// Every update switches to the set forcesOn names, the set that plays being
// started again even when it did not change; only 1 names the first set.
TEST_F(EffectsTest, UpdateSwitchesToTheSetForcesOnNames)
{
    open();
    for (std::uint8_t selector : {1, 0, 2, 255, 1}) {
        SCOPED_TRACE(static_cast<int>(selector));
        forcesOn = selector;
        simClearJournal();
        updateSprings();
        const std::vector<std::string> seen = effectCalls();
        ASSERT_EQ(seen.size(), 8u);
        const std::vector<std::string> switched(seen.begin() + 2, seen.end());
        if (selector == 1)
            EXPECT_THAT(switched, ElementsAre("spring2 Stop", "spring Start", "damper2 Stop", "damper Start",
                                              "friction2 Stop", "friction Start"));
        else
            EXPECT_THAT(switched, ElementsAre("spring Stop", "spring2 Start", "damper Stop", "damper2 Start",
                                              "friction Stop", "friction2 Start"));
    }
}

TEST_F(EffectsTest, UpdateEffectsGivesTheOthersTheirStrengthsCentred)
{
    open();
    trimX = 1234;
    updateEffects();
    const std::vector<std::string> seen = effectCalls();
    ASSERT_EQ(seen.size(), 12u);
    EXPECT_THAT(std::vector<std::string>(seen.begin() + 8, seen.end()),
                ElementsAre("friction SetParameters 1300,1300 0,0", "friction2 SetParameters 1600,1600 0,0",
                            "damper SetParameters 1200,1200 0,0", "damper2 SetParameters 1500,1500 0,0"));
}

} // namespace
