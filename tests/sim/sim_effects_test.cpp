// Condition effects on the simulated stick: when they play, what they accept,
// and the forces the sim computes for them.
#include "tests/sim/sim_harness.h"

namespace {

struct SimEffects : SimTest {
    IDirectInputEffect* create(const GUID& type, const ConditionEffect& description) const
    {
        IDirectInputEffect* effect = nullptr;
        EXPECT_EQ(device->CreateEffect(type, &description.effect, &effect, nullptr), DI_OK);
        return effect;
    }
    // The force line journaled after reading the stick there.
    std::string forcesAt(LONG x, LONG y = axisCentre) const
    {
        simSetInput(0, {x, y});
        read(device);
        return lastJournalOf("dev0 force");
    }
};

DWORD status(IDirectInputEffect* effect)
{
    DWORD status = 0xFFFF;
    EXPECT_EQ(effect->GetEffectStatus(&status), DI_OK);
    return status;
}

TEST_F(SimEffects, PlayOnlyWhileStartedOnAnExclusivelyAcquiredDevice)
{
    ASSERT_EQ(device->SetDataFormat(&c_dfDIJoystick2), DI_OK);
    IDirectInputEffect* effect = create(GUID_Spring, ConditionEffect(5000, 5000));
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED) << "started before Acquire";
    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(effect->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED) << "started with non-exclusive access";
    ASSERT_EQ(device->Unacquire(), DI_OK);
    ASSERT_EQ(prepare(device), DI_OK);
    EXPECT_EQ(status(effect), 0u) << "a created effect is stopped";
    EXPECT_EQ(effect->Start(1, 0), DI_OK);
    EXPECT_EQ(effect->Start(1, 0), DI_OK) << "a restart";
    EXPECT_EQ(status(effect), DWORD(DIEGES_PLAYING));

    const ConditionEffect moved(5000, 5000, 1200, -300);
    EXPECT_EQ(effect->SetParameters(&moved.effect, DIEP_TYPESPECIFICPARAMS), DI_OK);
    EXPECT_EQ(status(effect), DWORD(DIEGES_PLAYING)) << "changed in place";
    EXPECT_NE(lastJournalOf("dev0 force").find("centre=1200,-300"), std::string::npos) << lastJournalOf("dev0 force");
    EXPECT_EQ(effect->Stop(), DI_OK);
    EXPECT_EQ(status(effect), 0u);
    EXPECT_EQ(effect->SetParameters(&moved.effect, DIEP_TYPESPECIFICPARAMS | DIEP_START), DI_OK);
    EXPECT_EQ(status(effect), DWORD(DIEGES_PLAYING)) << "DIEP_START";

    // Losing the device stops and unloads its effects; a released one plays
    // them no more.
    EXPECT_EQ(device->Unacquire(), DI_OK);
    EXPECT_EQ(status(effect), 0u);
    EXPECT_EQ(effect->SetParameters(&moved.effect, DIEP_TYPESPECIFICPARAMS), DI_DOWNLOADSKIPPED);
    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(effect->Stop(), DIERR_NOTDOWNLOADED);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(effect->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED);
    EXPECT_EQ(lastJournalOf("eff1 Start"), "eff1 Start iterations=1 flags=0x0 device=released -> 0x80040205");
}

TEST_F(SimEffects, DescriptionsAreCheckedAsDirectInputChecksThem)
{
    const struct {
        const char* name;
        void (*change)(ConditionEffect&);
        HRESULT result;
        const char* journaled;
    } cases[] = {
        {"DX3 size", [](ConditionEffect& e) { e.effect.dwSize = 12; }, DIERR_INVALIDPARAM, "error=size"},
        {"three axes", [](ConditionEffect& e) { e.effect.cAxes = 3; }, DIERR_INVALIDPARAM, "error=axes"},
        {"no axes", [](ConditionEffect& e) { e.effect.cAxes = 0; }, DIERR_INVALIDPARAM, "error=axes"},
        {"Z is no actuator", [](ConditionEffect& e) { e.axes[1] = DIJOFS_Z; }, DIERR_INVALIDPARAM, "error=axis"},
        {"no object flags", [](ConditionEffect& e) { e.effect.dwFlags = DIEFF_CARTESIAN; }, DIERR_INVALIDPARAM,
         "error=axes"},
        {"no coordinates", [](ConditionEffect& e) { e.effect.dwFlags = DIEFF_OBJECTOFFSETS; }, DIERR_INVALIDPARAM,
         "error=direction"},
        {"two records, one axis", [](ConditionEffect& e) { e.effect.cAxes = 1; }, DIERR_INVALIDPARAM,
         "records=2 offset=0,0 pos=4000,4000 neg=4000,4000 possat=4000,4000 negsat=4000,4000 deadband=0,0 "
         "error=records"},
        {"one record, two axes", [](ConditionEffect& e) { e.effect.cbTypeSpecificParams = sizeof(DICONDITION); },
         DI_OK, "eff=1 type=damper axes=2 axis=0,4 dir=0,0 duration=4294967295 gain=10000 trigger=4294967295 "
                "records=1 offset=0 pos=4000 neg=4000 possat=4000 negsat=4000 deadband=0 -> 0x00000000"},
        {"half a record", [](ConditionEffect& e) { e.effect.cbTypeSpecificParams = 10; }, DIERR_INVALIDPARAM,
         "error=records"},
    };
    for (const auto& c : cases) {
        ConditionEffect description(4000, 4000);
        c.change(description);
        IDirectInputEffect* effect = reinterpret_cast<IDirectInputEffect*>(1);
        EXPECT_EQ(device->CreateEffect(GUID_Damper, &description.effect, &effect, nullptr), c.result) << c.name;
        EXPECT_EQ(effect == nullptr, FAILED(c.result)) << c.name << ": an effect only when created";
        EXPECT_NE(lastJournalOf("dev0 CreateEffect").find(c.journaled), std::string::npos)
            << c.name << ": " << lastJournalOf("dev0 CreateEffect");
    }
    const ConditionEffect description(4000, 4000);
    IDirectInputEffect* effect = nullptr;
    EXPECT_EQ(device->CreateEffect(GUID_ConstantForce, &description.effect, &effect, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(lastJournalOf("dev0 CreateEffect"), "dev0 CreateEffect eff=- type=other -> 0x80040154");
}

TEST_F(SimEffects, SpringPullsTowardItsOffsetUpToItsSaturation)
{
    ASSERT_EQ(prepare(device), DI_OK);
    IDirectInputEffect* effect = create(GUID_Spring, ConditionEffect(5000, 3000, 2000, 0));
    ASSERT_EQ(effect->Start(1, 0), DI_OK);
    // At rest the stick is 2000 short of the centre: 5000 * 2000 / 10000.
    EXPECT_EQ(forcesAt(32767), "dev0 force x=32767 y=32767 centre=2000,0 spring=5000 playing=1 fx=1000 fy=0");
    EXPECT_EQ(forcesAt(65535, 0), "dev0 force x=65535 y=0 centre=2000,0 spring=5000 playing=1 fx=-3000 fy=3000");
    EXPECT_EQ(forcesAt(0), "dev0 force x=0 y=32767 centre=2000,0 spring=5000 playing=1 fx=3000 fy=0");
    ASSERT_EQ(effect->Stop(), DI_OK);
    EXPECT_EQ(lastJournalOf("dev0 force"), "dev0 force x=0 y=32767 centre=- spring=- playing=- fx=0 fy=0");
}

TEST_F(SimEffects, DamperOpposesVelocityAndFrictionItsDirection)
{
    ASSERT_EQ(prepare(device), DI_OK);
    ASSERT_EQ(create(GUID_Damper, ConditionEffect(10000, 4000))->Start(1, 0), DI_OK);
    ASSERT_EQ(create(GUID_Friction, ConditionEffect(1000, 10000))->Start(1, 0), DI_OK);
    // The stick crosses its whole range between two reads: far beyond the
    // damper's saturation however fast the reads come.
    EXPECT_NE(forcesAt(0).find(" fx=0 fy=0"), std::string::npos) << "first read, no velocity";
    EXPECT_NE(forcesAt(65535).find(" fx=-5000 fy=0"), std::string::npos) << lastJournalOf("dev0 force");
    EXPECT_NE(forcesAt(65535).find(" fx=0 fy=0"), std::string::npos) << lastJournalOf("dev0 force");
    EXPECT_NE(forcesAt(0).find(" fx=5000 fy=0"), std::string::npos) << lastJournalOf("dev0 force");
}

} // namespace
