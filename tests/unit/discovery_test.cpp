// Bringing DirectInput up on the simulated stick: the controllers, the stick
// among them, the stored settings and the effects.
#include "ffb/discovery.h"
#include "settings/settings_file.h"
#include "tests/support/kestra_fixture.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class DiscoveryTest : public KestraFixture {
protected:
    // "opt.dat" with the defaults but for device 1 and a spring of 42 %.
    std::vector<std::uint8_t> storeSettings()
    {
        SettingsRecord record;
        captureSettingsRecord(record);
        record.deviceIndex = 1;
        record.springGain = 42;
        folder.write(L"opt.dat", settingsFileOf(record));
        return settingsFileOf(record);
    }

    // "dev0 SetDataFormat format=joystick2": the calls with the values asked for.
    static std::vector<std::string> sequence(std::initializer_list<const char*> keys)
    {
        std::vector<std::string> found;
        for (const SimCall& c : calls()) {
            std::string line = c.object + " " + c.method;
            for (const char* key : keys)
                line += c.has(key) ? std::string(" ") + key + "=" + c[key] : "";
            if (c.method != "AddRef" && c.method != "Release" && c.method != "force")
                found.push_back(line);
        }
        return found;
    }
};

// Without a force-feedback stick the user is told, and stored settings are
// neither read nor, at the release, replaced.
TEST_F(DiscoveryTest, WithoutAForceFeedbackStickTheUserIsTold)
{
    const std::pair<const char*, const wchar_t*> cases[] = {{"", L"No Joystick found."},
                                                           {"device \"Pad\"\n", L"No FFB Joystick found."}};
    for (const auto& [config, message] : cases) {
        releaseDirectInput();
        simReset(config);
        messageBoxes.clear();
        const std::vector<std::uint8_t> stored = storeSettings();
        EXPECT_EQ(initDirectInput(), S_OK);
        ASSERT_EQ(messageBoxes.size(), 1u);
        const MessageBoxCall& box = messageBoxes[0];
        EXPECT_TRUE(box.text == message && box.caption == L"VIZazav" && box.owner == nullptr &&
                    box.style == (MB_OK | MB_ICONERROR))
            << config;
        EXPECT_EQ(deviceCount, *config ? 1 : 0);
        EXPECT_THAT(calls("CreateEffect"), IsEmpty());
        EXPECT_EQ(Settings.springGain, 5000) << "opt.dat was read";
        releaseAndSave();
        EXPECT_EQ(folder.read(L"opt.dat"), stored) << "settings never read were replaced";
    }
}

// Every attached game controller is opened and prepared for exclusive
// background use; the last with force feedback is the stick, whose own
// centring is switched off; opt.dat is read once the list is known.
TEST_F(DiscoveryTest, PreparesEveryControllerReadsTheSettingsAndCreatesTheEffects)
{
    storeSettings();
    simReset("device \"Pad\"\ndevice \"First\" ffb\ndevice \"Stick\" ffb\n");
    std::int32_t springWhenPrepared = 0;
    simWatchJournal([&](const std::string& line) {
        if (line.rfind("dev0 SetDataFormat", 0) == 0)
            springWhenPrepared = Settings.springGain;
    });
    EXPECT_EQ(initDirectInput(), S_OK);
    std::vector<std::string> seen = sequence({"version", "class", "format", "flags", "prop", "data"});
    seen.resize(15);
    EXPECT_THAT(seen, ElementsAre("dinput DirectInput8Create version=0x800", "dinput CreateDevice",
                                  "dinput CreateDevice", "dinput CreateDevice", "dinput EnumDevices class=4 flags=0x1",
                                  "dev0 SetDataFormat format=joystick2", "dev0 SetCooperativeLevel flags=0x9",
                                  "dev1 SetDataFormat format=joystick2", "dev1 SetCooperativeLevel flags=0x9",
                                  "dev2 SetDataFormat format=joystick2", "dev2 SetCooperativeLevel flags=0x9",
                                  "dev2 SetProperty prop=9 data=0", "dev2 EnumObjects flags=0x3",
                                  "dev2 CreateEffect", "eff1 Start flags=0x0"));
    EXPECT_EQ(springWhenPrepared, 4200) << "opt.dat is read before the devices are prepared";
    EXPECT_EQ(Settings.deviceIndex, 1) << "the stored index meets the three controllers just found";
    EXPECT_EQ(labelOf(ffbDevice), "dev2");
    EXPECT_STREQ(DeviceList[2].name, L"Stick");
}

// A controller that cannot be opened takes no entry; no more than 32 are
// kept; the axes that carry an actuator are counted afresh, at most two.
TEST_F(DiscoveryTest, ListHoldsTheControllersThatOpenAndTheStickItsActuatedAxes)
{
    std::string config = "fail CreateDevice E_FAIL device=0\ndevice \"Broken\" ffb\n";
    for (int i = 1; i <= 33; ++i)
        config += "device \"c" + std::to_string(i) + "\" ffb axes=" + std::to_string(i == 33 ? 1 : 3) + "\n";
    simReset(config);
    EXPECT_EQ(initDirectInput(), S_OK);
    EXPECT_EQ(deviceCount, 32);
    EXPECT_STREQ(DeviceList[31].name, L"c32");
    EXPECT_EQ(ffbDevice, DeviceList[31].device);
    EXPECT_EQ(ffAxisCount, 2u) << "three actuated axes";
    releaseDirectInput();
    simReset("device \"Wheel\" ffb axes=1\n");
    EXPECT_EQ(initDirectInput(), S_OK);
    EXPECT_EQ(ffAxisCount, 1u) << "counted afresh";
}

TEST_F(DiscoveryTest, EachFailingStepEndsDiscoveryWithItsResult)
{
    const std::pair<const char*, bool> cases[] = {  // the failing call; whether opt.dat was read before it
        {"DirectInput8Create", false}, {"EnumDevices", false}, {"SetProperty", true},
        {"EnumObjects", true},         {"CreateEffect", true}};
    for (const auto& [method, settingsRead] : cases) {
        releaseDirectInput();
        simReset(oneStick + "fail " + method + " E_OUTOFMEMORY\n");
        storedSettingsKnown = false;
        EXPECT_EQ(initDirectInput(), E_OUTOFMEMORY) << method;
        EXPECT_EQ(calls().back().method, method);
        EXPECT_EQ(storedSettingsKnown, settingsRead) << method;
        EXPECT_THAT(messageBoxes, IsEmpty());
    }
}

} // namespace
