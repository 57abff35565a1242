// The one way a test builds "opt.dat": the bytes a run with the default settings writes, with some fields changed by
// byte offset (a 32-bit field, or one byte at 52 and 53).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

inline std::vector<std::uint8_t> settingsFileWith(std::initializer_list<std::pair<int, std::int32_t>> fields = {})
{
    std::vector<std::uint8_t> bytes = {
        0x09, 0xB5, 0xA4, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0x32, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0x32, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0x01, 0x01, 0, 0,
    };
    for (const auto& [offset, value] : fields)
        for (int i = 0; i < (offset >= 52 ? 1 : 4); ++i)
            bytes[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
    return bytes;
}
// Where the fields stand.
constexpr int deviceAt = 4, hatDeviceAt = 8, holdAt = 12, toggleAt = 16, centerAt = 20, springAt = 24, friction2At = 44,
              reinitKeyAt = 48, swapAt = 52, modeAt = 53;
