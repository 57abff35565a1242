// Bringing DirectInput up and down: controllers, the stick, settings, effects.
#include "ffb/discovery.h"
#include "settings/settings_file.h"
#include "tests/support/kestra_test.h"
#include "tests/support/test_folder.h"

#include <gmock/gmock.h>

#include <algorithm>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

using Bytes = std::vector<std::uint8_t>;

IDirectInputEffect** const effectHandles[] = {&springEffect,  &damperEffect,  &frictionEffect,
                                              &springEffect2, &damperEffect2, &frictionEffect2};

// Runs in a fresh working folder, where discovery looks for "opt.dat".
class DiscoveryTest : public KestraTest {
protected:
    void SetUp() override
    {
        KestraTest::SetUp();
        begin();
    }

    // A fresh start within a test: state, fakes and no stored settings.
    void begin()
    {
        EXPECT_EQ(overReleases, 0) << "an object was released more often than referenced";
        restoreDefaultState();
        destroyFakes();
        journal.clear();
        messageBoxes.clear();
        DeleteFileW(L"opt.dat");
        dinput = installFakeDirectInput();
        mainWindow = reinterpret_cast<HWND>(0x5150);
    }

    FakeDevice* attachStick(const std::string& label = "stick")
    {
        FakeDevice* stick = dinput->attach(label, true);
        stick->axisFlags = {DIDOI_FFACTUATOR, DIDOI_FFACTUATOR};
        return stick;
    }

    // "opt.dat" holding the defaults but for device 1 and a spring of 42 %.
    static Bytes storeSettings()
    {
        SettingsRecord record;
        captureSettingsRecord(record);
        record.deviceIndex = 1;
        record.springGain = 42;
        std::uint8_t bytes[settingsFileSize];
        encodeSettingsFile(record, bytes);
        const HANDLE file = CreateFileW(L"opt.dat", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes, sizeof bytes, &written, nullptr);
        CloseHandle(file);
        EXPECT_EQ(written, sizeof bytes) << "opt.dat could not be written";
        return Bytes(bytes, bytes + sizeof bytes);
    }

    Bytes storedBytes() const { return folder.read(L"opt.dat"); }

    FakeDirectInput* dinput = nullptr;
    WorkingFolder folder;
};

TEST_F(DiscoveryTest, WithoutAForceFeedbackStickTheUserIsToldAndStoredSettingsAreLeftAlone)
{
    const struct {
        const char* name;
        bool pad;
        const wchar_t* message;
        std::vector<std::string> calls;
    } cases[] = {
        {"no controller", false, L"No Joystick found.", {"DirectInput8Create(0x800)", "dinput.EnumDevices(4,0x1)"}},
        {"one controller without force feedback", true, L"No FFB Joystick found.",
         {"DirectInput8Create(0x800)", "dinput.EnumDevices(4,0x1)", "dinput.CreateDevice(pad)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        begin();
        const Bytes stored = storeSettings();
        FakeDevice* pad = c.pad ? dinput->attach("pad", false) : nullptr;

        EXPECT_EQ(initDirectInput(), S_OK);
        ASSERT_EQ(messageBoxes.size(), 1u);
        EXPECT_EQ(messageBoxes[0].text, c.message);
        EXPECT_EQ(messageBoxes[0].caption, L"VIZazav");
        EXPECT_EQ(messageBoxes[0].owner, nullptr);
        EXPECT_EQ(messageBoxes[0].style, 0x10u) << "MB_OK | MB_ICONERROR";
        EXPECT_THAT(journal, ElementsAreArray(c.calls));
        EXPECT_EQ(deviceCount, c.pad ? 1 : 0);
        EXPECT_EQ(DeviceList[0].device, pad);
        EXPECT_STREQ(DeviceList[0].name, c.pad ? L"pad" : L"");
        EXPECT_EQ(ffbDevice, nullptr);
        for (IDirectInputEffect** handle : effectHandles)
            EXPECT_EQ(*handle, nullptr);
        EXPECT_EQ(Settings.springGain, 5000) << "opt.dat was read";
        EXPECT_FALSE(storedSettingsKnown);

        Settings.damperGain = 2500;
        releaseAndSave();
        EXPECT_THAT(heldFakes(), IsEmpty());
        EXPECT_EQ(storedBytes(), stored) << "settings never read are not replaced";
    }
}

TEST_F(DiscoveryTest, StoredSettingsAreReadBeforeControllersArePreparedThenEffectsCreated)
{
    storeSettings();
    dinput->attach("pad", false);
    attachStick();
    std::int32_t springWhenPrepared = 0;
    journalWatcher = [&](const std::string& entry) {
        if (entry == "pad.SetDataFormat")
            springWhenPrepared = Settings.springGain;
    };

    EXPECT_EQ(initDirectInput(), S_OK);
    EXPECT_THAT(journal, ElementsAre("DirectInput8Create(0x800)", "dinput.EnumDevices(4,0x1)",
                                     "dinput.CreateDevice(pad)", "dinput.CreateDevice(stick)",
                                     "pad.SetDataFormat", "pad.SetCooperativeLevel(9)",
                                     "stick.SetDataFormat", "stick.SetCooperativeLevel(9)",
                                     "stick.SetProperty(0,0)", "stick.EnumObjects(0x3)",
                                     "stick.CreateEffect(damper)", "damper.Start(1,0)",
                                     "stick.CreateEffect(damper)",
                                     "stick.CreateEffect(friction)", "friction.Start(1,0)",
                                     "stick.CreateEffect(friction)",
                                     "stick.CreateEffect(spring)", "stick.CreateEffect(spring)",
                                     "spring.Start(1,0)"));
    EXPECT_EQ(springWhenPrepared, 4200) << "opt.dat read only after the devices were prepared";
    EXPECT_TRUE(storedSettingsKnown);
    EXPECT_EQ(Settings.deviceIndex, 1) << "the stored index meets the two controllers just found";
    EXPECT_EQ(fakeOf(springEffect)->created.conditions.at(0).lPositiveCoefficient, 4200);
    EXPECT_EQ(ffAxisCount, 2u);
    EXPECT_THAT(messageBoxes, IsEmpty());
}

TEST_F(DiscoveryTest, DirectInputIsAskedForVersion8AttachedGameControllersAndAutocentreOff)
{
    attachStick();
    ASSERT_EQ(initDirectInput(), S_OK);

    ASSERT_EQ(factoryCalls.size(), 1u);
    EXPECT_EQ(factoryCalls[0].module, GetModuleHandleW(nullptr));
    EXPECT_EQ(factoryCalls[0].version, 0x0800u);
    EXPECT_TRUE(IsEqualIID(factoryCalls[0].iid, IID_IDirectInput8W));
    EXPECT_EQ(factoryCalls[0].outer, nullptr);
    EXPECT_EQ(directInput, static_cast<IDirectInput8W*>(dinput));

    EXPECT_EQ(dinput->enumClass, static_cast<DWORD>(DI8DEVCLASS_GAMECTRL));
    EXPECT_EQ(dinput->enumFlags, static_cast<DWORD>(DIEDFL_ATTACHEDONLY));
    EXPECT_EQ(dinput->enumContext, nullptr);

    const std::vector<RecordedProperty>& properties = static_cast<FakeDevice*>(ffbDevice)->properties;
    ASSERT_EQ(properties.size(), 1u);
    EXPECT_EQ(properties[0].id, 9u) << "DIPROP_AUTOCENTER";
    const DIPROPDWORD& autoCenter = properties[0].value;
    EXPECT_EQ(autoCenter.diph.dwSize, 20u);
    EXPECT_EQ(autoCenter.diph.dwHeaderSize, 16u);
    EXPECT_EQ(autoCenter.diph.dwObj, 0u);
    EXPECT_EQ(autoCenter.diph.dwHow, static_cast<DWORD>(DIPH_DEVICE));
    EXPECT_EQ(autoCenter.dwData, static_cast<DWORD>(DIPROPAUTOCENTER_OFF));
}

TEST_F(DiscoveryTest, LastForceFeedbackControllerIsTheStickAndEveryControllerIsPrepared)
{
    FakeDevice* first = attachStick("first");
    FakeDevice* second = attachStick("second");
    FakeDevice* pad = dinput->attach("pad", false);
    // Refusals are ignored: the stick may still work.
    first->setDataFormatResult.otherwise = DIERR_ACQUIRED;
    pad->setCooperativeLevelResult.otherwise = E_HANDLE;

    EXPECT_EQ(initDirectInput(), S_OK);
    EXPECT_EQ(deviceCount, 3);
    EXPECT_EQ(ffbDevice, second);
    for (FakeDevice* device : {first, second, pad}) {
        SCOPED_TRACE(device->label);
        EXPECT_EQ(device->dataFormat, &c_dfDIJoystick2);
        EXPECT_EQ(device->cooperativeWindow, mainWindow);
        EXPECT_EQ(std::count(journal.begin(), journal.end(), device->label + ".SetCooperativeLevel(9)"), 1);
    }
    EXPECT_THAT(first->properties, IsEmpty());
    EXPECT_THAT(pad->properties, IsEmpty());
    EXPECT_THAT(first->effects, IsEmpty());
    EXPECT_EQ(second->effects.size(), 6u);
}

TEST_F(DiscoveryTest, ControllerThatCannotBeOpenedTakesNoEntry)
{
    FakeDevice* stick = attachStick();
    attachStick("gone");
    FakeDevice* pad = dinput->attach("pad", false);
    dinput->createDeviceResult.next = {DI_OK, DIERR_NOTFOUND};

    EXPECT_EQ(initDirectInput(), S_OK);
    EXPECT_THAT(dinput->callbackAnswers, ElementsAre(DIENUM_CONTINUE, DIENUM_CONTINUE, DIENUM_CONTINUE));
    EXPECT_EQ(deviceCount, 2);
    EXPECT_EQ(DeviceList[1].device, pad);
    EXPECT_STREQ(DeviceList[1].name, L"pad");
    EXPECT_EQ(DeviceList[2].device, nullptr);
    EXPECT_EQ(ffbDevice, stick) << "not the force-feedback controller that failed to open";
}

TEST_F(DiscoveryTest, EnumerationStopsOnceThirtyTwoEntriesAreTaken)
{
    for (bool firstFails : {false, true}) {
        SCOPED_TRACE(firstFails ? "first controller fails to open" : "all controllers open");
        begin();
        for (int i = 0; i < 33; ++i)
            attachStick("c" + std::to_string(i));
        if (firstFails)
            dinput->createDeviceResult.next = {DIERR_NOTFOUND};

        EXPECT_EQ(initDirectInput(), S_OK);
        EXPECT_EQ(deviceCount, 32);
        const std::size_t answered = firstFails ? 33 : 32;
        ASSERT_EQ(dinput->callbackAnswers.size(), answered);
        EXPECT_EQ(dinput->callbackAnswers.back(), DIENUM_STOP);
        EXPECT_EQ(std::count(dinput->callbackAnswers.begin(), dinput->callbackAnswers.end(), DIENUM_STOP), 1);
        EXPECT_EQ(std::count(journal.begin(), journal.end(), "dinput.CreateDevice(c32)"), firstFails ? 1 : 0);
        EXPECT_STREQ(DeviceList[31].name, firstFails ? L"c32" : L"c31");
        EXPECT_EQ(ffbDevice, DeviceList[31].device);
    }
}

TEST_F(DiscoveryTest, ForceFeedbackAxesAreCountedAfreshAndHeldAtTwo)
{
    FakeDevice* stick = attachStick();
    stick->axisFlags = {DIDOI_FFACTUATOR, 0, DIDOI_FFACTUATOR | DIDOI_POLLED, DIDOI_FFACTUATOR};
    ASSERT_EQ(initDirectInput(), S_OK);
    EXPECT_EQ(ffAxisCount, 2u) << "three actuated axes of four";
    EXPECT_EQ(fakeOf(springEffect)->created.header.cAxes, 2u);

    releaseDirectInput();
    stick->axisFlags = {DIDOI_FFEFFECTTRIGGER, DIDOI_FFACTUATOR, 0};
    ASSERT_EQ(initDirectInput(), S_OK);
    EXPECT_EQ(ffAxisCount, 1u) << "one actuated axis, at the next discovery";
    EXPECT_EQ(fakeOf(springEffect)->created.header.cAxes, 1u);
    EXPECT_EQ(fakeOf(springEffect)->created.conditions.size(), 1u);
}

TEST_F(DiscoveryTest, EachFailingStepEndsDiscoveryWithItsResult)
{
    using Fail = void (*)(FakeDirectInput*, FakeDevice*, HRESULT);
    const struct {
        const char* step;
        Fail fail;
        HRESULT result;
        const char* lastCall;
        int deviceCount;
    } cases[] = {
        {"creating DirectInput", [](FakeDirectInput*, FakeDevice*, HRESULT hr) { factoryResult.next = {hr}; },
         DIERR_OLDDIRECTINPUTVERSION, "DirectInput8Create(0x800)", 0},
        {"listing controllers", [](FakeDirectInput* d, FakeDevice*, HRESULT hr) { d->enumDevicesResult.next = {hr}; },
         DIERR_INVALIDPARAM, "dinput.CreateDevice(stick)", 1},
        {"switching autocentre off",
         [](FakeDirectInput*, FakeDevice* s, HRESULT hr) { s->setPropertyResult.next = {hr}; },
         DIERR_UNSUPPORTED, "stick.SetProperty(0,0)", 1},
        {"counting axes", [](FakeDirectInput*, FakeDevice* s, HRESULT hr) { s->enumObjectsResult.next = {hr}; },
         DIERR_NOTINITIALIZED, "stick.EnumObjects(0x3)", 1},
        {"creating an effect", [](FakeDirectInput*, FakeDevice* s, HRESULT hr) { s->createEffectResult.next = {hr}; },
         static_cast<HRESULT>(DIERR_DEVICEFULL), "stick.CreateEffect(damper)", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("failing: ") + c.step);
        begin();
        FakeDevice* stick = attachStick();
        c.fail(dinput, stick, c.result);

        EXPECT_EQ(initDirectInput(), c.result);
        ASSERT_FALSE(journal.empty());
        EXPECT_EQ(journal.back(), c.lastCall);
        EXPECT_EQ(deviceCount, c.deviceCount) << "entries taken before the failure stay";
        EXPECT_THAT(stick->effects, IsEmpty());
        EXPECT_THAT(messageBoxes, IsEmpty());

        releaseDirectInput();
        EXPECT_THAT(heldFakes(), IsEmpty());
    }
}

TEST_F(DiscoveryTest, ReleaseGivesBackEveryReferenceOnceAndRecentresTheTrim)
{
    dinput->attach("pad", false);
    attachStick();
    ASSERT_EQ(initDirectInput(), S_OK);
    trimX = 1500;
    trimY = -700;
    journal.clear();

    releaseDirectInput();
    EXPECT_THAT(journal, ElementsAre("pad.Unacquire", "stick.Unacquire", "spring.Release", "damper.Release",
                                     "friction.Release", "spring2.Release", "damper2.Release", "friction2.Release",
                                     "pad.Release", "stick.Release", "dinput.Release"));
    EXPECT_THAT(heldFakes(), IsEmpty());
    for (IDirectInputEffect** handle : effectHandles)
        EXPECT_EQ(*handle, nullptr);
    for (const DeviceRecord& record : DeviceList)
        EXPECT_EQ(record.device, nullptr);
    EXPECT_EQ(directInput, nullptr);
    EXPECT_EQ(ffbDevice, nullptr);
    EXPECT_EQ(deviceCount, 0);
    EXPECT_EQ(trimX, 0);
    EXPECT_EQ(trimY, 0);

    journal.clear();
    releaseDirectInput();
    EXPECT_THAT(journal, IsEmpty()) << "a second release";
}

TEST_F(DiscoveryTest, ReleaseAndSaveWritesStoredSettingsOnlyAfterReleasing)
{
    const Bytes stored = storeSettings();
    attachStick();
    ASSERT_EQ(initDirectInput(), S_OK);
    Settings.damperGain = 2500;
    Bytes fileWhenReleased;
    journalWatcher = [&](const std::string& entry) {
        if (entry == "dinput.Release")
            fileWhenReleased = storedBytes();
    };

    releaseAndSave();
    EXPECT_EQ(directInput, nullptr);
    EXPECT_EQ(fileWhenReleased, stored);
    const Bytes saved = storedBytes();
    ASSERT_EQ(saved.size(), settingsFileSize);
    EXPECT_EQ(saved[24], 42) << "spring strength, as read";
    EXPECT_EQ(saved[28], 25) << "damper strength, as changed";
}

} // namespace
