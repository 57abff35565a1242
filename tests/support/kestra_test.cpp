#include "tests/support/kestra_test.h"

#include "ffb/clock.h"
#include "settings/settings_file.h"

std::int64_t fakeNowMs = 0;

namespace {
std::int64_t readFakeClock()
{
    return fakeNowMs;
}
} // namespace

HWND* const controlHandles[19] = {
    &deviceCombo, &holdCombo, &toggleCombo, &centerCombo, &povDeviceCombo,
    &springEdit, &springSlider, &damperEdit, &damperSlider,
    &frictionEdit, &frictionSlider, &springEdit2, &springSlider2,
    &damperEdit2, &damperSlider2, &frictionEdit2, &frictionSlider2,
    &swapAxesCheck, &reinitKeyCombo,
};

void restoreDefaultState()
{
    Settings = {};
    Settings.springGain = 5000;
    Settings.damperGain2 = 5000;
    Settings.swapAxes = 1;
    Settings.trimmerMode = TrimmerInstant;
    captureSettingsRecord(uiSettings);

    instantTrimOn = 1;
    progressiveTrimOn = 0;
    initPending = 1;
    forcesOn = 1;
    trimLatched = 1;
    lastTogglePressMs = 2147483647;
    prevToggleRaw = 0;
    joyState = {};
    for (std::uint8_t& state : buttonState)
        state = 0;
    trimX = 0;
    trimY = 0;

    ffAxisCount = 0;
    springEffect = damperEffect = frictionEffect = nullptr;
    springEffect2 = damperEffect2 = frictionEffect2 = nullptr;
    ffbDevice = nullptr;
    directInput = nullptr;
    deviceCount = 0;
    for (DeviceRecord& record : DeviceList)
        record = {};

    storedSettingsKnown = false;
    keyCodeList.clear();
    for (HWND* handle : controlHandles)
        *handle = nullptr;
    mainWindow = nullptr;
    mainMenu = nullptr;
    instance = nullptr;
    windowClassName[0] = L'\0';
    windowTitle[0] = L'\0';
}

void KestraTest::SetUp()
{
    restoreDefaultState();
    journal.clear();
    // Well past 1970, as a real clock would read.
    fakeNowMs = 1'800'000'000'000LL;
    wallClockMs = readFakeClock;
    // No test may stop at a real message box.
    installMessageBoxRecorder();
}

void KestraTest::TearDown()
{
    EXPECT_EQ(overReleases, 0) << "an object was released more often than referenced";
    restoreDefaultState();
    destroyFakes();
    journal.clear();
    wallClockMs = systemWallClockMs;
    restoreDiscoveryHooks();
}

void KestraTest::installEffects()
{
    ffAxisCount = 2;
    springEffect = makeFakeEffect("spring", GUID_Spring);
    damperEffect = makeFakeEffect("damper", GUID_Damper);
    frictionEffect = makeFakeEffect("friction", GUID_Friction);
    springEffect2 = makeFakeEffect("spring2", GUID_Spring);
    damperEffect2 = makeFakeEffect("damper2", GUID_Damper);
    frictionEffect2 = makeFakeEffect("friction2", GUID_Friction);
}

FakeDevice* KestraTest::addDevice(const std::string& label)
{
    FakeDevice* device = makeFakeDevice(label);
    DeviceRecord& record = DeviceList[deviceCount++];
    record.device = device;
    for (std::size_t i = 0; i < label.size() && i + 1 < MAX_PATH; ++i)
        record.name[i] = static_cast<wchar_t>(label[i]);
    return device;
}

FakeDevice* KestraTest::installStick()
{
    FakeDevice* stick = addDevice("stick");
    ffbDevice = stick;
    ffAxisCount = 2;
    return stick;
}
