// The simulated stick in process, as Kestra's unit and window tests use it: what it refuses as DirectInput does, its
// scripted faults and its clean start. The end-to-end journeys use its DLL and files.
#include "sim/in_process.h"
#include "tests/support/sim_journal.h"

#include <gtest/gtest.h>

namespace {

// simReset(config) unless null, then DirectInput8Create.
IDirectInput8W* create(const char* config)
{
    IDirectInput8W* made = nullptr;
    if (config)
        simReset(config);
    simDirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8W, reinterpret_cast<void**>(&made), nullptr);
    return made;
}

std::vector<DIDEVICEINSTANCEW> enumerate(IDirectInput8W* dinput)
{
    std::vector<DIDEVICEINSTANCEW> found;
    dinput->EnumDevices(DI8DEVCLASS_GAMECTRL, [](const DIDEVICEINSTANCEW* instance, void* into) {
        return static_cast<std::vector<DIDEVICEINSTANCEW>*>(into)->push_back(*instance), BOOL(DIENUM_CONTINUE);
    }, &found, DIEDFL_ATTACHEDONLY);
    return found;
}

const HWND ourWindow = CreateWindowW(L"STATIC", L"", 0, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);  // top-level
const DWORD exclusive = DISCL_EXCLUSIVE | DISCL_BACKGROUND, nonExclusive = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;

// The device at that place in the enumeration, in Kestra's data format, at that level, acquired if asked.
IDirectInputDevice8W* open(IDirectInput8W* dinput, int place = 0, DWORD level = nonExclusive, bool acquire = true)
{
    IDirectInputDevice8W* device = nullptr;
    EXPECT_EQ(dinput->CreateDevice(enumerate(dinput).at(place).guidInstance, &device, nullptr), DI_OK);
    EXPECT_EQ(device->SetDataFormat(&c_dfDIJoystick2), DI_OK);
    EXPECT_EQ(device->SetCooperativeLevel(ourWindow, level), DI_OK);
    if (acquire) {
        EXPECT_EQ(device->Acquire(), DI_OK);
    }
    return device;
}

// Kestra's condition effects: X and Y by offset, a record per axis; room for a third of each.
DWORD axes[3] = {DIJOFS_X, DIJOFS_Y, DIJOFS_Z};
LONG directions[3] = {};
DICONDITION records[3] = {{1200, 5000, 5000, 5000, 5000, 0}, {-300, 5000, 5000, 5000, 5000, 0}};
const DIEFFECT condition = {sizeof(DIEFFECT), DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS, INFINITE, 0, DI_FFNOMINALMAX,
                            DIEB_NOTRIGGER, 0, 2, axes, directions, nullptr, 2 * sizeof(DICONDITION), records, 0};

std::string last(const char* key) { return parseSimCalls(simJournal()).back()[key]; }  // on the journal's last line
DIJOYSTATE2 state;  // where reads go

TEST(Sim, ReadsNeedTheDeviceAcquiredAndEffectsPlayOnlyWhileItIsExclusively)
{
    IDirectInputDevice8W* device = open(create(simDefaultConfig), 0, nonExclusive, false);
    IDirectInputEffect* effect = nullptr;
    ASSERT_EQ(device->CreateEffect(GUID_Spring, &condition, &effect, nullptr), DI_OK);
    simSetInput(0, {1, 2, 3, {0, 0, 0, 0, 0x81}});  // buttons read as set, the high bit or not
    for (HRESULT read : {DIERR_NOTACQUIRED, DI_OK}) {  // unacquired, then acquired non-exclusively
        EXPECT_EQ(device->Poll(), read);
        EXPECT_EQ(device->GetDeviceState(sizeof state, &state), read);
        EXPECT_EQ(effect->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED);
        device->Acquire();
    }
    EXPECT_EQ(state.lX, 1);
    EXPECT_EQ(state.lY, 2);
    EXPECT_EQ(state.rgdwPOV[0], 3u);
    EXPECT_EQ(state.rgbButtons[4], 0x81);
    ASSERT_EQ(device->Unacquire(), DI_OK);
    ASSERT_EQ(device->SetCooperativeLevel(ourWindow, exclusive), DI_OK);
    for (bool release : {false, true}) {  // losing the device stops the effect until it is started again
        ASSERT_EQ(device->Acquire(), DI_OK);
        ASSERT_EQ(effect->Start(1, 0), DI_OK);
        EXPECT_EQ(last("playing"), "1");  // what scripts/plot-trim reads
        EXPECT_EQ(last("centre"), "1200,-300");
        EXPECT_EQ(release ? HRESULT(device->Release()) : device->Unacquire(), DI_OK);
        EXPECT_EQ(last("playing"), "-") << (release ? "released" : "unacquired");
    }
}

TEST(Sim, DescriptionsAreRefusedAsDirectInputRefusesThem)
{
    IDirectInputDevice8W* device = open(create(simDefaultConfig), 0, exclusive);
    IDirectInputEffect *effect = nullptr, *made = nullptr;
    ASSERT_EQ(device->CreateEffect(GUID_Damper, &condition, &effect, nullptr), DI_OK);
    const struct { DWORD DIEFFECT::*field; DWORD value; const char* error; } cases[] = {
        {&DIEFFECT::cbTypeSpecificParams, sizeof(DICONDITION), ""},  // one record for every axis
        {&DIEFFECT::cbTypeSpecificParams, 3 * sizeof(DICONDITION), "records"},
        {&DIEFFECT::cbTypeSpecificParams, 10, "records"},
        {&DIEFFECT::dwSize, 12, "size"},
        {&DIEFFECT::cAxes, 3, "axes"},  // the stick has two actuators
        {&DIEFFECT::dwFlags, DIEFF_OBJECTOFFSETS, "direction"},
    };
    for (const auto& c : cases) {
        DIEFFECT description = condition;
        description.*c.field = c.value;
        const HRESULT hr = *c.error ? DIERR_INVALIDPARAM : DI_OK;
        EXPECT_EQ(device->CreateEffect(GUID_Damper, &description, &made, nullptr), hr) << c.error;
        EXPECT_EQ(last("error"), c.error);
        EXPECT_EQ(effect->SetParameters(&description, DIEP_ALLPARAMS & ~DIEP_AXES), hr) << c.error;  // axes set once
    }
}

TEST(Sim, ScriptedFailuresHitExactlyTheChosenCalls)
{
    // The rule; the result it scripts; which of ten polls, the stick's and the pedals' in turn, get it.
    const struct { std::string rule; HRESULT result; std::vector<int> failing; } cases[] = {
        {"fail Poll DIERR_INPUTLOST", DIERR_INPUTLOST, {0}},
        {"fail Poll 0x80070005 call=2 count=2", E_ACCESSDENIED, {1, 2}},
        {"fail Poll E_FAIL call=2 count=2 device=1", E_FAIL, {3, 5}},
        {"fail Poll DIERR_NOTACQUIRED call=4 count=all device=0", DIERR_NOTACQUIRED, {6, 8}},
    };
    for (const auto& c : cases) {
        IDirectInput8W* directInput = create((simDefaultConfig + ("device \"P\"\n" + c.rule)).c_str());
        IDirectInputDevice8W* devices[] = {open(directInput, 0), open(directInput, 1)};
        std::vector<int> failing;
        for (int i = 0; i < 10; ++i)
            if (devices[i % 2]->Poll() == c.result)
                failing.push_back(i);
        EXPECT_EQ(failing, c.failing) << c.rule;
    }
}

// A run leaves the stick acquired and moved, objects held and released, calls, creations and discoveries counted.
TEST(Sim, ReleasedObjectsAnswerErrorsAndAResetLeavesNothingOfTheRunBefore)
{
    IDirectInput8W* before = nullptr;
    const auto run = [&] {
        before = create("device \"S\" ffb\nfail DirectInput8Create E_FAIL call=2\nvanish 0 discovery=2");
        EXPECT_EQ(create(nullptr), nullptr) << "the second creation fails";
        IDirectInputDevice8W* device = open(before, 0, exclusive);
        IDirectInputEffect* effect = nullptr;
        EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
        EXPECT_EQ(device->CreateEffect(GUID_Spring, nullptr, &effect, nullptr), DI_OK);
        EXPECT_EQ(enumerate(before).size(), 0u) << "vanished at the second discovery";
        EXPECT_EQ(effect->Release(), 0u);
        EXPECT_EQ(effect->Release(), 0u) << "already released";
        EXPECT_EQ(simCallsOnReleased(), 1);
        EXPECT_EQ(simHeldObjects(), (std::vector<std::string>{"dinput", "dev0"}));
        return simJournal();
    };
    const std::vector<std::string> first = run();
    simSetInput(0, {0});
    EXPECT_EQ(run(), first);
    simReset("");
    EXPECT_EQ(before->GetDeviceStatus(GUID_NULL), E_POINTER) << "made before the reset";
    EXPECT_EQ(simJournal(), std::vector<std::string>{"dinput GetDeviceStatus error=released -> 0x80004003"});
}

} // namespace
