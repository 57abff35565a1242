// The simulated controllers: what is attached, how they are acquired, and the
// state they report from the input file.
#include "tests/sim/sim_harness.h"

namespace {

std::string narrow(const wchar_t* text)
{
    std::string result;
    for (; *text; ++text)
        result += static_cast<char>(*text);
    return result;
}

BOOL CALLBACK countActuators(const DIDEVICEOBJECTINSTANCEW* object, void* count)
{
    if (object->dwFlags & DIDOI_FFACTUATOR)
        ++*static_cast<int*>(count);
    return DIENUM_CONTINUE;
}

int actuatorAxes(IDirectInputDevice8W* device)
{
    int count = 0;
    EXPECT_EQ(device->EnumObjects(countActuators, &count, DIDFT_AXIS), DI_OK);
    return count;
}

using SimDevices = SimTest;

TEST_F(SimDevices, WithoutConfigurationOneForceFeedbackStickIsAttached)
{
    IDirectInput8W* directInput = createDirectInput();
    ASSERT_NE(directInput, nullptr);
    const std::vector<DIDEVICEINSTANCEW> devices = enumerate(directInput);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(narrow(devices[0].tszInstanceName), "Kestra Sim Stick");
    EXPECT_NE(devices[0].guidFFDriver.Data1, 0u);
    EXPECT_EQ(GET_DIDEVICE_TYPE(devices[0].dwDevType), DI8DEVTYPE_JOYSTICK);

    IDirectInputDevice8W* device = openDevice(directInput);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(actuatorAxes(device), 2);
    device->Release();
    directInput->Release();
}

TEST_F(SimDevices, ConfigurationListsDevicesInOrderWithStableGuids)
{
    write(L"sim-config.txt", "# two sticks and a throttle\n\n"
                             "device \"Throttle Quadrant\"\n"
                             "device \"Big Stick\" ffb axes=1\n"
                             "joystick \"Nonsense\"\n"
                             "device \"Wheel\" ffb   # two actuators by default\n");
    IDirectInput8W* directInput = createDirectInput();
    ASSERT_NE(directInput, nullptr);
    const std::vector<DIDEVICEINSTANCEW> devices = enumerate(directInput);
    ASSERT_EQ(devices.size(), 3u);
    const char* names[] = {"Throttle Quadrant", "Big Stick", "Wheel"};
    const bool forceFeedback[] = {false, true, true};
    const int actuators[] = {0, 1, 2};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(narrow(devices[i].tszInstanceName), names[i]) << "device " << i;
        EXPECT_EQ(devices[i].guidFFDriver.Data1 != 0, forceFeedback[i]) << names[i];
        IDirectInputDevice8W* device = openDevice(directInput, i);
        ASSERT_NE(device, nullptr) << names[i];
        EXPECT_EQ(actuatorAxes(device), actuators[i]) << names[i];
        device->Release();
    }
    EXPECT_EQ(enumerate(directInput, DIEDFL_FORCEFEEDBACK).size(), 2u);
    EXPECT_EQ(lastJournalOf("dinput config-error"), "dinput config-error line=5 reason=unknown-keyword");

    // A second DirectInput, as after a restart, sees the same instances.
    IDirectInput8W* again = createDirectInput();
    ASSERT_NE(again, nullptr);
    const std::vector<DIDEVICEINSTANCEW> second = enumerate(again);
    ASSERT_EQ(second.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(IsEqualGUID(second[i].guidInstance, devices[i].guidInstance)) << names[i];
    again->Release();
    directInput->Release();
}

TEST_F(SimDevices, ReadsNeedTheDeviceAcquiredAsDirectInputDoes)
{
    IDirectInput8W* directInput = createDirectInput();
    IDirectInputDevice8W* device = openDevice(directInput);
    ASSERT_NE(device, nullptr);
    DIJOYSTATE2 state;
    EXPECT_EQ(device->Poll(), DIERR_NOTACQUIRED);
    EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
    EXPECT_EQ(device->Acquire(), DIERR_INVALIDPARAM) << "acquired without a data format";

    ASSERT_EQ(prepare(device), DI_OK);
    EXPECT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(device->Acquire(), S_FALSE);
    EXPECT_EQ(device->Poll(), DI_OK);
    EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(device->GetDeviceState(sizeof(DIJOYSTATE), &state), DIERR_INVALIDPARAM) << "size of another format";

    // Exclusive access: a second object for the same stick is refused.
    IDirectInputDevice8W* other = openDevice(directInput);
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(prepare(other), DI_OK);
    EXPECT_EQ(other->Acquire(), DIERR_OTHERAPPHASPRIO);

    EXPECT_EQ(device->Unacquire(), DI_OK);
    EXPECT_EQ(device->Unacquire(), DI_NOEFFECT);
    EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
    EXPECT_EQ(other->Acquire(), DI_OK) << "the stick was let go";
    other->Release();
    device->Release();
    directInput->Release();
}

TEST_F(SimDevices, StateFollowsTheInputFileAtEveryRead)
{
    IDirectInput8W* directInput = createDirectInput();
    IDirectInputDevice8W* device = openDevice(directInput);
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(prepareAndAcquire(device), DI_OK);

    DIJOYSTATE2 state = read(device);
    EXPECT_EQ(state.lX, 32767);
    EXPECT_EQ(state.lY, 32767);
    EXPECT_EQ(state.rgdwPOV[0], 0xFFFFFFFFu) << "hat centred";
    EXPECT_EQ(state.rgbButtons[0], 0);

    const std::string input = "0 x=50000 y=100 pov=9000 buttons=10000000000000000000000000000001\n";
    write(L"sim-input.txt", input);
    state = read(device);
    EXPECT_EQ(state.lX, 50000) << input;
    EXPECT_EQ(state.lY, 100) << input;
    EXPECT_EQ(state.rgdwPOV[0], 9000u) << input;
    EXPECT_EQ(state.rgdwPOV[1], 0xFFFFFFFFu) << input;
    EXPECT_EQ(state.rgbButtons[0], 0x80) << input;
    EXPECT_EQ(state.rgbButtons[1], 0) << input;
    EXPECT_EQ(state.rgbButtons[31], 0x80) << input;
    EXPECT_EQ(lastJournalOf("dev0 GetDeviceState"),
              "dev0 GetDeviceState size=272 x=50000 y=100 pov=9000 buttons=10000000000000000000000000000001 -> "
              "0x00000000");

    // A line that does not parse, or no file at all, keeps the last state.
    for (const char* unreadable : {"0 x=70000\n", "0 x=1 y=\n", "0 buttons=2\n", ""}) {
        if (*unreadable) {
            write(L"sim-input.txt", unreadable);
        } else {
            DeleteFileW(folder.file(L"sim-input.txt").c_str());
            Sleep(15);
        }
        EXPECT_EQ(read(device).lX, 50000) << "after input \"" << unreadable << "\"";
    }
    // Keys left out take their resting values.
    write(L"sim-input.txt", "0 y=5\n");
    state = read(device);
    EXPECT_EQ(state.lX, 32767);
    EXPECT_EQ(state.lY, 5);
    EXPECT_EQ(state.rgdwPOV[0], 0xFFFFFFFFu);
    device->Release();
    directInput->Release();
}

TEST_F(SimDevices, APollFixesWhatTheNextReadReturns)
{
    // A polled device: Poll fetches the stick, GetDeviceState hands out what
    // the last Poll fetched. A read with no Poll before it fetches afresh.
    IDirectInput8W* directInput = createDirectInput();
    IDirectInputDevice8W* device = openDevice(directInput);
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(prepareAndAcquire(device), DI_OK);
    write(L"sim-input.txt", "0 x=100\n");
    ASSERT_EQ(device->Poll(), DI_OK);
    write(L"sim-input.txt", "0 x=200 y=300\n");
    EXPECT_EQ(read(device).lX, 100) << "the read after a Poll returns what the Poll fetched";
    EXPECT_EQ(read(device).lX, 200) << "a second read fetches afresh";
    EXPECT_EQ(device->Poll(), DI_OK);
    EXPECT_EQ(read(device).lY, 300);

    // Losing the device forgets what was polled.
    ASSERT_EQ(device->Poll(), DI_OK);
    write(L"sim-input.txt", "0 x=400\n");
    ASSERT_EQ(device->Unacquire(), DI_OK);
    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(read(device).lX, 400);
    device->Release();
    directInput->Release();
}

} // namespace
