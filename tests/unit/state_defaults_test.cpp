// The state the program starts with. Built as a program of its own so that
// nothing can have touched the globals before these checks run.
#include "app/state.h"
#include "ffb/clock.h"
#include "tests/support/kestra_test.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

void expectDocumentedDefaults()
{
    EXPECT_EQ(Settings.deviceIndex, 0);
    EXPECT_EQ(Settings.povDeviceIndex, 0);
    EXPECT_EQ(Settings.holdButton, 0);
    EXPECT_EQ(Settings.toggleButton, 0);
    EXPECT_EQ(Settings.centerButton, 0);
    EXPECT_EQ(Settings.springGain, 5000);
    EXPECT_EQ(Settings.damperGain, 0);
    EXPECT_EQ(Settings.frictionGain, 0);
    EXPECT_EQ(Settings.springGain2, 0);
    EXPECT_EQ(Settings.damperGain2, 5000);
    EXPECT_EQ(Settings.frictionGain2, 0);
    EXPECT_EQ(Settings.reinitKey, 0);
    EXPECT_EQ(Settings.swapAxes, 1);
    EXPECT_EQ(Settings.trimmerMode, TrimmerInstant);

    // The window's record holds the same settings in percent from the start.
    const std::int32_t uiFields[] = {uiSettings.deviceIndex,  uiSettings.povDeviceIndex, uiSettings.holdButton,
                                     uiSettings.toggleButton, uiSettings.centerButton,   uiSettings.springGain,
                                     uiSettings.damperGain,   uiSettings.frictionGain,   uiSettings.springGain2,
                                     uiSettings.damperGain2,  uiSettings.frictionGain2,  uiSettings.reinitKey,
                                     uiSettings.swapAxes,     uiSettings.trimmerMode};
    const std::int32_t inPercent[] = {0, 0, 0, 0, 0, 50, 0, 0, 0, 50, 0, 0, 1, TrimmerInstant};
    for (std::size_t i = 0; i < std::size(uiFields); ++i)
        EXPECT_EQ(uiFields[i], inPercent[i]) << "field " << i;

    EXPECT_EQ(instantTrimOn, 1);
    EXPECT_EQ(progressiveTrimOn, 0);
    EXPECT_EQ(initPending, 1);
    EXPECT_EQ(forcesOn, 1);
    EXPECT_EQ(trimLatched, 1);
    EXPECT_EQ(lastTogglePressMs, 2147483647);
    EXPECT_EQ(prevToggleRaw, 0);
    EXPECT_EQ(joyState.lX, 0);
    EXPECT_EQ(joyState.rgbButtons[0], 0);
    EXPECT_EQ(trimX, 0);
    EXPECT_EQ(trimY, 0);
    for (std::uint8_t state : buttonState)
        EXPECT_EQ(state, 0);

    EXPECT_EQ(ffAxisCount, 0u);
    IDirectInputEffect* const effects[] = {springEffect, damperEffect, frictionEffect,
                                           springEffect2, damperEffect2, frictionEffect2};
    for (IDirectInputEffect* effect : effects)
        EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(ffbDevice, nullptr);
    EXPECT_EQ(directInput, nullptr);
    EXPECT_EQ(deviceCount, 0);
    for (const DeviceRecord& record : DeviceList) {
        EXPECT_EQ(record.device, nullptr);
        EXPECT_EQ(record.name[0], L'\0');
    }

    EXPECT_FALSE(storedSettingsKnown);
    EXPECT_TRUE(keyCodeList.empty());
    for (HWND* handle : controlHandles)
        EXPECT_EQ(*handle, nullptr);
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_EQ(mainMenu, nullptr);
    EXPECT_EQ(instance, nullptr);
    EXPECT_EQ(windowClassName[0], L'\0');
    EXPECT_EQ(windowTitle[0], L'\0');
}

TEST(StartUpState, EveryGlobalHoldsItsDocumentedDefault)
{
    expectDocumentedDefaults();
    EXPECT_EQ(sizeof(struct Settings), 52u);
    EXPECT_EQ(sizeof(SettingsRecord), 52u);
}

TEST(StartUpState, TestFixtureRestoresTheSameState)
{
    Settings.springGain = 1;
    Settings.swapAxes = 0;
    Settings.trimmerMode = TrimmerBoth;
    uiSettings.reinitKey = 90;
    instantTrimOn = progressiveTrimOn = initPending = 7;
    forcesOn = trimLatched = prevToggleRaw = 9;
    lastTogglePressMs = 5;
    joyState.lX = 3;
    joyState.rgbButtons[0] = 0x80;
    buttonState[31] = 2;
    trimX = trimY = 77;
    ffAxisCount = 2;
    deviceCount = 4;
    DeviceList[3].name[0] = L'x';
    storedSettingsKnown = true;
    keyCodeList.push_back(8);
    reinitKeyCombo = springSlider2 = reinterpret_cast<HWND>(1);
    windowTitle[0] = L'K';
    restoreDefaultState();
    expectDocumentedDefaults();
}

TEST(StartUpState, ClockReadsMillisecondsSince1970)
{
    EXPECT_EQ(wallClockMs, systemWallClockMs);
    // 2020-01-01 and 2100-01-01 in milliseconds since 1970.
    EXPECT_GT(systemWallClockMs(), 1'577'836'800'000LL);
    EXPECT_LT(systemWallClockMs(), 4'102'444'800'000LL);
}

} // namespace
