// Condition effects on the simulated stick: when they play, what they accept,
// and the forces the sim computes for them.
#include "tests/sim/sim_harness.h"

namespace {

class SimEffects : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        if (HasFatalFailure())
            return;
        directInput = createDirectInput();
        ASSERT_NE(directInput, nullptr);
        device = openDevice(directInput);
        ASSERT_NE(device, nullptr);
    }
    void TearDown() override
    {
        if (device)
            device->Release();
        if (directInput)
            directInput->Release();
        SimTest::TearDown();
    }

    IDirectInputEffect* create(const GUID& type, const ConditionEffect& description)
    {
        IDirectInputEffect* effect = nullptr;
        EXPECT_EQ(device->CreateEffect(type, &description.effect, &effect, nullptr), DI_OK);
        return effect;
    }

    // The force line journaled after reading the stick at this input.
    std::string forcesAt(const std::string& input)
    {
        write(L"sim-input.txt", input);
        read(device);
        return lastJournalOf("dev0 force");
    }

    IDirectInput8W* directInput = nullptr;
    IDirectInputDevice8W* device = nullptr;
};

TEST_F(SimEffects, PlayOnlyWhileStartedOnAnExclusivelyAcquiredDevice)
{
    ASSERT_EQ(prepare(device), DI_OK);
    const ConditionEffect spring(5000, 5000);
    IDirectInputEffect* effect = create(GUID_Spring, spring);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED) << "started before Acquire";

    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(effectStatus(effect), 0u) << "a created effect is stopped";
    EXPECT_EQ(effect->Start(1, 0), DI_OK);
    EXPECT_EQ(effectStatus(effect), DWORD(DIEGES_PLAYING));
    EXPECT_EQ(effect->Start(1, 0), DI_OK) << "a restart";
    EXPECT_EQ(effectStatus(effect), DWORD(DIEGES_PLAYING));

    const ConditionEffect moved(5000, 5000, 1200, -300);
    EXPECT_EQ(effect->SetParameters(&moved.effect, DIEP_TYPESPECIFICPARAMS), DI_OK);
    EXPECT_EQ(effectStatus(effect), DWORD(DIEGES_PLAYING)) << "changed in place";
    EXPECT_NE(lastJournalOf("dev0 force").find("centre=1200,-300"), std::string::npos) << lastJournalOf("dev0 force");

    EXPECT_EQ(effect->Stop(), DI_OK);
    EXPECT_EQ(effectStatus(effect), 0u);
    EXPECT_EQ(effect->SetParameters(&moved.effect, DIEP_TYPESPECIFICPARAMS | DIEP_START), DI_OK);
    EXPECT_EQ(effectStatus(effect), DWORD(DIEGES_PLAYING)) << "DIEP_START";

    // Losing the device stops and unloads its effects.
    EXPECT_EQ(device->Unacquire(), DI_OK);
    EXPECT_EQ(effectStatus(effect), 0u);
    EXPECT_EQ(effect->SetParameters(&moved.effect, DIEP_TYPESPECIFICPARAMS), DI_DOWNLOADSKIPPED);
    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(effect->Stop(), DIERR_NOTDOWNLOADED);
    EXPECT_EQ(effect->Release(), 0u);
}

TEST_F(SimEffects, DescriptionsAreCheckedAsDirectInputChecksThem)
{
    struct Case {
        const char* name;
        void (*change)(ConditionEffect&);
        HRESULT result;
        const char* journaled;
    };
    const Case cases[] = {
        {"DX3 size", [](ConditionEffect& e) { e.effect.dwSize = 12; }, DIERR_INVALIDPARAM, "error=size"},
        {"three axes", [](ConditionEffect& e) { e.effect.cAxes = 3; }, DIERR_INVALIDPARAM, "error=axes"},
        {"no axes", [](ConditionEffect& e) { e.effect.cAxes = 0; }, DIERR_INVALIDPARAM, "error=axes"},
        {"Z is no actuator", [](ConditionEffect& e) { e.axes[1] = DIJOFS_Z; }, DIERR_INVALIDPARAM, "error=axis"},
        {"no object flags", [](ConditionEffect& e) { e.effect.dwFlags = DIEFF_CARTESIAN; }, DIERR_INVALIDPARAM,
         "error=axes"},
        {"two records, one axis", [](ConditionEffect& e) { e.effect.cAxes = 1; }, DIERR_INVALIDPARAM,
         "records=2 offset=0,0 pos=4000,4000 neg=4000,4000 possat=4000,4000 negsat=4000,4000 deadband=0,0 "
         "error=records"},
        {"one record, two axes", [](ConditionEffect& e) { e.effect.cbTypeSpecificParams = sizeof(DICONDITION); },
         DI_OK, "records=1 offset=0 pos=4000"},
        {"half a record", [](ConditionEffect& e) { e.effect.cbTypeSpecificParams = 10; }, DIERR_INVALIDPARAM,
         "error=records"},
    };
    for (const Case& c : cases) {
        ConditionEffect description(4000, 4000);
        c.change(description);
        IDirectInputEffect* effect = reinterpret_cast<IDirectInputEffect*>(1);
        EXPECT_EQ(device->CreateEffect(GUID_Damper, &description.effect, &effect, nullptr), c.result) << c.name;
        EXPECT_EQ(effect == nullptr, FAILED(c.result)) << c.name << ": an effect only when created";
        EXPECT_NE(lastJournalOf("dev0 CreateEffect").find(c.journaled), std::string::npos)
            << c.name << ": " << lastJournalOf("dev0 CreateEffect");
        if (effect)
            effect->Release();
    }

    const ConditionEffect description(4000, 4000);
    IDirectInputEffect* effect = nullptr;
    EXPECT_EQ(device->CreateEffect(GUID_ConstantForce, &description.effect, &effect, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(lastJournalOf("dev0 CreateEffect"), "dev0 CreateEffect eff=- type=other -> 0x80040154");
}

TEST_F(SimEffects, SpringPullsTowardItsOffsetUpToItsSaturation)
{
    ASSERT_EQ(prepareAndAcquire(device), DI_OK);
    const ConditionEffect spring(5000, 3000, 2000, 0);
    IDirectInputEffect* effect = create(GUID_Spring, spring);
    ASSERT_NE(effect, nullptr);
    ASSERT_EQ(effect->Start(1, 0), DI_OK);

    // At rest the stick is 2000 short of the centre: 5000 * 2000 / 10000.
    EXPECT_EQ(forcesAt("0\n"), "dev0 force x=32767 y=32767 centre=2000,0 spring=5000 playing=1 fx=1000 fy=0");
    EXPECT_EQ(forcesAt("0 x=65535 y=0\n"),
              "dev0 force x=65535 y=0 centre=2000,0 spring=5000 playing=1 fx=-3000 fy=3000");
    EXPECT_EQ(forcesAt("0 x=0\n"), "dev0 force x=0 y=32767 centre=2000,0 spring=5000 playing=1 fx=3000 fy=0");
    ASSERT_EQ(effect->Stop(), DI_OK);
    EXPECT_EQ(lastJournalOf("dev0 force"), "dev0 force x=0 y=32767 centre=- spring=- playing=- fx=0 fy=0");
    effect->Release();
}

TEST_F(SimEffects, DamperOpposesVelocityAndFrictionItsDirection)
{
    ASSERT_EQ(prepareAndAcquire(device), DI_OK);
    const ConditionEffect damper(10000, 4000);
    const ConditionEffect friction(1000, 10000);
    IDirectInputEffect* effects[] = {create(GUID_Damper, damper), create(GUID_Friction, friction)};
    for (IDirectInputEffect* effect : effects) {
        ASSERT_NE(effect, nullptr);
        ASSERT_EQ(effect->Start(1, 0), DI_OK);
    }
    // The stick crosses its whole range between two reads: far beyond the
    // damper's saturation however fast the reads come.
    EXPECT_NE(forcesAt("0 x=0\n").find("fx=0 fy=0"), std::string::npos) << "first read, no velocity";
    EXPECT_NE(forcesAt("0 x=65535\n").find("fx=-5000 fy=0"), std::string::npos) << lastJournalOf("dev0 force");
    EXPECT_NE(forcesAt("0 x=65535\n").find("fx=0 fy=0"), std::string::npos) << lastJournalOf("dev0 force");
    EXPECT_NE(forcesAt("0 x=0\n").find("fx=5000 fy=0"), std::string::npos) << lastJournalOf("dev0 force");
    for (IDirectInputEffect* effect : effects)
        effect->Release();
}

} // namespace
