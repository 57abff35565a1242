// Opening the controllers and bringing the window in line with the settings,
// at start-up and at each restart.
#include "app/apply_restart.h"
#include "ffb/discovery.h"
#include "settings/key_names.h"
#include "settings/settings_file.h"
#include "tests/support/main_window_test.h"
#include "ui/main_window.h"
#include "ui/resource.h"

#include <gmock/gmock.h>

#include <commctrl.h>

#include <algorithm>

using ::testing::ElementsAre;

namespace {

const UINT trimmerItems[] = {IDM_NO_TRIMMER, IDM_INSTANT_TRIMMER, IDM_PROGRESSIVE_TRIMMER, IDM_BOTH_TRIMMERS};

class ApplyAndRestartTest : public WindowWithDevicesTest {
protected:
    // A settings file holding `record`.
    void store(const SettingsRecord& record)
    {
        std::uint8_t bytes[settingsFileSize];
        encodeSettingsFile(record, bytes);
        folder.write(L"opt.dat", std::vector<std::uint8_t>(bytes, bytes + settingsFileSize));
    }

    static SettingsRecord defaults()
    {
        SettingsRecord record = {};
        record.springGain = 50;
        record.damperGain2 = 50;
        record.swapAxes = 1;
        record.trimmerMode = TrimmerInstant;
        return record;
    }

    static std::vector<UINT> checkedTrimmerItems()
    {
        std::vector<UINT> checked;
        for (UINT item : trimmerItems) {
            if (menuState(item))
                checked.push_back(item);
        }
        return checked;
    }

    static std::vector<std::wstring> editTexts()
    {
        std::vector<std::wstring> texts;
        for (const GainControl& control : gainControls)
            texts.push_back(textOf(*control.edit));
        return texts;
    }

    static std::vector<int> sliderPositions()
    {
        std::vector<int> positions;
        for (const GainControl& control : gainControls)
            positions.push_back(static_cast<int>(SendMessageW(*control.slider, TBM_GETPOS, 0, 0)));
        return positions;
    }
};

TEST_F(ApplyAndRestartTest, StartUpWithoutFileShowsTheDefaults)
{
    applyAndRestart(true);

    EXPECT_THAT(listEntries(deviceCombo), ElementsAre(L"Stick", L"Pedals"));
    EXPECT_THAT(listEntries(povDeviceCombo), ElementsAre(L"Stick", L"Pedals"));
    EXPECT_EQ(selectionOf(deviceCombo), 0);
    EXPECT_EQ(selectionOf(povDeviceCombo), 0);
    for (HWND list : {holdCombo, toggleCombo, centerCombo})
        EXPECT_EQ(selectionOf(list), 0);
    EXPECT_THAT(editTexts(), ElementsAre(L"50", L"0", L"0", L"0", L"50", L"0"));
    EXPECT_THAT(sliderPositions(), ElementsAre(50, 0, 0, 0, 50, 0));
    EXPECT_TRUE(isChecked(swapAxesCheck));
    EXPECT_THAT(checkedTrimmerItems(), ElementsAre(IDM_INSTANT_TRIMMER));
    EXPECT_EQ(instantTrimOn, 1);
    EXPECT_EQ(progressiveTrimOn, 0);

    // The hotkey list: every key of the table, in order, and no row for code 0.
    const std::vector<std::wstring> keys = listEntries(reinitKeyCombo);
    ASSERT_EQ(keys.size(), KeyNameTable.size());
    ASSERT_EQ(keyCodeList.size(), KeyNameTable.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i], keyNameText(KeyNameTable[i])) << i;
        EXPECT_EQ(keyCodeList[i], KeyNameTable[i].code) << i;
    }
    EXPECT_EQ(selectionOf(reinitKeyCombo), CB_ERR);
    EXPECT_TRUE(messageBoxes.empty());
}

TEST_F(ApplyAndRestartTest, DevicesAreAcquiredBeforeTheFirstSetStarts)
{
    applyAndRestart(true);
    const std::ptrdiff_t lastAcquire = std::max(firstOf("Stick.Acquire"), firstOf("Pedals.Acquire"));
    ASSERT_GE(firstOf("Stick.Acquire"), 0);
    ASSERT_GE(firstOf("Pedals.Acquire"), 0);
    // Creation leaves the first set playing; it is started once more here.
    const std::vector<std::string> tail(journal.begin() + lastAcquire + 1, journal.end());
    EXPECT_THAT(tail, ElementsAre("spring.Start(1,0)", "damper.Start(1,0)", "friction.Start(1,0)"));
}

TEST_F(ApplyAndRestartTest, StoredSettingsReachTheWindow)
{
    SettingsRecord stored = defaults();
    stored.deviceIndex = 1;
    stored.holdButton = 3;
    stored.toggleButton = 4;
    stored.centerButton = 31;
    stored.springGain = 30;
    stored.frictionGain2 = 100;
    stored.reinitKey = VK_F2;
    stored.swapAxes = 0;
    stored.trimmerMode = TrimmerProgressive;
    store(stored);
    // As if the box had been checked before: the file must clear it.
    SendMessageW(swapAxesCheck, BM_SETCHECK, BST_CHECKED, 0);

    applyAndRestart(true);

    EXPECT_EQ(selectionOf(deviceCombo), 1);
    EXPECT_EQ(selectionOf(povDeviceCombo), 0);
    EXPECT_EQ(selectionOf(holdCombo), 3);
    EXPECT_EQ(selectionOf(toggleCombo), 4);
    EXPECT_EQ(selectionOf(centerCombo), 31);
    EXPECT_THAT(editTexts(), ElementsAre(L"30", L"0", L"0", L"0", L"50", L"100"));
    EXPECT_THAT(sliderPositions(), ElementsAre(30, 0, 0, 0, 50, 100));
    EXPECT_FALSE(isChecked(swapAxesCheck));
    EXPECT_THAT(checkedTrimmerItems(), ElementsAre(IDM_PROGRESSIVE_TRIMMER));
    EXPECT_EQ(instantTrimOn, 0);
    EXPECT_EQ(progressiveTrimOn, 1);
    EXPECT_EQ(selectionOf(reinitKeyCombo), findKeyNameRow(VK_F2));
    EXPECT_EQ(uiSettings.reinitKey, VK_F2);
}

TEST_F(ApplyAndRestartTest, UnknownHotkeyCodeSelectsNoRowButIsKept)
{
    SettingsRecord stored = defaults();
    stored.reinitKey = 0xE8;  // no key of the table
    store(stored);
    applyAndRestart(true);
    EXPECT_EQ(selectionOf(reinitKeyCombo), CB_ERR);
    EXPECT_EQ(uiSettings.reinitKey, 0xE8);
}

TEST_F(ApplyAndRestartTest, RestartWritesTheFileThenReadsItBack)
{
    applyAndRestart(true);
    moveSlider(springSlider, 40);
    journal.clear();

    applyAndRestart(false);

    EXPECT_EQ(folder.read(L"opt.dat").at(24), 40);
    EXPECT_EQ(textOf(springEdit), L"40");
    // Everything was released before DirectInput was created again.
    const std::ptrdiff_t created = firstOf("DirectInput8Create(0x800)");
    ASSERT_GE(created, 0);
    EXPECT_LT(firstOf("dinput.Release"), created);
    EXPECT_LT(firstOf("Stick.Release"), created);
    // The same controllers are listed once, and the hotkey list is not refilled.
    EXPECT_THAT(listEntries(deviceCombo), ElementsAre(L"Stick", L"Pedals"));
    EXPECT_THAT(listEntries(povDeviceCombo), ElementsAre(L"Stick", L"Pedals"));
    EXPECT_EQ(listEntries(reinitKeyCombo).size(), KeyNameTable.size());
    EXPECT_EQ(keyCodeList.size(), KeyNameTable.size());
}

TEST_F(ApplyAndRestartTest, RestartShowsTheFileEvenWhenItDiffersFromTheWindow)
{
    applyAndRestart(true);
    // The file is read-only, so the restart reads back settings other than the window's.
    SettingsRecord stored = defaults();
    stored.swapAxes = 0;
    stored.trimmerMode = TrimmerBoth;
    store(stored);
    SetFileAttributesW(folder.file(L"opt.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    sendCommand(IDM_PROGRESSIVE_TRIMMER);
    ASSERT_TRUE(isChecked(swapAxesCheck));

    applyAndRestart(false);

    EXPECT_FALSE(isChecked(swapAxesCheck)) << "the box must show the swap that is in force";
    EXPECT_EQ(Settings.swapAxes, 0);
    EXPECT_THAT(checkedTrimmerItems(), ElementsAre(IDM_BOTH_TRIMMERS));
    EXPECT_EQ(instantTrimOn, 1);
    EXPECT_EQ(progressiveTrimOn, 1);
}

TEST_F(ApplyAndRestartTest, ModeOutsideTheMenuLeavesFlagsAndMenuAlone)
{
    applyAndRestart(true);
    sendCommand(IDM_NO_TRIMMER);
    SettingsRecord stored = defaults();
    stored.trimmerMode = 7;
    store(stored);
    SetFileAttributesW(folder.file(L"opt.dat").c_str(), FILE_ATTRIBUTE_READONLY);

    applyAndRestart(false);

    EXPECT_EQ(Settings.trimmerMode, 7);
    EXPECT_THAT(checkedTrimmerItems(), ElementsAre(IDM_NO_TRIMMER));
    EXPECT_EQ(instantTrimOn, 0);
    EXPECT_EQ(progressiveTrimOn, 0);
}

TEST_F(ApplyAndRestartTest, FewerControllersLeaveTheStickListWithoutSelection)
{
    SettingsRecord stored = defaults();
    stored.deviceIndex = 1;
    store(stored);
    applyAndRestart(true);
    ASSERT_EQ(selectionOf(deviceCombo), 1);

    dinput->controllers.pop_back();  // the pedals are unplugged
    applyAndRestart(false);

    EXPECT_THAT(listEntries(deviceCombo), ElementsAre(L"Stick"));
    EXPECT_EQ(selectionOf(deviceCombo), CB_ERR);
    EXPECT_EQ(Settings.deviceIndex, 1) << "discovery keeps the stored index";
}

TEST_F(ApplyAndRestartTest, WithoutControllerTheWindowStillShowsTheSettings)
{
    dinput->controllers.clear();
    applyAndRestart(true);

    ASSERT_EQ(messageBoxes.size(), 1u);
    EXPECT_EQ(messageBoxes[0].text, L"No Joystick found.");
    EXPECT_TRUE(listEntries(deviceCombo).empty());
    EXPECT_THAT(editTexts(), ElementsAre(L"50", L"0", L"0", L"0", L"50", L"0"));
    EXPECT_TRUE(isChecked(swapAxesCheck));
    EXPECT_EQ(listEntries(reinitKeyCombo).size(), KeyNameTable.size());
}

TEST_F(ApplyAndRestartTest, RestartWhileTheForcesAreReleasedStartsTheFirstSet)
{
    applyAndRestart(true);
    forcesOn = 0;  // the hold button is down
    journal.clear();
    applyAndRestart(false);
    EXPECT_GE(firstOf("spring.Start(1,0)"), 0) << ::testing::PrintToString(journal);
    EXPECT_EQ(forcesOn, 0) << "the restart leaves the trimmer's state alone";
    EXPECT_EQ(trimX, 0);
}

TEST_F(ApplyAndRestartTest, ReleasingAfterARunLeavesNoReferenceHeld)
{
    applyAndRestart(true);
    applyAndRestart(false);
    releaseAndSave();
    EXPECT_TRUE(heldFakes().empty()) << ::testing::PrintToString(heldFakes());
}

} // namespace
