// The six condition effects: creation, the spring centre and the set switch.
#include "ffb/effects.h"
#include "tests/support/kestra_test.h"

#include <gmock/gmock.h>

#include <algorithm>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class EffectsTest : public KestraTest {
protected:
    void SetUp() override
    {
        KestraTest::SetUp();
        stick = installStick();
        // Distinct strengths, so a handle holding the wrong effect shows.
        Settings.damperGain = 1100;
        Settings.damperGain2 = 1200;
        Settings.frictionGain = 1300;
        Settings.frictionGain2 = 1400;
        Settings.springGain = 1500;
        Settings.springGain2 = 1600;
    }

    FakeDevice* stick = nullptr;
};

// The X and Y offsets of an effect's latest SetParameters.
std::pair<LONG, LONG> lastOffsets(IDirectInputEffect* effect)
{
    const RecordedEffect& last = fakeOf(effect)->parameters.back();
    return {last.conditions.at(0).lOffset, last.conditions.at(1).lOffset};
}

void expectConditions(const RecordedEffect& r, LONG gain, LONG offsetX, LONG offsetY, const std::string& what)
{
    ASSERT_EQ(r.conditions.size(), 2u) << what;
    const LONG offsets[2] = {offsetX, offsetY};
    for (int axis = 0; axis < 2; ++axis) {
        const DICONDITION& c = r.conditions[axis];
        SCOPED_TRACE(what + (axis == 0 ? " X record" : " Y record"));
        EXPECT_EQ(c.lOffset, offsets[axis]);
        EXPECT_EQ(c.lPositiveCoefficient, gain);
        EXPECT_EQ(c.lNegativeCoefficient, gain);
        EXPECT_EQ(c.dwPositiveSaturation, static_cast<DWORD>(gain));
        EXPECT_EQ(c.dwNegativeSaturation, static_cast<DWORD>(gain));
        EXPECT_EQ(c.lDeadBand, 0);
    }
}

TEST_F(EffectsTest, CreatesInOrderStartingFirstSetDamperFrictionThenSpring)
{
    EXPECT_EQ(createEffects(), S_OK);
    EXPECT_THAT(journal, ElementsAre("stick.CreateEffect(damper)", "damper.Start(1,0)",
                                     "stick.CreateEffect(damper)",
                                     "stick.CreateEffect(friction)", "friction.Start(1,0)",
                                     "stick.CreateEffect(friction)",
                                     "stick.CreateEffect(spring)", "stick.CreateEffect(spring)",
                                     "spring.Start(1,0)"));
}

TEST_F(EffectsTest, WithoutAForceFeedbackDeviceNothingIsCreated)
{
    ffbDevice = nullptr;
    EXPECT_TRUE(FAILED(createEffects()));
    EXPECT_THAT(journal, IsEmpty());
    EXPECT_EQ(springEffect, nullptr);
}

TEST_F(EffectsTest, EachHandleHoldsItsTypeAndStrength)
{
    ASSERT_EQ(createEffects(), S_OK);
    const struct {
        IDirectInputEffect* handle;
        const char* label;
        LONG gain;
    } expected[] = {
        {damperEffect, "damper", 1100},     {damperEffect2, "damper2", 1200},
        {frictionEffect, "friction", 1300}, {frictionEffect2, "friction2", 1400},
        {springEffect, "spring", 1500},     {springEffect2, "spring2", 1600},
    };
    for (const auto& e : expected) {
        ASSERT_NE(e.handle, nullptr) << e.label;
        EXPECT_EQ(fakeOf(e.handle)->label, e.label);
        expectConditions(fakeOf(e.handle)->created, e.gain, 0, 0, e.label);
    }
}

TEST_F(EffectsTest, DescriptionHeaderIsTheDocumentedOne)
{
    ASSERT_EQ(createEffects(), S_OK);
    for (const FakeEffect* effect : stick->effects) {
        SCOPED_TRACE(effect->label);
        const DIEFFECT& h = effect->created.header;
        EXPECT_EQ(h.dwSize, sizeof(DIEFFECT));
        EXPECT_EQ(h.dwFlags, 0x12u);
        EXPECT_EQ(h.dwDuration, INFINITE);
        EXPECT_EQ(h.dwSamplePeriod, 0u);
        EXPECT_EQ(h.dwGain, 10000u);
        EXPECT_EQ(h.dwTriggerButton, DIEB_NOTRIGGER);
        EXPECT_EQ(h.dwTriggerRepeatInterval, 0u);
        EXPECT_EQ(h.cAxes, 2u);
        EXPECT_EQ(h.lpEnvelope, nullptr);
        EXPECT_EQ(h.cbTypeSpecificParams, 48u);
        EXPECT_EQ(h.dwStartDelay, 0u);
        EXPECT_THAT(effect->created.axes, ElementsAre(DIJOFS_X, DIJOFS_Y));
        EXPECT_THAT(effect->created.directions, ElementsAre(0, 0));
    }
}

// DirectInput refuses records that match neither one nor every axis, so a
// one-axis device gets one record, for X, which follows the stick's X even
// with "Swap Axis" on; a device with no actuator axis gets no request at all.
TEST_F(EffectsTest, RecordsMatchTheActuatorAxes)
{
    ffAxisCount = 1;
    ASSERT_EQ(createEffects(), S_OK);
    ASSERT_EQ(stick->effects.size(), 6u);
    for (const FakeEffect* effect : stick->effects) {
        SCOPED_TRACE(effect->label);
        EXPECT_EQ(effect->created.header.cAxes, 1u);
        EXPECT_THAT(effect->created.axes, ElementsAre(DIJOFS_X));
        EXPECT_EQ(effect->created.conditions.size(), 1u);
    }
    trimX = 2000;
    trimY = -500;
    Settings.swapAxes = 1;
    updateSprings();
    for (IDirectInputEffect* spring : {springEffect, springEffect2}) {
        const RecordedEffect& update = fakeOf(spring)->parameters.back();
        ASSERT_EQ(update.conditions.size(), 1u) << fakeOf(spring)->label;
        EXPECT_EQ(update.conditions[0].lOffset, 2000) << fakeOf(spring)->label;
    }

    restoreDefaultState();
    destroyFakes();
    journal.clear();
    stick = installStick();
    ffAxisCount = 0;
    EXPECT_TRUE(FAILED(createEffects()));
    EXPECT_THAT(journal, IsEmpty());
    updateEffects();
    EXPECT_THAT(journal, IsEmpty());
}

// A gain from a hand-edited file reaches DirectInput within 0..10000.
TEST_F(EffectsTest, StrengthsOutsideDirectInputsRangeAreHeldAtItsEnds)
{
    Settings.springGain = -5000;
    Settings.damperGain = 15000;
    ASSERT_EQ(createEffects(), S_OK);
    expectConditions(fakeOf(springEffect)->created, 0, 0, 0, "spring");
    expectConditions(fakeOf(damperEffect)->created, 10000, 0, 0, "damper");
    updateEffects();
    expectConditions(fakeOf(springEffect)->parameters.back(), 0, 0, 0, "spring");
    expectConditions(fakeOf(damperEffect)->parameters.back(), 10000, 0, 0, "damper");
}

TEST_F(EffectsTest, ZeroStrengthEffectIsStillCreatedAndStarted)
{
    Settings.damperGain = 0;
    ASSERT_EQ(createEffects(), S_OK);
    expectConditions(fakeOf(damperEffect)->created, 0, 0, 0, "damper");
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "damper.Start(1,0)"), 1);
}

TEST_F(EffectsTest, FailedCreationStopsWithItsResultAndKeepsEarlierEffects)
{
    const char* const creationOrder[] = {"damper", "damper2", "friction", "friction2", "spring", "spring2"};
    for (int failing = 0; failing < 6; ++failing) {
        SCOPED_TRACE(std::string("creation failing: ") + creationOrder[failing]);
        restoreDefaultState();
        destroyFakes();
        journal.clear();
        stick = installStick();
        for (int i = 0; i < failing; ++i)
            stick->createEffectResult.next.push_back(DI_OK);
        stick->createEffectResult.next.push_back(DIERR_DEVICEFULL);

        EXPECT_EQ(createEffects(), DIERR_DEVICEFULL);
        EXPECT_EQ(static_cast<int>(stick->effects.size()), failing);
        EXPECT_EQ(journal.back(), "stick.CreateEffect(" + effectTypeName(
                                      failing < 2 ? GUID_Damper : failing < 4 ? GUID_Friction : GUID_Spring) + ")");
        IDirectInputEffect* const handles[] = {damperEffect, damperEffect2, frictionEffect,
                                               frictionEffect2, springEffect, springEffect2};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(handles[i] != nullptr, i < failing) << creationOrder[i];
        EXPECT_EQ(std::count(journal.begin(), journal.end(), "spring.Start(1,0)"), 0);
    }
}

TEST_F(EffectsTest, SpringLeftNullByASucceedingCreationFailsWithoutStartingSpring)
{
    for (int nullSpring : {4, 5}) {
        SCOPED_TRACE(nullSpring == 4 ? "first spring null" : "second spring null");
        restoreDefaultState();
        destroyFakes();
        journal.clear();
        stick = installStick();
        for (int i = 0; i < 6; ++i)
            stick->createEffectLeavesNull.push_back(i == nullSpring);

        EXPECT_EQ(createEffects(), E_FAIL);
        EXPECT_NE(journal.back(), "spring.Start(1,0)");
        EXPECT_EQ(std::count(journal.begin(), journal.end(), "spring.Start(1,0)"), 0);
    }
}

class SpringUpdateTest : public KestraTest {
protected:
    void SetUp() override
    {
        KestraTest::SetUp();
        installEffects();
        Settings.springGain = 3000;
        Settings.springGain2 = 700;
    }
};

TEST_F(SpringUpdateTest, SwappedAxesTurnTheCentreAQuarter)
{
    trimX = 2000;
    trimY = -500;
    Settings.swapAxes = 1;
    updateSprings();
    EXPECT_EQ(lastOffsets(springEffect), std::make_pair(-500L, -2000L));
    EXPECT_EQ(lastOffsets(springEffect2), std::make_pair(-500L, -2000L));

    Settings.swapAxes = 0;
    updateSprings();
    EXPECT_EQ(lastOffsets(springEffect), std::make_pair(2000L, -500L));
    EXPECT_EQ(lastOffsets(springEffect2), std::make_pair(2000L, -500L));
}

TEST_F(SpringUpdateTest, EachSpringGetsItsOwnStrengthAsConditionsOnly)
{
    trimX = 100;
    trimY = 200;
    Settings.swapAxes = 0;
    updateSprings();
    const RecordedEffect& first = fakeOf(springEffect)->parameters.back();
    const RecordedEffect& second = fakeOf(springEffect2)->parameters.back();
    EXPECT_EQ(first.flags, static_cast<DWORD>(DIEP_TYPESPECIFICPARAMS));
    EXPECT_EQ(second.flags, static_cast<DWORD>(DIEP_TYPESPECIFICPARAMS));
    expectConditions(first, 3000, 100, 200, "spring");
    expectConditions(second, 700, 100, 200, "spring2");
}

TEST_F(SpringUpdateTest, FirstSetSelectedStopsSecondAndStartsFirst)
{
    forcesOn = 1;
    updateSprings();
    EXPECT_THAT(journal, ElementsAre("spring.SetParameters(0x100)", "spring2.SetParameters(0x100)",
                                     "spring2.Stop", "spring.Start(1,0)", "damper2.Stop", "damper.Start(1,0)",
                                     "friction2.Stop", "friction.Start(1,0)"));
}

TEST_F(SpringUpdateTest, AnyOtherSelectorValuePlaysTheSecondSet)
{
    for (std::uint8_t selector : {0, 2, 255}) {
        SCOPED_TRACE(static_cast<int>(selector));
        journal.clear();
        forcesOn = selector;
        updateSprings();
        EXPECT_THAT(journal, ElementsAre("spring.SetParameters(0x100)", "spring2.SetParameters(0x100)",
                                         "spring.Stop", "spring2.Start(1,0)", "damper.Stop", "damper2.Start(1,0)",
                                         "friction.Stop", "friction2.Start(1,0)"));
    }
}

TEST_F(SpringUpdateTest, SwitchRunsAgainWhenTheSetDidNotChange)
{
    updateSprings();
    journal.clear();
    updateSprings();
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "spring.Start(1,0)"), 1);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "damper.Start(1,0)"), 1);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "friction.Start(1,0)"), 1);
}

TEST_F(SpringUpdateTest, NullHandlesAreSkipped)
{
    springEffect2 = nullptr;
    updateSprings();
    EXPECT_THAT(journal, ElementsAre("spring.SetParameters(0x100)", "spring.Start(1,0)", "damper2.Stop",
                                     "damper.Start(1,0)", "friction2.Stop", "friction.Start(1,0)"));

    springEffect = damperEffect = frictionEffect = nullptr;
    damperEffect2 = frictionEffect2 = nullptr;
    journal.clear();
    updateSprings();
    updateEffects();
    EXPECT_THAT(journal, IsEmpty());
}

TEST_F(SpringUpdateTest, UpdateEffectsRefreshesSpringsThenFrictionAndDamperCentred)
{
    Settings.frictionGain = 100;
    Settings.frictionGain2 = 200;
    Settings.damperGain = 300;
    Settings.damperGain2 = 400;
    trimX = 1234;
    trimY = -4321;
    updateEffects();
    EXPECT_THAT(journal, ElementsAre("spring.SetParameters(0x100)", "spring2.SetParameters(0x100)",
                                     "spring2.Stop", "spring.Start(1,0)", "damper2.Stop", "damper.Start(1,0)",
                                     "friction2.Stop", "friction.Start(1,0)",
                                     "friction.SetParameters(0x100)", "friction2.SetParameters(0x100)",
                                     "damper.SetParameters(0x100)", "damper2.SetParameters(0x100)"));
    expectConditions(fakeOf(frictionEffect)->parameters.back(), 100, 0, 0, "friction");
    expectConditions(fakeOf(frictionEffect2)->parameters.back(), 200, 0, 0, "friction2");
    expectConditions(fakeOf(damperEffect)->parameters.back(), 300, 0, 0, "damper");
    expectConditions(fakeOf(damperEffect2)->parameters.back(), 400, 0, 0, "damper2");
}

} // namespace
