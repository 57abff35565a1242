// The keys offered for the restart hotkey, with their virtual-key codes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct KeyNameEntry {
    std::string name;
    std::int32_t code;  // Windows virtual-key code, unique in the table
};

// The 99 rows in the order the hotkey list shows them; built before the
// entry point runs and never changed.
extern const std::vector<KeyNameEntry> KeyNameTable;

// The row that carries `code`, or -1 when no row does.
int findKeyNameRow(std::int32_t code);

// A row's name as UTF-16 text for the window.
std::wstring keyNameText(const KeyNameEntry& entry);
