// The six condition effects on the simulated stick: creation, the spring centre, the set switch and the strengths.
#include "ffb/discovery.h"
#include "ffb/effects.h"
#include "tests/support/kestra_fixture.h"

#include <gmock/gmock.h>

#include <map>

namespace {

class EffectsTest : public KestraFixture {
protected:
    void SetUp() override
    {
        KestraFixture::SetUp();
        // Distinct strengths, so an effect holding another's shows.
        Settings.springGain = 1200, Settings.damperGain = 1300, Settings.frictionGain = 1400;
        Settings.springGain2 = 1500, Settings.damperGain2 = 1600, Settings.frictionGain2 = 1700;
    }

    // The effects' calls since the last clear: "spring2 Stop", "damper SetParameters 1300,1300 0,0". The strength shown
    // is the coefficient and the saturation both ways; a record where the four differ shows all four. What DirectInput
    // refused shows its result instead: "damper SetParameters refused 0x80070057".
    static std::vector<std::string> effectCalls()
    {
        const std::map<std::string, std::string> names = {
            {simLabel(springEffect), "spring"},     {simLabel(damperEffect), "damper"},
            {simLabel(frictionEffect), "friction"}, {simLabel(springEffect2), "spring2"},
            {simLabel(damperEffect2), "damper2"},   {simLabel(frictionEffect2), "friction2"}};
        auto nameOf = [&](const std::string& label) { return names.count(label) ? names.at(label) : label; };
        std::vector<std::string> found;
        for (const SimCall& c : calls()) {
            const bool accepted = c.result == "0x00000000" || c.result == "0x00000003";  // DI_DOWNLOADSKIPPED
            std::string strength = accepted ? c["pos"] : "refused " + c.result;
            if (accepted && (c["neg"] != strength || c["possat"] != strength || c["negsat"] != strength))
                strength += "/" + c["neg"] + "/" + c["possat"] + "/" + c["negsat"];
            if (c.method == "CreateEffect")
                found.push_back(nameOf("eff" + c["eff"]) + " created " + c["type"] + " " + strength);
            else if (c.method == "SetParameters")
                found.push_back(nameOf(c.object) + " SetParameters " + strength + (accepted ? " " + c["offset"] : ""));
            else if (c.method == "Start" || c.method == "Stop")
                found.push_back(nameOf(c.object) + " " + c.method);
        }
        return found;
    }
};

// Dampers, frictions, then springs, the first set before the second; the first set's damper and friction start as they
// are made, its spring once both exist. Each is infinite, at full gain, untriggered, one centred record for each of X
// and Y.
TEST_F(EffectsTest, CreatedInOrderWithTheirStrengthsTheFirstSetStarted)
{
    ASSERT_EQ(initDirectInput(), S_OK);
    EXPECT_THAT(effectCalls(), ::testing::ElementsAre(
        "damper created damper 1300,1300", "damper Start", "damper2 created damper 1600,1600",
        "friction created friction 1400,1400", "friction Start", "friction2 created friction 1700,1700",
        "spring created spring 1200,1200", "spring2 created spring 1500,1500", "spring Start"));
    const std::pair<const char*, const char*> fields[] = {{"axes", "2"}, {"axis", "0,4"}, {"dir", "0,0"},
        {"duration", "4294967295"}, {"gain", "10000"}, {"trigger", "4294967295"}, {"records", "2"},
        {"offset", "0,0"}, {"deadband", "0,0"}};
    for (const SimCall& c : calls("CreateEffect")) {
        EXPECT_EQ(c.result, "0x00000000") << c.line;
        for (const auto& [key, value] : fields)
            EXPECT_EQ(c[key], value) << key << " in " << c.line;
    }
}

// A one-axis device gets one record, for X, which follows the stick's X even with "Swap Axis" on; a device with no
// actuator axis gets no request at all. Strengths from a hand-edited file reach DirectInput within 0..10000.
TEST_F(EffectsTest, RecordsMatchTheAxesAndStrengthsDirectInputsRange)
{
    Settings.springGain = -5000;
    Settings.damperGain = 15000;
    open("device \"Wheel\" ffb axes=1\n");
    trimX = 2000;
    trimY = -500;
    updateEffects();
    EXPECT_THAT(effectCalls(), ::testing::IsSupersetOf({"spring SetParameters 0 2000", "damper SetParameters 10000 0",
                                                        "spring2 SetParameters 1500 2000"}));
    releaseDirectInput();
    simReset("device \"Odd\" ffb axes=0\n");
    EXPECT_EQ(initDirectInput(), DIERR_UNSUPPORTED);
    EXPECT_TRUE(calls("CreateEffect").empty());
}

// A failed creation ends the sequence with its result; the effects made before it stay, the later handles stay null and
// no spring is started. A creation that succeeds without a handle (a driver's fault) counts as failed.
TEST_F(EffectsTest, FailedCreationKeepsTheEffectsBeforeIt)
{
    IDirectInputEffect** const creationOrder[] = {&damperEffect,   &damperEffect2, &frictionEffect,
                                                  &frictionEffect2, &springEffect,  &springEffect2};
    for (int failing = 1; failing <= 7; ++failing) {  // the seventh: the sixth "succeeds" and hands out nothing
        releaseDirectInput();
        const std::string fault = failing == 7 ? "S_OK call=6" : "DIERR_DEVICEFULL call=" + std::to_string(failing);
        simReset(oneStick + "fail CreateEffect " + fault + "\n");
        EXPECT_EQ(initDirectInput(), failing == 7 ? E_FAIL : DIERR_DEVICEFULL);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(*creationOrder[i] != nullptr, i < std::min(failing - 1, 5)) << failing << ", handle " << i;
        EXPECT_THAT(effectCalls(), ::testing::Not(::testing::Contains("spring Start"))) << failing;
    }
}

// Both springs take the trim as their centre, turned a quarter with the axes swapped (X takes trimY, Y takes -trimX);
// every update then plays the set forcesOn names, only 1 naming the first, and gives the other four effects their
// strengths, centred.
TEST_F(EffectsTest, UpdatesCentreTheSpringsAndSwitchSets)
{
    open();
    trimX = 2000;
    trimY = -500;
    const struct { std::uint8_t swap, forces; const char *playing, *silenced, *centre; } cases[] = {  // "2": second set
        {1, 1, "", "2", "-500,-2000"}, {0, 1, "", "2", "2000,-500"}, {0, 0, "2", "", "2000,-500"},
        {0, 2, "2", "", "2000,-500"},  {0, 255, "2", "", "2000,-500"}};
    for (const auto& c : cases) {
        Settings.swapAxes = c.swap;
        forcesOn = c.forces;
        simClearJournal();
        updateEffects();
        std::vector<std::string> expected = {std::string("spring SetParameters 1200,1200 ") + c.centre,
                                             std::string("spring2 SetParameters 1500,1500 ") + c.centre};
        for (const std::string effect : {"spring", "damper", "friction"})
            expected.insert(expected.end(), {effect + c.silenced + " Stop", effect + c.playing + " Start"});
        expected.insert(expected.end(),
                        {"friction SetParameters 1400,1400 0,0", "friction2 SetParameters 1700,1700 0,0",
                         "damper SetParameters 1300,1300 0,0", "damper2 SetParameters 1600,1600 0,0"});
        EXPECT_EQ(effectCalls(), expected) << "forcesOn " << int(c.forces) << ", swap " << int(c.swap);
    }
}

} // namespace
