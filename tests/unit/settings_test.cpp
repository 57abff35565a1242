// "opt.dat" and the conversions between percent and the live settings.
#include "settings/key_names.h"
#include "settings/settings_file.h"
#include "tests/support/kestra_fixture.h"
#include "tests/support/settings_bytes.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <climits>
#include <thread>

using ::testing::ElementsAre;

namespace {

using Bytes = std::vector<std::uint8_t>;

class SettingsFileTest : public KestraFixture {
protected:
    Bytes stored() const { return folder.read(L"opt.dat"); }
    void store(const Bytes& bytes) const { ASSERT_TRUE(folder.write(L"opt.dat", bytes)); }
};

// With no file at all, a run that never read one writes it: the settings the program starts with. Each field has its
// place, little-endian, and decoding gives the record back.
TEST_F(SettingsFileTest, EachFieldHasItsPlace)
{
    saveSettings();
    EXPECT_EQ(stored(), settingsFileWith());

    const SettingsRecord record = {{0x01020304, 0x05060708, 0x090A0B0C, 0x0D0E0F10, 0x11121314, 0x15161718,
                                    0x191A1B1C, 0x1D1E1F20, 0x21222324, 0x25262728, 0x292A2B2C, -2, 0x31, 0x32}};
    const Bytes bytes = settingsFileOf(record);
    EXPECT_THAT(bytes, ::testing::ElementsAreArray({
        0x09, 0xB5, 0xA4, 0x08, 0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06, 0x05, 0x0C, 0x0B, 0x0A, 0x09,
        0x10, 0x0F, 0x0E, 0x0D, 0x14, 0x13, 0x12, 0x11, 0x18, 0x17, 0x16, 0x15, 0x1C, 0x1B, 0x1A, 0x19,
        0x20, 0x1F, 0x1E, 0x1D, 0x24, 0x23, 0x22, 0x21, 0x28, 0x27, 0x26, 0x25, 0x2C, 0x2B, 0x2A, 0x29,
        0xFE, 0xFF, 0xFF, 0xFF, 0x31, 0x32, 0x00, 0x00}));
    SettingsRecord decoded{};
    ASSERT_TRUE(decodeSettingsFile(bytes.data(), bytes.size(), decoded));
    EXPECT_EQ(settingsFileOf(decoded), bytes);
}

// Only a whole file that starts with the number is taken in; a longer one for its first 56 bytes. Reading never changes
// the file.
TEST_F(SettingsFileTest, OnlyWholeSettingsFilesAreTakenIn)
{
    const Bytes whole = settingsFileWith({{springAt, 99}});
    Bytes swapped = whole, longer = whole;
    std::reverse(swapped.begin(), swapped.begin() + 4);
    longer.resize(90, 0xEE);
    const std::pair<Bytes, std::int32_t> cases[] = {  // the bytes; the spring then
        {swapped, 5000}, {Bytes(whole.begin(), whole.end() - 1), 5000}, {Bytes(whole.begin(), whole.begin() + 4), 5000},
        {Bytes(), 5000}, {longer, 9900}};
    for (const auto& [bytes, spring] : cases) {
        store(bytes);
        loadSettings();
        EXPECT_EQ(Settings.springGain, spring) << bytes.size() << " bytes";
        EXPECT_EQ(stored(), bytes);
    }
}

// A record is taken as it stands, strengths times 100 and a product beyond 32 bits held at the nearest end, but for its
// indices: the first of each group decides for the group, the stick's for the hat device's, Hold's for Toggle and
// Center, and an index that does not fit is left out. Captured, strengths are divided by 100 toward zero.
TEST_F(SettingsFileTest, RecordsConvertAndIndicesThatDoNotFitAreLeftOut)
{
    // Given: device, hat device, hold, toggle, centre; wanted, from device 1, 1 and buttons 4, 5, 6, with two devices.
    const struct { std::int32_t given[5], wanted[5]; } cases[] = {
        {{0, 0, 31, 31, 31}, {0, 0, 31, 31, 31}}, {{2, 0, 7, 8, 9}, {1, 1, 7, 8, 9}},
        {{0, -1, 7, 8, 9}, {0, 1, 7, 8, 9}},      {{0, 0, 32, 8, 9}, {0, 0, 4, 5, 6}},
        {{0, 0, 7, 32, 9}, {0, 0, 7, 5, 9}},      {{0, 0, 7, 8, -1}, {0, 0, 7, 8, 6}}};
    std::int32_t SettingsFields::*const indices[5] = {&SettingsFields::deviceIndex, &SettingsFields::povDeviceIndex,
                                                      &SettingsFields::holdButton, &SettingsFields::toggleButton,
                                                      &SettingsFields::centerButton};
    SettingsRecord record = {{0, 0, 0, 0, 0, 42, 150, INT_MAX, INT_MIN, 0, 0, 47, 0, 7}};
    deviceCount = 2;
    for (const auto& c : cases) {
        Settings = {};
        for (int i = 0; i < 5; ++i) {
            Settings.*indices[i] = i < 2 ? 1 : i + 2;
            record.*indices[i] = c.given[i];
        }
        applySettingsRecord(record);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(Settings.*indices[i], c.wanted[i]) << "case " << &c - cases << ", index " << i;
        const std::int32_t taken[] = {Settings.springGain, Settings.damperGain, Settings.frictionGain,
                                      Settings.springGain2, Settings.reinitKey, Settings.trimmerMode};
        EXPECT_THAT(taken, ElementsAre(4200, 15000, INT_MAX, INT_MIN, 47, 7)) << "case " << &c - cases;
    }
    for (auto [units, percent] : {std::pair{3799, 37}, {-250, -2}, {-99, 0}, {INT_MAX, 21474836}}) {
        Settings.damperGain2 = units;
        captureSettingsRecord(record);
        EXPECT_EQ(record.damperGain2, percent) << units;
    }
}

// A run replaces "opt.dat" only once it has read it; a read-only file, or a folder of that name, is never changed, and
// what it could not take is not read over at the next load (a restart's).
TEST_F(SettingsFileTest, StoredSettingsAreNeverLost)
{
    const Bytes mine = settingsFileWith({{springAt, 77}});
    store(mine);
    const HANDLE holder = CreateFileW(L"opt.dat", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    loadSettings();  // held by another program when discovery came to read it
    CloseHandle(holder);
    Settings.springGain = 9000;
    saveSettings();
    EXPECT_EQ(stored(), mine);

    ASSERT_TRUE(SetFileAttributesW(L"opt.dat", FILE_ATTRIBUTE_READONLY));
    loadSettings();
    EXPECT_EQ(Settings.springGain, 7700);
    Settings.springGain = 8800;
    saveSettings();
    EXPECT_EQ(stored(), mine);
    loadSettings();
    EXPECT_EQ(Settings.springGain, 8800) << "the file lacks it";
    SetFileAttributesW(L"opt.dat", FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(L"opt.dat");

    ASSERT_TRUE(CreateDirectoryW(L"opt.dat", nullptr) && folder.write(L"opt.dat.tmp", Bytes(9, 0xCD)));
    saveSettings();  // skipped at once: not even the temporary file a crashed save left is touched
    EXPECT_EQ(folder.read(L"opt.dat.tmp"), Bytes(9, 0xCD));
}

// The new bytes go to "opt.dat.tmp" and take the old file's place in one step: a temporary file a crashed save left is
// replaced, and a file another program holds for a moment is waited for, about half a second at most.
TEST_F(SettingsFileTest, SaveReplacesTheFileInOneStepAndOutwaitsAShortHold)
{
    store(Bytes(56, 0xAB));
    ASSERT_TRUE(folder.write(L"opt.dat.tmp", Bytes(9, 0xCD)));
    loadSettings();
    saveSettings();
    EXPECT_EQ(stored(), settingsFileWith());

    Settings.springGain = 1000;
    HANDLE holder = CreateFileW(L"opt.dat", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const ULONGLONG began = GetTickCount64();
    saveSettings();  // held throughout: it gives up
    const ULONGLONG tookMs = GetTickCount64() - began;
    CloseHandle(holder);
    EXPECT_GE(tookMs, 400u);
    EXPECT_LT(tookMs, 2000u);  // half a second, on a busy machine
    EXPECT_EQ(stored(), settingsFileWith());
    EXPECT_THAT(folder.names(), ElementsAre(L"opt.dat"));

    holder = CreateFileW(L"opt.dat", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    std::thread release([holder] { Sleep(150); CloseHandle(holder); });
    saveSettings();
    release.join();
    EXPECT_EQ(stored(), settingsFileWith({{springAt, 10}}));
}

// Rows of the hotkey list carry Windows' own key codes.
TEST(KeyNames, NamesCarryWindowsKeyCodes)
{
    const std::pair<const char*, int> keys[] = {{"Backspace", VK_BACK}, {"Delete", VK_DELETE}, {"0", '0'}, {"Z", 'Z'},
        {"LeftWindowsKey", VK_LWIN}, {"NumPad0", VK_NUMPAD0}, {"Divide", VK_DIVIDE}, {"F1", VK_F1}, {"F5", VK_F5},
        {"F12", VK_F12}, {"ScrollLock", VK_SCROLL}, {"LeftControl", VK_LCONTROL}, {"RightContol", VK_RCONTROL}};
    for (const auto& [name, code] : keys) {
        auto row = std::find_if(KeyNameTable.begin(), KeyNameTable.end(), [&](auto& k) { return k.name == name; });
        EXPECT_EQ(row == KeyNameTable.end() ? -1 : row->code, code) << name;  // -1: no such row
    }
}

} // namespace
