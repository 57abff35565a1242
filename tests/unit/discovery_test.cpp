// Bringing DirectInput up on the simulated stick: the controllers, the stick among them, the stored settings and the
// effects.
#include "ffb/discovery.h"
#include "settings/settings_file.h"
#include "tests/support/kestra_fixture.h"
#include "tests/support/settings_bytes.h"

namespace {

using DiscoveryTest = KestraFixture;

// Discovery ends at the first failing step with its result, and without a force-feedback stick tells the user so. The
// settings are read only once the stick is known, and settings never read are not replaced at the release.
TEST_F(DiscoveryTest, EndsAtAFailingStepOrWithoutAForceFeedbackStick)
{
    // The devices, or the call that fails on the stick and pedals; the message; whether opt.dat is read.
    const struct { const char* devices; const wchar_t* message; bool settingsRead; } cases[] = {
        {"DirectInput8Create", nullptr, false}, {"EnumDevices", nullptr, false}, {"EnumObjects", nullptr, true},
        {"CreateEffect", nullptr, true}, {"", L"No Joystick found.", false},
        {"device \"Pad\"\n", L"No FFB Joystick found.", false}};  // after a stick: the release forgot it
    const auto stored = settingsFileWith({{deviceAt, 1}, {springAt, 42}});  // the pedals trim, spring 42 %
    for (const auto& c : cases) {
        releaseDirectInput();
        simReset(c.message ? std::string(c.devices) : stickAndPedals + "fail " + c.devices + " E_OUTOFMEMORY\n");
        folder.write(L"opt.dat", stored);
        storedSettingsKnown = false;
        messageBoxes.clear();
        EXPECT_EQ(initDirectInput(), c.message ? S_OK : E_OUTOFMEMORY) << c.devices;
        EXPECT_EQ(calls().back().method, c.message ? "EnumDevices" : c.devices) << "the last call";
        ASSERT_EQ(messageBoxes.size(), c.message ? 1u : 0u) << c.devices;
        for (const MessageBoxCall& box : messageBoxes) {
            EXPECT_EQ(box.text, c.message);
            EXPECT_EQ(box.caption, L"VIZazav");
            EXPECT_EQ(box.owner, nullptr);
            EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONERROR));
        }
        Settings.springGain = 2500;  // a save shows: a file read is replaced, one never read stays
        releaseAndSave();
        EXPECT_EQ(folder.read(L"opt.dat"),
                  c.settingsRead ? settingsFileWith({{deviceAt, 1}, {springAt, 25}}) : stored) << c.devices;
    }
}

// Every attached game controller is opened and prepared for exclusive background use; the last with force feedback is
// the stick, whose own centring is switched off; opt.dat is read once the list is known.
TEST_F(DiscoveryTest, PreparesEveryControllerAndReadsTheSettingsOnceTheyAreKnown)
{
    folder.write(L"opt.dat", settingsFileWith({{deviceAt, 2}}));  // the third controller's buttons trim
    simReset("device \"Pad\"\ndevice \"First\" ffb\ndevice \"Stick\" ffb\n");
    EXPECT_EQ(initDirectInput(), S_OK);
    EXPECT_EQ(Settings.deviceIndex, 2);
    // Each call up to the effects: its object, its method and the arguments that matter.
    const struct { const char *object, *method; std::map<std::string, std::string> arguments; } expected[] = {
        {"dinput", "DirectInput8Create", {{"version", "0x800"}}},
        {"dinput", "CreateDevice", {}}, {"dinput", "CreateDevice", {}}, {"dinput", "CreateDevice", {}},
        {"dinput", "EnumDevices", {{"class", "4"}, {"flags", "0x1"}}},  // game controllers, attached only
        {"dev0", "SetDataFormat", {{"format", "joystick2"}}}, {"dev0", "SetCooperativeLevel", {{"flags", "0x9"}}},
        {"dev1", "SetDataFormat", {{"format", "joystick2"}}}, {"dev1", "SetCooperativeLevel", {{"flags", "0x9"}}},
        {"dev2", "SetDataFormat", {{"format", "joystick2"}}}, {"dev2", "SetCooperativeLevel", {{"flags", "0x9"}}},
        {"dev2", "SetProperty", {{"prop", "9"}, {"data", "0"}}},  // DIPROP_AUTOCENTER off
        {"dev2", "EnumObjects", {{"flags", "0x3"}}},
        {"dev2", "CreateEffect", {}}};
    const std::vector<SimCall> made = calls();
    ASSERT_GE(made.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(made[i].object, expected[i].object) << "call " << i;
        EXPECT_EQ(made[i].method, expected[i].method) << "call " << i;
        for (const auto& [key, value] : expected[i].arguments)
            EXPECT_EQ(made[i][key], value) << made[i].line;
    }
}

// A controller that cannot be opened takes no entry; no more than 32 are kept; the axes that carry an actuator are
// counted afresh, at most two. A driver that cannot switch the stick's own centring off does not cost it its forces.
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
    simReset("device \"Wheel\" ffb axes=1\nfail SetProperty 0x80004001\n");  // DIERR_UNSUPPORTED
    EXPECT_EQ(initDirectInput(), S_OK);
    EXPECT_EQ(ffAxisCount, 1u) << "counted afresh";
    for (const SimCall& c : calls("CreateEffect"))
        EXPECT_EQ(c.result, "0x00000000") << c.line;
    EXPECT_EQ(calls("CreateEffect").size(), 6u);
}

} // namespace
