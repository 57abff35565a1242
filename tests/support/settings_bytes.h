// The bytes of "opt.dat" as a run with the default settings writes them.
#pragma once

#include <cstdint>
#include <vector>

inline const std::vector<std::uint8_t> defaultSettingsFile = {
    0x09, 0xB5, 0xA4, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0x32, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0x32, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0x01, 0x01, 0, 0,
};
