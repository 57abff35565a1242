// The journal's fixed shape, calls on released objects, and what simReset
// leaves of the run before it.
#include "tests/sim/sim_harness.h"

#include <cstdio>

namespace {

using SimJournal = SimTest;

BOOL CALLBACK openEach(const DIDEVICEINSTANCEW* instance, void* directInput)
{
    IDirectInputDevice8W* device = nullptr;
    if (SUCCEEDED(static_cast<IDirectInput8W*>(directInput)->CreateDevice(instance->guidInstance, &device, nullptr)))
        device->Release();
    return DIENUM_CONTINUE;
}

// DIPROP_AUTOCENTER is "GUID 9": binding a reference to it needs the
// alignment check off.
#if defined(__GNUC__)
__attribute__((no_sanitize("alignment")))
#endif
HRESULT switchAutoCenterOff(IDirectInputDevice8W* device)
{
    DIPROPDWORD autoCenter = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, DIPROPAUTOCENTER_OFF};
    return device->SetProperty(DIPROP_AUTOCENTER, &autoCenter.diph);
}

TEST_F(SimJournal, CallsAreJournaledInTheirFixedShapeAndReleasedObjectsAnswerErrors)
{
    ASSERT_EQ(directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, openEach, directInput, DIEDFL_ATTACHEDONLY), DI_OK);
    ASSERT_EQ(prepare(device, false), DI_OK);
    EXPECT_EQ(switchAutoCenterOff(device), DI_OK);
    ConditionEffect spring(5000, 5000, -250, 0);
    spring.effect.cAxes = 1;
    spring.effect.cbTypeSpecificParams = sizeof(DICONDITION);
    IDirectInputEffect* effect = nullptr;
    ASSERT_EQ(device->CreateEffect(GUID_Spring, &spring.effect, &effect, nullptr), DI_OK);
    ASSERT_EQ(device->Acquire(), DI_OK);
    ASSERT_EQ(effect->Start(1, 0), DI_OK);
    EXPECT_EQ(simHeldObjects(), (std::vector<std::string>{"dinput", "dev0", "eff1"}));
    EXPECT_EQ(simLabel(effect), "eff1");
    EXPECT_EQ(effect->Release(), 0u);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(directInput->Release(), 0u);
    EXPECT_EQ(simHeldObjects(), std::vector<std::string>{});
    EXPECT_EQ(effect->Start(1, 0), E_POINTER);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, openEach, directInput, 0), E_POINTER);
    EXPECT_EQ(simCallsOnReleased(), 3);

    char window[32];
    std::snprintf(window, sizeof window, "0x%llX", static_cast<unsigned long long>(UINT_PTR(testWindow())));
    EXPECT_EQ(simJournal(), (std::vector<std::string>{
        "DirectInput8Create version=0x800 iid=IDirectInput8W -> 0x00000000",
        "dinput EnumDevices class=4 flags=0x1 devices=1 -> 0x00000000",
        "dinput CreateDevice dev=0 name=\"Kestra Sim Stick\" -> 0x00000000",
        // A callback's calls come before the line of the call that made it.
        "dinput CreateDevice dev=0 name=\"Kestra Sim Stick\" -> 0x00000000",
        "dev0 Release refs=0 -> 0x00000000",
        "dinput EnumDevices class=4 flags=0x1 devices=1 -> 0x00000000",
        "dev0 SetDataFormat format=joystick2 -> 0x00000000",
        "dev0 SetCooperativeLevel window=" + std::string(window) + " flags=0x9 valid=1 -> 0x00000000",
        "dev0 SetProperty prop=9 how=0 obj=0 data=0 -> 0x00000000",
        "dev0 CreateEffect eff=1 type=spring axes=1 axis=0 dir=0 duration=4294967295 gain=10000 "
        "trigger=4294967295 records=1 offset=-250 pos=5000 neg=5000 possat=5000 negsat=5000 deadband=0 -> 0x00000000",
        "dev0 Acquire -> 0x00000000",
        "eff1 Start iterations=1 flags=0x0 -> 0x00000000",
        "dev0 force x=32767 y=32767 centre=-250,- spring=5000 playing=1 fx=-125 fy=0",
        "eff1 Release refs=0 -> 0x00000000",
        "dev0 force x=32767 y=32767 centre=- spring=- playing=- fx=0 fy=0",
        "dev0 Release refs=0 -> 0x00000000",
        "dinput Release refs=0 -> 0x00000000",
        "eff1 Start iterations=1 flags=0x0 error=released -> 0x80004003",
        "dev0 Release error=released -> 0x80004003",
        "dinput EnumDevices class=4 flags=0x0 error=released -> 0x80004003",
    }));
}

TEST_F(SimJournal, ResetLeavesNothingOfTheRunBefore)
{
    // The first run leaves the stick acquired and moved, objects held, a
    // watcher, and calls and discoveries counted: the second must not notice.
    const std::string config = std::string(simDefaultConfig) + "fail DirectInput8Create E_FAIL call=2\n" +
                               "vanish 0 discovery=2\n";
    std::vector<std::string> journals[2];
    IDirectInputDevice8W* first = nullptr;
    int watched = 0;
    for (std::vector<std::string>& journal : journals) {
        ASSERT_NO_FATAL_FAILURE(start(config));
        EXPECT_EQ(createDirectInput(), nullptr) << "the second creation fails";
        ASSERT_EQ(prepare(device = openDevice()), DI_OK);
        read(device);
        IDirectInputEffect* effect = nullptr;
        ASSERT_EQ(device->CreateEffect(GUID_Spring, nullptr, &effect, nullptr), DI_OK);
        EXPECT_EQ(openDevice(), nullptr) << "vanished at the second discovery";
        EXPECT_EQ(simHeldObjects(), (std::vector<std::string>{"dinput", "dev0", "eff1"}));
        effect->Release();
        effect->Release();
        EXPECT_EQ(simCallsOnReleased(), 1);
        journal = simJournal();
        first = first ? first : device;
        simSetInput(0, {0});
        simWatchJournal([&](const std::string&) { ++watched; });
    }
    EXPECT_EQ(journals[1], journals[0]);
    EXPECT_EQ(watched, 0) << "the watcher outlived its run";
    // Objects made before the reset answer as released ones.
    EXPECT_EQ(simLabel(first), "");
    simClearJournal();
    EXPECT_EQ(first->Poll(), E_POINTER);
    EXPECT_EQ(simJournal(), std::vector<std::string>{"dev0 Poll error=released -> 0x80004003"});
}

} // namespace
