// Bringing DirectInput up and down on the simulated stick: the controllers,
// the stick among them, the stored settings, the effects, and the release.
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
        const std::vector<std::uint8_t> bytes = settingsFileOf(record);
        EXPECT_TRUE(folder.write(L"opt.dat", bytes));
        return bytes;
    }

    static std::vector<std::string> sequence()
    {
        std::vector<std::string> found;
        for (const SimCall& c : calls()) {
            if (c.method != "AddRef" && c.method != "Release" && c.method != "force")
                found.push_back(c.object + " " + c.method);
        }
        return found;
    }
};

// Without a force-feedback stick the user is told, and stored settings are
// neither read nor, at the release, replaced.
TEST_F(DiscoveryTest, WithoutAForceFeedbackStickTheUserIsTold)
{
    const struct {
        const char* config;
        const wchar_t* message;
        int devices;
    } cases[] = {{"", L"No Joystick found.", 0}, {"device \"Pad\"\n", L"No FFB Joystick found.", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        releaseDirectInput();
        simReset(c.config);
        messageBoxes.clear();
        const std::vector<std::uint8_t> stored = storeSettings();
        EXPECT_EQ(initDirectInput(), S_OK);
        ASSERT_EQ(messageBoxes.size(), 1u);
        EXPECT_EQ(messageBoxes[0].text, c.message);
        EXPECT_EQ(messageBoxes[0].caption, L"VIZazav");
        EXPECT_EQ(messageBoxes[0].owner, nullptr);
        EXPECT_EQ(messageBoxes[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
        EXPECT_EQ(deviceCount, c.devices);
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
    mainWindow = GetDesktopWindow();
    std::int32_t springWhenPrepared = 0;
    simWatchJournal([&](const std::string& line) {
        if (line.rfind("dev0 SetDataFormat", 0) == 0)
            springWhenPrepared = Settings.springGain;
    });
    EXPECT_EQ(initDirectInput(), S_OK);
    std::vector<std::string> seen = sequence();
    seen.resize(15);
    EXPECT_THAT(seen, ElementsAre("dinput DirectInput8Create", "dinput CreateDevice", "dinput CreateDevice",
                                  "dinput CreateDevice", "dinput EnumDevices", "dev0 SetDataFormat",
                                  "dev0 SetCooperativeLevel", "dev1 SetDataFormat", "dev1 SetCooperativeLevel",
                                  "dev2 SetDataFormat", "dev2 SetCooperativeLevel", "dev2 SetProperty",
                                  "dev2 EnumObjects", "dev2 CreateEffect", "eff1 Start"));
    EXPECT_EQ(calls("DirectInput8Create")[0]["version"], "0x800");
    EXPECT_EQ(calls("EnumDevices")[0]["class"] + " " + calls("EnumDevices")[0]["flags"], "4 0x1");
    for (const SimCall& c : calls("SetDataFormat"))
        EXPECT_EQ(c["format"], "joystick2");
    for (const SimCall& c : calls("SetCooperativeLevel"))
        EXPECT_EQ(c["flags"], "0x9") << "exclusive and background";
    EXPECT_EQ(calls("SetProperty")[0]["prop"] + " " + calls("SetProperty")[0]["data"], "9 0") << "autocentre off";
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
    EXPECT_STREQ(DeviceList[0].name, L"c1");
    EXPECT_STREQ(DeviceList[31].name, L"c32");
    EXPECT_EQ(ffbDevice, DeviceList[31].device);
    EXPECT_EQ(ffAxisCount, 2u) << "three actuated axes";
    EXPECT_EQ(calls("CreateEffect")[0]["axes"], "2");

    releaseDirectInput();
    simReset("device \"Wheel\" ffb axes=1\n");
    EXPECT_EQ(initDirectInput(), S_OK);
    EXPECT_EQ(ffAxisCount, 1u) << "counted afresh";
}

TEST_F(DiscoveryTest, EachFailingStepEndsDiscoveryWithItsResult)
{
    const struct {
        const char* fault;
        const char* lastCall;
        bool settingsRead;
    } cases[] = {
        {"fail DirectInput8Create E_OUTOFMEMORY", "DirectInput8Create", false},
        {"fail EnumDevices E_OUTOFMEMORY", "EnumDevices", false},
        {"fail SetProperty E_OUTOFMEMORY", "SetProperty", true},
        {"fail EnumObjects E_OUTOFMEMORY", "EnumObjects", true},
        {"fail CreateEffect E_OUTOFMEMORY call=3", "CreateEffect", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        releaseDirectInput();
        simReset(oneStick + c.fault + "\n");
        DeleteFileW(L"opt.dat");
        storedSettingsKnown = false;
        EXPECT_EQ(initDirectInput(), E_OUTOFMEMORY);
        EXPECT_EQ(sequence().back().substr(sequence().back().find(' ') + 1), c.lastCall);
        EXPECT_EQ(storedSettingsKnown, c.settingsRead);
        EXPECT_THAT(messageBoxes, IsEmpty());
    }
}

// The release gives back every object, once, and the centre returns to the
// middle; a second release does nothing more.
TEST_F(DiscoveryTest, ReleaseGivesBackEverythingAndRecentres)
{
    open(stickAndPedals);
    trimX = 300;
    trimY = -300;
    releaseDirectInput();
    EXPECT_THAT(simHeldObjects(), IsEmpty());
    EXPECT_EQ(deviceCount, 0);
    EXPECT_EQ(ffbDevice, nullptr);
    EXPECT_EQ(directInput, nullptr);
    EXPECT_EQ(springEffect2, nullptr);
    EXPECT_EQ(DeviceList[1].device, nullptr);
    EXPECT_EQ(trimX, 0);
    EXPECT_EQ(trimY, 0);
    simClearJournal();
    releaseDirectInput();
    EXPECT_THAT(calls(), IsEmpty());
}

} // namespace
