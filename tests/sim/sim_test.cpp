// The simulated stick in process, as Kestra's unit and window tests use it, and
// the DLL once for the files only it uses. simReset retires what a test holds.
#include "sim/in_process.h"
#include "tests/support/sim_journal.h"

#include <gtest/gtest.h>

namespace {

IDirectInput8W* create(decltype(&DirectInput8Create) function = simDirectInput8Create)
{
    void* made = nullptr;
    return function(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8W, &made, nullptr) == DI_OK
               ? static_cast<IDirectInput8W*>(made) : nullptr;
}

IDirectInput8W* start(const std::string& config = simDefaultConfig)
{
    simReset(config);
    return create();
}

std::vector<DIDEVICEINSTANCEW> enumerate(IDirectInput8W* directInput)
{
    std::vector<DIDEVICEINSTANCEW> found;
    directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, [](const DIDEVICEINSTANCEW* instance, void* into) {
        return static_cast<std::vector<DIDEVICEINSTANCEW>*>(into)->push_back(*instance), BOOL(DIENUM_CONTINUE);
    }, &found, DIEDFL_ATTACHEDONLY);
    return found;
}

// The device at that place in the enumeration, with Kestra's data format, at
// that level (exclusive needs a window of ours), acquired if asked.
IDirectInputDevice8W* open(IDirectInput8W* directInput, DWORD level = DISCL_EXCLUSIVE, bool acquire = true,
                           std::size_t place = 0)
{
    static const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    const std::vector<DIDEVICEINSTANCEW> found = enumerate(directInput);
    IDirectInputDevice8W* device = nullptr;
    EXPECT_EQ(directInput->CreateDevice(found.at(place).guidInstance, &device, nullptr), DI_OK);
    EXPECT_EQ(device->SetDataFormat(&c_dfDIJoystick2), DI_OK);
    EXPECT_EQ(device->SetCooperativeLevel(window, level | DISCL_BACKGROUND), DI_OK);
    EXPECT_EQ(acquire ? device->Acquire() : DI_OK, DI_OK);
    return device;
}

// A DIEFFECT as Kestra builds one: X and Y by offset, a record per axis. It
// points into itself: never copy it.
struct Condition {
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG directions[2] = {};
    DICONDITION records[3] = {{0, 5000, 5000, 5000, 5000, 0}, {0, 5000, 5000, 5000, 5000, 0}, {}};
    DIEFFECT effect = {sizeof(DIEFFECT), DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS, INFINITE, 0, DI_FFNOMINALMAX,
                       DIEB_NOTRIGGER, 0, 2, axes, directions, nullptr, 2 * sizeof(DICONDITION), records, 0};
};

// A value on the last journal line of that method: "force" lines are what
// scripts/plot-trim reads.
std::string last(const std::string& method, const std::string& key)
{
    std::string value = "(no " + method + ")";
    for (const SimCall& call : parseSimCalls(simJournal()))
        value = call.method == method ? call[key] : value;
    return value;
}

TEST(Sim, ReadsFailUntilTheDeviceIsAcquiredThenReturnWhatWasSet)
{
    IDirectInputDevice8W* device = open(start(), DISCL_EXCLUSIVE, false);
    DIJOYSTATE2 state = {};
    EXPECT_EQ(device->Poll(), DIERR_NOTACQUIRED);
    EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
    StickInput input = {1000, 64000, 9000};
    input.buttons[2] = 0x80;
    simSetInput(0, input);
    ASSERT_EQ(device->Acquire(), DI_OK);
    ASSERT_EQ(device->Poll(), DI_OK);
    ASSERT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(std::vector<LONG>({state.lX, state.lY, LONG(state.rgdwPOV[0]), state.rgbButtons[2], state.rgbButtons[0]}),
              std::vector<LONG>({1000, 64000, 9000, 0x80, 0}));
}

TEST(Sim, EffectsPlayOnlyWhileTheDeviceIsExclusivelyAcquired)
{
    IDirectInputDevice8W* device = open(start(), DISCL_NONEXCLUSIVE, false);
    Condition spring;
    spring.records[0].lOffset = 1200;
    IDirectInputEffect* effect = nullptr;
    ASSERT_EQ(device->CreateEffect(GUID_Spring, &spring.effect, &effect, nullptr), DI_OK);
    EXPECT_EQ(effect->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED) << "unacquired";
    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(effect->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED) << "acquired non-exclusively";
    ASSERT_EQ(device->Unacquire(), DI_OK);
    ASSERT_EQ(device->SetCooperativeLevel(GetForegroundWindow(), DISCL_EXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    // Losing the device stops the effect, which plays again only when started.
    for (bool release : {false, true}) {
        ASSERT_EQ(device->Acquire(), DI_OK);
        EXPECT_EQ(last("force", "playing"), release ? "-" : "(no force)");
        ASSERT_EQ(effect->Start(1, 0), DI_OK);
        EXPECT_EQ(last("force", "playing") + " " + last("force", "centre"), "1 1200,0");
        EXPECT_EQ(release ? HRESULT(device->Release()) : device->Unacquire(), DI_OK);
        EXPECT_EQ(last("force", "playing"), "-") << (release ? "released" : "unacquired");
    }
    EXPECT_EQ(effect->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED) << "on a released device";
}
