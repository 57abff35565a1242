// The virtual stick's PID output reports (layout in hid/driver/kestra_vhid.c),
// gathered by effect block for assertions and listed for failure messages.
#pragma once

#include "vhid_client.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kvhid {

struct Condition {
    int offset;
    int strength[4];  // coefficient + and -, saturation + and -
};

struct Effect {
    int type = 0;  // Wine sends Set Effect only when the effect first goes to the stick
    std::map<int, Condition> conditions;  // the latest, by parameter block offset
    bool started = false;  // its last operation was Start
    bool stopped = false;
};

inline std::map<int, Effect> effectsByBlock(const std::vector<OutputRecord>& records)
{
    std::map<int, Effect> blocks;
    for (const OutputRecord& r : records) {
        const auto at = [&](std::size_t i) { return i < r.bytes.size() ? int{r.bytes[i]} : 0; };
        const auto s16 = [&](std::size_t i) { return int{static_cast<std::int16_t>(at(i) | at(i + 1) << 8)}; };
        switch (at(0)) {
        case KVHID_REPORT_SET_EFFECT:
            blocks[at(1)].type = at(2);
            break;
        case KVHID_REPORT_SET_CONDITION:
            blocks[at(1)].conditions[at(2)] = {s16(3), {s16(5), s16(7), s16(9), s16(11)}};
            break;
        case KVHID_REPORT_EFFECT_OPERATION:
            blocks[at(1)].started = at(2) == KVHID_OP_START;
            blocks[at(1)].stopped |= at(2) == KVHID_OP_STOP;
            break;
        }
    }
    return blocks;
}

inline std::string describe(const std::vector<OutputRecord>& records)
{
    static const char* const names[] = {"?", "Input", "SetEffect", "SetCondition", "EffectOperation",
                                        "DeviceControl", "DeviceGain", "BlockFree"};
    std::string all;
    for (const OutputRecord& r : records) {
        all += std::string("  ") + (!r.bytes.empty() && r.bytes[0] < 8 ? names[r.bytes[0]] : "?");
        for (std::size_t i = 1; i < r.bytes.size(); ++i) {
            char hex[4];
            std::snprintf(hex, sizeof(hex), " %02x", r.bytes[i]);
            all += hex;
        }
        all += "\n";
    }
    return all;
}

} // namespace kvhid
