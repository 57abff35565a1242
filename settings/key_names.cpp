#include "settings/key_names.h"

namespace {

void addRange(std::vector<KeyNameEntry>& table, const std::string& prefix, char first, char last, std::int32_t code)
{
    for (char c = first; c <= last; ++c)
        table.push_back({prefix + c, code++});
}

std::vector<KeyNameEntry> buildKeyNameTable()
{
    // The hotkey list's own texts, each spelled exactly as it is shown.
    std::vector<KeyNameEntry> table = {
        {"Backspace", 8}, {"Tab", 9},       {"Clear", 12},       {"Enter", 13},      {"Shift", 16},
        {"Control", 17},  {"Alt", 18},      {"Pause", 19},       {"CapsLock", 20},   {"Escape", 27},
        {"Space", 32},    {"PageUp", 33},   {"PageDown", 34},    {"End", 35},        {"Home", 36},
        {"Left", 37},     {"Up", 38},       {"Right", 39},       {"Down", 40},       {"Select", 41},
        {"Print", 42},    {"Execute", 43},  {"PrintScreen", 44}, {"Insert", 45},     {"Delete", 46},
    };
    addRange(table, "", '0', '9', 48);
    addRange(table, "", 'A', 'Z', 65);
    table.insert(table.end(), {{"LeftWindowsKey", 91}, {"RightWindowsKey", 92}, {"ApplicationsKey", 93},
                               {"Sleep", 95}});
    addRange(table, "NumPad", '0', '9', 96);
    table.insert(table.end(), {{"Multiply", 106}, {"Add", 107}, {"Seperator", 108}, {"Subtract", 109},
                               {"Decimal", 110}, {"Divide", 111}});
    for (int f = 1; f <= 12; ++f)
        table.push_back({"F" + std::to_string(f), 111 + f});
    table.insert(table.end(), {{"Numlock", 144}, {"ScrollLock", 145}, {"LeftShift", 160}, {"RightShift", 161},
                               {"LeftControl", 162}, {"RightContol", 163}});
    return table;
}

} // namespace

const std::vector<KeyNameEntry> KeyNameTable = buildKeyNameTable();

int findKeyNameRow(std::int32_t code)
{
    for (std::size_t row = 0; row < KeyNameTable.size(); ++row) {
        if (KeyNameTable[row].code == code)
            return static_cast<int>(row);
    }
    return -1;
}

std::wstring keyNameText(const KeyNameEntry& entry)
{
    // Plain ASCII: each character becomes one UTF-16 unit of the same value.
    return std::wstring(entry.name.begin(), entry.name.end());
}
