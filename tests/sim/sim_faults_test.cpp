// Failures injected from the configuration: chosen calls fail, devices
// vanish between discoveries.
#include "tests/sim/sim_harness.h"

namespace {

using SimFaults = SimTest;

const char* const oneStick = "device \"Stick\" ffb\n";

TEST_F(SimFaults, ChosenCallsFailWithTheChosenResult)
{
    write(L"sim-config.txt", std::string(oneStick) +
                                 "fail Poll DIERR_INPUTLOST call=2 count=2\n"
                                 "fail Acquire 0x80070005 call=2 count=all device=0\n");
    IDirectInput8W* directInput = createDirectInput();
    IDirectInputDevice8W* device = openDevice(directInput);
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(prepareAndAcquire(device), DI_OK);
    const HRESULT polls[] = {DI_OK, DIERR_INPUTLOST, DIERR_INPUTLOST, DI_OK, DI_OK};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(device->Poll(), polls[i]) << "poll " << i + 1;
    EXPECT_EQ(device->Unacquire(), DI_OK);
    for (int i = 2; i <= 4; ++i)
        EXPECT_EQ(device->Acquire(), E_ACCESSDENIED) << "acquire " << i;
    EXPECT_EQ(lastJournalOf("dev0 Acquire"), "dev0 Acquire -> 0x80070005");
    device->Release();
    directInput->Release();

    // Counts start again with the configuration, reloaded at each creation.
    directInput = createDirectInput();
    device = openDevice(directInput);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(prepareAndAcquire(device), DI_OK);
    EXPECT_EQ(device->Poll(), DI_OK);
    EXPECT_EQ(device->Poll(), DIERR_INPUTLOST);
    device->Release();
    directInput->Release();
}

TEST_F(SimFaults, AFailedCreateEffectHandsOutNothingAndUsesNoNumber)
{
    write(L"sim-config.txt", std::string(oneStick) + "fail CreateEffect E_FAIL call=2\n");
    IDirectInput8W* directInput = createDirectInput();
    IDirectInputDevice8W* device = openDevice(directInput);
    ASSERT_NE(device, nullptr);
    const ConditionEffect description(5000, 5000);
    IDirectInputEffect* effects[3] = {};
    const HRESULT results[3] = {DI_OK, E_FAIL, DI_OK};
    for (int i = 0; i < 3; ++i) {
        effects[i] = reinterpret_cast<IDirectInputEffect*>(1);
        EXPECT_EQ(device->CreateEffect(GUID_Spring, &description.effect, &effects[i], nullptr), results[i]) << i;
    }
    EXPECT_NE(effects[0], nullptr);
    EXPECT_EQ(effects[1], nullptr) << "the failed call handed out an effect";
    ASSERT_NE(effects[2], nullptr);
    const std::vector<std::string> lines = journalOf("dev0 CreateEffect");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "dev0 CreateEffect eff=- type=spring -> 0x80004005");
    EXPECT_EQ(lines[2].rfind("dev0 CreateEffect eff=2 type=spring ", 0), 0u) << lines[2];
    effects[0]->Release();
    effects[2]->Release();
    device->Release();
    directInput->Release();
}

TEST_F(SimFaults, AVanishedDeviceIsMissingFromLaterDiscoveries)
{
    write(L"sim-config.txt", std::string(oneStick) + "device \"Pedals\"\nvanish 0 discovery=2\n");
    IDirectInput8W* directInput = createDirectInput();
    const std::vector<DIDEVICEINSTANCEW> first = enumerate(directInput);
    ASSERT_EQ(first.size(), 2u);
    const std::vector<DIDEVICEINSTANCEW> second = enumerate(directInput);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(second[0].guidInstance, first[1].guidInstance)) << "the pedals remain";
    IDirectInputDevice8W* device = nullptr;
    EXPECT_EQ(directInput->CreateDevice(first[0].guidInstance, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(lastJournalOf("dinput EnumDevices"), "dinput EnumDevices class=4 flags=0x1 devices=1 -> 0x00000000");
    directInput->Release();
}

TEST_F(SimFaults, CreationCanFailAndBadLinesAreJournaled)
{
    write(L"sim-config.txt", std::string(oneStick) +
                                 "fail DirectInput8Create DIERR_DEVICENOTREG\n"
                                 "fail Frobnicate E_FAIL\n"
                                 "fail Poll E_WHATEVER\n"
                                 "fail Poll E_FAIL count=some\n"
                                 "vanish 0\n");
    EXPECT_EQ(createDirectInput(), nullptr);
    EXPECT_EQ(lastJournalOf("DirectInput8Create"),
              "DirectInput8Create version=0x800 iid=IDirectInput8W -> 0x80040154");
    const std::vector<std::string> expected = {
        "dinput config-error line=3 reason=fail-method",
        "dinput config-error line=4 reason=fail-hresult",
        "dinput config-error line=5 reason=fail-option",
        "dinput config-error line=6 reason=vanish",
    };
    EXPECT_EQ(journalOf("dinput config-error"), expected);

    // DirectInput8Create is counted for the whole process: the second works.
    IDirectInput8W* directInput = createDirectInput();
    ASSERT_NE(directInput, nullptr);
    directInput->Release();
}

} // namespace
