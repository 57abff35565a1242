// The simulated controllers: what is attached, how they are acquired, what
// they report, and the failures the configuration injects.
#include "tests/sim/sim_harness.h"

#include <cstdio>

namespace {

using SimDevices = SimTest;

BOOL CALLBACK countActuators(const DIDEVICEOBJECTINSTANCEW* object, void* count)
{
    *static_cast<int*>(count) += (object->dwFlags & DIDOI_FFACTUATOR) ? 1 : 0;
    return DIENUM_CONTINUE;
}

TEST_F(SimDevices, ConfigurationListsDevicesInOrderAndJournalsItsBadLines)
{
    const struct {
        std::string config;
        std::vector<std::string> devices;
        std::size_t forceFeedback;
        std::vector<std::string> errors;
    } cases[] = {
        {simDefaultConfig, {"Kestra Sim Stick ffb=1 actuators=2"}, 1, {}},
        {"", {}, 0, {}},
        {"# two sticks and a throttle\n\ndevice \"Throttle Quadrant\"\ndevice \"Big Stick\" ffb axes=1\n"
         "joystick \"Nonsense\"\ndevice \"Wheel\" ffb   # two actuators by default\nfail Frobnicate E_FAIL\n"
         "fail Poll E_WHATEVER\nfail Poll E_FAIL count=some\nvanish 0\ndevice \"Unquoted\n",
         {"Throttle Quadrant ffb=0 actuators=0", "Big Stick ffb=1 actuators=1", "Wheel ffb=1 actuators=2"}, 2,
         {"dinput config-error line=5 reason=unknown-keyword", "dinput config-error line=7 reason=fail-method",
          "dinput config-error line=8 reason=fail-hresult", "dinput config-error line=9 reason=fail-option",
          "dinput config-error line=10 reason=vanish", "dinput config-error line=11 reason=quote"}},
    };
    for (const auto& c : cases) {
        ASSERT_NO_FATAL_FAILURE(start(c.config));
        std::vector<std::string> journal = c.errors;
        journal.push_back("DirectInput8Create version=0x800 iid=IDirectInput8W -> 0x00000000");
        EXPECT_EQ(simJournal(), journal);
        std::vector<std::string> devices;
        const std::vector<DIDEVICEINSTANCEW> found = enumerate();
        for (std::size_t i = 0; i < found.size(); ++i) {
            int actuators = 0;
            EXPECT_EQ(openDevice(i)->EnumObjects(countActuators, &actuators, DIDFT_AXIS), DI_OK);
            char text[300];
            std::snprintf(text, sizeof text, "%ls ffb=%d actuators=%d", found[i].tszInstanceName,
                          found[i].guidFFDriver.Data1 != 0, actuators);
            devices.push_back(text);
        }
        EXPECT_EQ(devices, c.devices);
        EXPECT_EQ(enumerate(DIEDFL_FORCEFEEDBACK).size(), c.forceFeedback) << c.config;
    }
}

TEST_F(SimDevices, ReadsNeedTheDeviceAcquiredAsDirectInputDoes)
{
    DIJOYSTATE2 state;
    EXPECT_EQ(device->Poll(), DIERR_NOTACQUIRED);
    EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
    EXPECT_EQ(device->Acquire(), DIERR_INVALIDPARAM) << "acquired without a data format";
    EXPECT_EQ(prepare(device), DI_OK);
    EXPECT_EQ(device->Acquire(), S_FALSE);
    EXPECT_EQ(device->GetDeviceState(sizeof(DIJOYSTATE), &state), DIERR_INVALIDPARAM) << "size of another format";
    // Exclusive access: a second object for the same stick is refused.
    IDirectInputDevice8W* other = openDevice();
    EXPECT_EQ(prepare(other), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(device->Unacquire(), DI_OK);
    EXPECT_EQ(device->Unacquire(), DI_NOEFFECT);
    EXPECT_EQ(device->Poll(), DIERR_NOTACQUIRED);
    EXPECT_EQ(other->Acquire(), DI_OK) << "the stick was let go";
}

TEST_F(SimDevices, AReadReturnsWhatThePollBeforeItFetchedOrFetchesItself)
{
    ASSERT_EQ(prepare(device), DI_OK);
    StickInput input = {50000, 100, 9000};
    input.buttons[0] = input.buttons[31] = true;
    simSetInput(0, input);
    DIJOYSTATE2 expected = {};
    expected.lX = 50000;
    expected.lY = 100;
    expected.rgdwPOV[0] = 9000;
    expected.rgdwPOV[1] = expected.rgdwPOV[2] = expected.rgdwPOV[3] = 0xFFFFFFFF;
    expected.rgbButtons[0] = expected.rgbButtons[31] = 0x80;
    const DIJOYSTATE2 state = read(device);
    EXPECT_EQ(std::memcmp(&state, &expected, sizeof state), 0);
    EXPECT_EQ(lastJournalOf("dev0 GetDeviceState"),
              "dev0 GetDeviceState size=272 x=50000 y=100 pov=9000 buttons=10000000000000000000000000000001 -> "
              "0x00000000");

    simSetInput(0, {100});
    ASSERT_EQ(device->Poll(), DI_OK);
    simSetInput(0, {200});
    EXPECT_EQ(read(device).lX, 100) << "the read after a Poll returns what the Poll fetched";
    EXPECT_EQ(read(device).lX, 200) << "a second read fetches afresh";
    // Losing the device forgets what was polled.
    ASSERT_EQ(device->Poll(), DI_OK);
    simSetInput(0, {400});
    ASSERT_EQ(device->Unacquire(), DI_OK);
    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(read(device).lX, 400);
}

TEST_F(SimDevices, ChosenCallsFailWithTheChosenResultCountedFromEachCreation)
{
    ASSERT_NO_FATAL_FAILURE(start(std::string(simDefaultConfig) + "fail Poll DIERR_INPUTLOST call=2 count=2\n" +
                                  "fail Acquire 0x80070005 call=2 count=all device=0\nfail CreateEffect E_FAIL\n"));
    for (int creation = 1; creation <= 2; ++creation) {
        ASSERT_EQ(prepare(device = openDevice()), DI_OK);
        for (HRESULT poll : {DI_OK, DIERR_INPUTLOST, DIERR_INPUTLOST, DI_OK, DI_OK})
            EXPECT_EQ(device->Poll(), poll) << "creation " << creation;
        EXPECT_EQ(device->Unacquire(), DI_OK);
        for (int i = 2; i <= 4; ++i)
            EXPECT_EQ(device->Acquire(), E_ACCESSDENIED) << "acquire " << i;
        EXPECT_EQ(lastJournalOf("dev0 Acquire"), "dev0 Acquire -> 0x80070005");
        // A failed CreateEffect hands out nothing and uses no effect number.
        IDirectInputEffect* effect = reinterpret_cast<IDirectInputEffect*>(1);
        EXPECT_EQ(device->CreateEffect(GUID_Spring, nullptr, &effect, nullptr), E_FAIL);
        EXPECT_EQ(effect, nullptr);
        EXPECT_EQ(device->CreateEffect(GUID_Spring, nullptr, &effect, nullptr), DI_OK);
        EXPECT_EQ(lastJournalOf("dev0 CreateEffect"), "dev0 CreateEffect eff=" + std::to_string(creation) +
                                                          " type=spring -> 0x00000000");
        ASSERT_NE(directInput = createDirectInput(), nullptr);
    }
}

TEST_F(SimDevices, AVanishedDeviceIsMissingFromLaterDiscoveries)
{
    ASSERT_NO_FATAL_FAILURE(start(std::string(simDefaultConfig) + "device \"Pedals\"\nvanish 0 discovery=2\n"));
    const std::vector<DIDEVICEINSTANCEW> first = enumerate();
    ASSERT_EQ(first.size(), 2u);
    const std::vector<DIDEVICEINSTANCEW> second = enumerate();
    ASSERT_EQ(second.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(second[0].guidInstance, first[1].guidInstance)) << "the pedals remain";
    EXPECT_EQ(lastJournalOf("dinput EnumDevices"), "dinput EnumDevices class=4 flags=0x1 devices=1 -> 0x00000000");
    IDirectInputDevice8W* device = nullptr;
    EXPECT_EQ(directInput->CreateDevice(first[0].guidInstance, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(directInput->GetDeviceStatus(first[0].guidInstance), DI_NOTATTACHED);
}

} // namespace
