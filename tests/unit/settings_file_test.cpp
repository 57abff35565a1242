// "opt.dat" and the conversions between the percent and the live settings.
#include "settings/settings_file.h"
#include "tests/support/kestra_test.h"
#include "tests/support/settings_bytes.h"
#include "tests/support/test_folder.h"

#include <gmock/gmock.h>

#include <climits>
#include <random>
#include <string>
#include <thread>
#include <vector>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Each test runs in a fresh working folder of its own.
class SettingsFileTest : public KestraTest {
protected:
    std::vector<std::wstring> filesInFolder() const { return folder.names(); }

    void writeFile(const Bytes& bytes) const { ASSERT_TRUE(folder.write(L"opt.dat", bytes)); }

    Bytes readFile() const { return folder.read(L"opt.dat"); }

    static Bytes fileOf(const SettingsRecord& record)
    {
        std::uint8_t bytes[settingsFileSize];
        encodeSettingsFile(record, bytes);
        return Bytes(bytes, bytes + settingsFileSize);
    }

    // A record as the defaults would be stored, gains in percent.
    static SettingsRecord storedDefaults()
    {
        SettingsRecord record;
        captureSettingsRecord(record);
        return record;
    }

    WorkingFolder folder;
};

TEST_F(SettingsFileTest, DefaultSettingsAreWrittenAsTheDocumentedBytes)
{
    loadSettings();  // no file yet
    saveSettings();
    EXPECT_THAT(readFile(), ElementsAreArray(defaultSettingsFile));
    EXPECT_THAT(filesInFolder(), ElementsAre(L"opt.dat"));
}

TEST_F(SettingsFileTest, EachFieldHasItsOwnOffset)
{
    SettingsRecord record;
    record.deviceIndex = 0x01020304;
    record.povDeviceIndex = 0x05060708;
    record.holdButton = 0x090A0B0C;
    record.toggleButton = 0x0D0E0F10;
    record.centerButton = 0x11121314;
    record.springGain = 0x15161718;
    record.damperGain = 0x191A1B1C;
    record.frictionGain = 0x1D1E1F20;
    record.springGain2 = 0x21222324;
    record.damperGain2 = 0x25262728;
    record.frictionGain2 = 0x292A2B2C;
    record.reinitKey = -2;
    record.swapAxes = 0x31;
    record.trimmerMode = 0x32;
    const Bytes bytes = fileOf(record);
    const Bytes expected = {
        0x09, 0xB5, 0xA4, 0x08, 0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06, 0x05, 0x0C, 0x0B, 0x0A, 0x09,
        0x10, 0x0F, 0x0E, 0x0D, 0x14, 0x13, 0x12, 0x11, 0x18, 0x17, 0x16, 0x15, 0x1C, 0x1B, 0x1A, 0x19,
        0x20, 0x1F, 0x1E, 0x1D, 0x24, 0x23, 0x22, 0x21, 0x28, 0x27, 0x26, 0x25, 0x2C, 0x2B, 0x2A, 0x29,
        0xFE, 0xFF, 0xFF, 0xFF, 0x31, 0x32, 0x00, 0x00,
    };
    EXPECT_THAT(bytes, ElementsAreArray(expected));

    SettingsRecord decoded{};
    ASSERT_TRUE(decodeSettingsFile(bytes.data(), bytes.size(), decoded));
    EXPECT_EQ(fileOf(decoded), bytes);
}

TEST_F(SettingsFileTest, SpringStrengthSurvivesTheFileAsWholePercent)
{
    loadSettings();
    uiSettings = storedDefaults();
    uiSettings.springGain = 37;
    applySettingsRecord(uiSettings);
    EXPECT_EQ(Settings.springGain, 3700);
    saveSettings();

    const Bytes bytes = readFile();
    ASSERT_EQ(bytes.size(), settingsFileSize);
    EXPECT_THAT(Bytes(bytes.begin() + 24, bytes.begin() + 28), ElementsAre(37, 0, 0, 0));

    Settings.springGain = 0;
    loadSettings();
    EXPECT_EQ(Settings.springGain, 3700);
}

TEST_F(SettingsFileTest, CaptureTruncatesGainsTowardZero)
{
    const struct {
        std::int32_t units;
        std::int32_t percent;
    } cases[] = {{10000, 100}, {5000, 50}, {3799, 37}, {99, 0}, {-250, -2}, {-99, 0}, {INT_MAX, 21474836}};
    for (const auto& c : cases) {
        Settings.frictionGain2 = c.units;
        SettingsRecord record;
        captureSettingsRecord(record);
        EXPECT_EQ(record.frictionGain2, c.percent) << "gain " << c.units;
    }
}

TEST_F(SettingsFileTest, ApplyGuardsEveryIndex)
{
    const struct {
        const char* name;
        std::int32_t device, pov, hold, toggle, centre;  // in the record
        std::int32_t wantDevice, wantPov, wantHold, wantToggle, wantCentre;
    } cases[] = {
        // Settings start at device 1, pov 1, buttons 4, 5, 6; two devices.
        {"all valid", 0, 0, 1, 2, 3, 0, 0, 1, 2, 3},
        {"device index equal to the count", 2, 0, 7, 8, 9, 1, 1, 7, 8, 9},
        {"no device selected", -1, 0, 7, 8, 9, 1, 1, 7, 8, 9},
        {"pov index out of range", 0, 2, 7, 8, 9, 0, 1, 7, 8, 9},
        {"pov index negative", 0, -1, 7, 8, 9, 0, 1, 7, 8, 9},
        {"hold button 32", 0, 0, 32, 8, 9, 0, 0, 4, 5, 6},
        {"no hold button selected", 0, 0, -1, 8, 9, 0, 0, 4, 5, 6},
        {"toggle button out of range", 0, 0, 7, 32, 9, 0, 0, 7, 5, 9},
        {"centre button out of range", 0, 0, 7, 8, -1, 0, 0, 7, 8, 6},
        {"last valid button", 0, 0, 31, 31, 31, 0, 0, 31, 31, 31},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        deviceCount = 2;
        Settings.deviceIndex = Settings.povDeviceIndex = 1;
        Settings.holdButton = 4;
        Settings.toggleButton = 5;
        Settings.centerButton = 6;
        SettingsRecord record = storedDefaults();
        record.deviceIndex = c.device;
        record.povDeviceIndex = c.pov;
        record.holdButton = c.hold;
        record.toggleButton = c.toggle;
        record.centerButton = c.centre;
        record.springGain = 42;
        applySettingsRecord(record);
        EXPECT_EQ(Settings.deviceIndex, c.wantDevice);
        EXPECT_EQ(Settings.povDeviceIndex, c.wantPov);
        EXPECT_EQ(Settings.holdButton, c.wantHold);
        EXPECT_EQ(Settings.toggleButton, c.wantToggle);
        EXPECT_EQ(Settings.centerButton, c.wantCentre);
        EXPECT_EQ(Settings.springGain, 4200) << "the rest of the record is applied";
    }
}

TEST_F(SettingsFileTest, WithoutDevicesTheDeviceIndicesNeverChange)
{
    Settings.deviceIndex = 3;
    SettingsRecord record = storedDefaults();
    record.deviceIndex = 0;
    record.povDeviceIndex = 0;
    applySettingsRecord(record);
    EXPECT_EQ(Settings.deviceIndex, 3);
    EXPECT_EQ(Settings.povDeviceIndex, 0);
}

TEST_F(SettingsFileTest, ApplyTakesValuesAsTheyAreAndRefreshesTheEffects)
{
    installEffects();
    SettingsRecord record = storedDefaults();
    record.damperGain = 150;  // no range check
    record.frictionGain = INT_MAX;  // too large for the units: held at the limit
    record.frictionGain2 = INT_MIN;
    record.reinitKey = 47;
    record.swapAxes = 0;
    record.trimmerMode = 7;
    applySettingsRecord(record);
    EXPECT_EQ(Settings.damperGain, 15000);
    EXPECT_EQ(Settings.frictionGain, INT_MAX);
    EXPECT_EQ(Settings.frictionGain2, INT_MIN);
    EXPECT_EQ(Settings.reinitKey, 47);
    EXPECT_EQ(Settings.swapAxes, 0);
    EXPECT_EQ(Settings.trimmerMode, 7);
    ASSERT_FALSE(fakeOf(damperEffect)->parameters.empty());
    // Settings keep the stored value; DirectInput gets no more than 10000.
    EXPECT_EQ(fakeOf(damperEffect)->parameters.back().conditions.at(0).lPositiveCoefficient, 10000);
}

TEST_F(SettingsFileTest, FileWithAnOutOfRangeDeviceAppliesTheRest)
{
    deviceCount = 2;
    Settings.deviceIndex = 1;
    Settings.povDeviceIndex = 0;
    SettingsRecord record = storedDefaults();
    record.deviceIndex = 3;
    record.povDeviceIndex = 1;
    record.holdButton = 40;
    record.toggleButton = 2;
    record.springGain = 12;
    writeFile(fileOf(record));
    loadSettings();
    EXPECT_EQ(Settings.deviceIndex, 1);
    EXPECT_EQ(Settings.povDeviceIndex, 0);
    EXPECT_EQ(Settings.holdButton, 0);
    EXPECT_EQ(Settings.toggleButton, 0);
    EXPECT_EQ(Settings.springGain, 1200);
}

TEST_F(SettingsFileTest, FilesThatAreNotWholeSettingsFilesAreIgnored)
{
    SettingsRecord record = storedDefaults();
    record.springGain = 99;
    const Bytes whole = fileOf(record);
    Bytes wrongOrder = whole;
    wrongOrder[0] = 0x08;
    wrongOrder[1] = 0xA4;
    wrongOrder[2] = 0xB5;
    wrongOrder[3] = 0x09;
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"magic in the wrong byte order", wrongOrder},
        {"one byte short", Bytes(whole.begin(), whole.end() - 1)},
        {"magic only", Bytes(whole.begin(), whole.begin() + 4)},
        {"three bytes", Bytes(whole.begin(), whole.begin() + 3)},
        {"empty", Bytes()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(c.bytes);
        loadSettings();
        EXPECT_EQ(Settings.springGain, 5000);
        EXPECT_EQ(readFile(), c.bytes) << "loading leaves the file as it is";
    }
}

TEST_F(SettingsFileTest, LongerFileIsReadForItsFirst56Bytes)
{
    SettingsRecord record = storedDefaults();
    record.springGain = 64;
    Bytes bytes = fileOf(record);
    bytes.resize(90, 0xEE);
    writeFile(bytes);
    loadSettings();
    EXPECT_EQ(Settings.springGain, 6400);
}

TEST_F(SettingsFileTest, RunThatNeverReadSettingsWritesThemWhenNoneAreStored)
{
    // Discovery stopped before reading (no stick): nothing stored to lose.
    Settings.springGain = 1200;
    saveSettings();
    ASSERT_EQ(readFile().size(), settingsFileSize);
    EXPECT_EQ(readFile()[24], 12);
    Settings.springGain = 1300;
    saveSettings();
    EXPECT_EQ(readFile()[24], 13);
}

TEST_F(SettingsFileTest, StoredSettingsSurviveARunThatNeverReadThem)
{
    SettingsRecord record = storedDefaults();
    record.springGain = 77;
    const Bytes stored = fileOf(record);
    writeFile(stored);

    // Discovery stopped before reading the file (no force-feedback stick).
    saveSettings();
    EXPECT_EQ(readFile(), stored);

    // The file was held by another program when discovery tried to read it.
    const HANDLE holder = CreateFileW(L"opt.dat", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    loadSettings();
    CloseHandle(holder);
    saveSettings();
    EXPECT_EQ(readFile(), stored);
    EXPECT_THAT(filesInFolder(), ElementsAre(L"opt.dat"));
}

TEST_F(SettingsFileTest, ReadOnlyFileIsNeitherChangedNorForgotten)
{
    SettingsRecord record = storedDefaults();
    record.springGain = 21;
    const Bytes stored = fileOf(record);
    writeFile(stored);
    ASSERT_TRUE(SetFileAttributesW(L"opt.dat", FILE_ATTRIBUTE_READONLY));

    loadSettings();
    EXPECT_EQ(Settings.springGain, 2100);
    Settings.springGain = 9000;
    saveSettings();
    EXPECT_EQ(readFile(), stored);
    EXPECT_THAT(filesInFolder(), ElementsAre(L"opt.dat"));
    // A restart reads the read-only file back.
    loadSettings();
    EXPECT_EQ(Settings.springGain, 2100);
}

TEST_F(SettingsFileTest, FileHeldOpenElsewhereIsReplacedOnlyWhenReleasedSoon)
{
    loadSettings();
    const Bytes stored = defaultSettingsFile;
    writeFile(stored);
    Settings.springGain = 1000;
    // Held through the whole save: it gives up.
    for (DWORD sharing : {DWORD{0}, DWORD{FILE_SHARE_READ}}) {
        SCOPED_TRACE(sharing);
        const HANDLE holder = CreateFileW(L"opt.dat", GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        saveSettings();
        CloseHandle(holder);
        EXPECT_EQ(readFile(), stored);
        EXPECT_THAT(filesInFolder(), ElementsAre(L"opt.dat"));
    }
    // Let go a moment after the save begins, as an indexer or virus scanner does.
    const HANDLE holder = CreateFileW(L"opt.dat", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::thread release([holder] { Sleep(150); CloseHandle(holder); });
    saveSettings();
    release.join();
    EXPECT_EQ(readFile().at(24), 10);
    EXPECT_THAT(filesInFolder(), ElementsAre(L"opt.dat"));
}

TEST_F(SettingsFileTest, SettingsFileNameTakenByAFolderIsLeftAlone)
{
    ASSERT_TRUE(CreateDirectoryW(L"opt.dat", nullptr));
    loadSettings();
    saveSettings();
    EXPECT_THAT(filesInFolder(), ElementsAre(L"opt.dat"));
    EXPECT_NE(GetFileAttributesW(L"opt.dat") & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(SettingsFileTest, SaveReplacesAnExistingFileWithoutLeftovers)
{
    writeFile(Bytes(56, 0xAB));
    // What a save that crashed before its move left beside it.
    ASSERT_TRUE(folder.write(L"opt.dat.tmp", Bytes(9, 0xCD)));
    loadSettings();
    saveSettings();
    EXPECT_THAT(readFile(), ElementsAreArray(defaultSettingsFile));
    EXPECT_THAT(filesInFolder(), ElementsAre(L"opt.dat"));
}

TEST_F(SettingsFileTest, RandomFilesNeverCrashAndLeaveEveryIndexInRange)
{
    const unsigned seed = 20261206;
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 80);
    const std::uint8_t magic[4] = {0x09, 0xB5, 0xA4, 0x08};
    int applied = 0;
    for (int round = 0; round < 1500; ++round) {
        Bytes bytes(static_cast<std::size_t>(length(random)));
        for (std::uint8_t& b : bytes)
            b = static_cast<std::uint8_t>(byte(random));
        if (round % 2 == 0) {
            for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i)
                bytes[i] = magic[i];
            // Small values now and then, so that some indices are valid.
            for (std::size_t at = 4; at + 4 <= bytes.size() && at < 24; at += 4) {
                if (byte(random) < 128) {
                    bytes[at] = static_cast<std::uint8_t>(byte(random) % 40);
                    bytes[at + 1] = bytes[at + 2] = bytes[at + 3] = 0;
                }
            }
        }
        deviceCount = 3;
        const std::int32_t springBefore = Settings.springGain;
        writeFile(bytes);
        loadSettings();

        SCOPED_TRACE(testing::Message() << "seed " << seed << ", round " << round << ", " << bytes.size() << " bytes");
        ASSERT_TRUE(isDeviceIndex(Settings.deviceIndex));
        ASSERT_TRUE(isDeviceIndex(Settings.povDeviceIndex));
        ASSERT_TRUE(isButtonIndex(Settings.holdButton));
        ASSERT_TRUE(isButtonIndex(Settings.toggleButton));
        ASSERT_TRUE(isButtonIndex(Settings.centerButton));
        if (bytes.size() < settingsFileSize || round % 2 == 1)
            ASSERT_EQ(Settings.springGain, springBefore) << "nothing of this file may be applied";
        else
            ++applied;
    }
    EXPECT_GT(applied, 100);
}

} // namespace
