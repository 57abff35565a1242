// The key names offered for the restart hotkey.
#include "settings/key_names.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(KeyNameTable, HasTheRowsInTheirOrder)
{
    ASSERT_EQ(KeyNameTable.size(), 99u);
    // One row at each end of every run of the table, 1-based as listed.
    const struct {
        int row;
        const char* name;
        std::int32_t code;
    } rows[] = {
        {1, "Backspace", 8},      {10, "Escape", 27},          {11, "Space", 32},
        {25, "Delete", 46},       {26, "0", 48},               {35, "9", 57},
        {36, "A", 65},            {61, "Z", 90},               {62, "LeftWindowsKey", 91},
        {65, "Sleep", 95},        {66, "NumPad0", 96},         {75, "NumPad9", 105},
        {76, "Multiply", 106},    {78, "Seperator", 108},      {81, "Divide", 111},
        {82, "F1", 112},          {93, "F12", 123},            {94, "Numlock", 144},
        {95, "ScrollLock", 145},  {98, "LeftControl", 162},    {99, "RightContol", 163},
    };
    for (const auto& r : rows) {
        const KeyNameEntry& entry = KeyNameTable[static_cast<std::size_t>(r.row - 1)];
        EXPECT_EQ(entry.name, r.name) << "row " << r.row;
        EXPECT_EQ(entry.code, r.code) << "row " << r.row;
    }
}

TEST(KeyNameTable, CodesAreUniqueAndRising)
{
    std::set<std::int32_t> codes;
    for (std::size_t row = 0; row < KeyNameTable.size(); ++row) {
        EXPECT_TRUE(codes.insert(KeyNameTable[row].code).second) << KeyNameTable[row].name;
        if (row > 0) {
            EXPECT_GT(KeyNameTable[row].code, KeyNameTable[row - 1].code) << KeyNameTable[row].name;
        }
    }
}

TEST(KeyNameTable, FindsTheRowOfACode)
{
    EXPECT_EQ(KeyNameTable[static_cast<std::size_t>(findKeyNameRow(90))].name, "Z");
    EXPECT_EQ(KeyNameTable[static_cast<std::size_t>(findKeyNameRow(162))].name, "LeftControl");
    EXPECT_EQ(findKeyNameRow(8), 0);
    EXPECT_EQ(findKeyNameRow(163), 98);
    // Codes no row carries: the default "no key", a gap, out of range.
    for (std::int32_t code : {0, 47, 94, 164, -1})
        EXPECT_EQ(findKeyNameRow(code), -1) << code;
}

TEST(KeyNameTable, NamesBecomeUtf16UnitByUnit)
{
    EXPECT_EQ(keyNameText(KeyNameTable.back()), L"RightContol");
    EXPECT_EQ(keyNameText(KeyNameTable[25]), L"0");
}

} // namespace
