// The virtual stick's PID output reports (layout in hid/driver/kestra_vhid.c), gathered by effect block for assertions
// and listed for failure messages.
#pragma once

#include "vhid_client.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kvhid {

struct Condition {
    int offset;
    int strength[4];  // coefficient + and -, saturation + and -
};

// What a run of reports did to the effects, each named by its block.
struct Reports {
    // From Set Effect, which Wine sends when the effect first goes to the stick.
    std::map<int, int> types;
    std::set<int> springs;
    std::map<int, std::map<int, Condition>> conditions;  // the latest, by parameter block offset
    std::set<int> playing;  // the last operation was Start
    std::vector<int> stops;  // in order
    double startedMs = 0;  // from the first record to the last Start, on the driver's clock
};

inline Reports decode(const std::vector<OutputRecord>& records)
{
    Reports reports;
    for (const OutputRecord& r : records) {
        const auto at = [&](std::size_t i) { return i < r.bytes.size() ? int{r.bytes[i]} : 0; };
        const auto s16 = [&](std::size_t i) { return int{static_cast<std::int16_t>(at(i) | at(i + 1) << 8)}; };
        const int block = at(1);
        switch (at(0)) {
        case KVHID_REPORT_SET_EFFECT:
            reports.types[block] = at(2);
            if (at(2) == KVHID_ET_SPRING)
                reports.springs.insert(block);
            break;
        case KVHID_REPORT_SET_CONDITION:
            reports.conditions[block][at(2)] = {s16(3), {s16(5), s16(7), s16(9), s16(11)}};
            break;
        case KVHID_REPORT_EFFECT_OPERATION:
            reports.playing.erase(block);
            if (at(2) == KVHID_OP_START) {
                reports.playing.insert(block);
                reports.startedMs = r.ms - records.front().ms;
            } else if (at(2) == KVHID_OP_STOP)
                reports.stops.push_back(block);
            break;
        }
    }
    return reports;
}

// The records from the last one that `marks` on, that one first (its time is where they begin); none without it.
inline std::vector<OutputRecord> fromLast(const std::vector<OutputRecord>& records, bool (*marks)(const OutputRecord&))
{
    const auto mark = std::find_if(records.rbegin(), records.rend(), marks);
    return {mark == records.rend() ? records.end() : mark.base() - 1, records.end()};
}

// What the stick got since DirectInput last acquired it (and reset it).
inline std::vector<OutputRecord> sinceLastReset(const std::vector<OutputRecord>& records)
{
    return fromLast(records, [](const OutputRecord& r) {
        return r.bytes.size() > 1 && r.bytes[0] == KVHID_REPORT_DEVICE_CONTROL && r.bytes[1] == KVHID_DC_DEVICE_RESET;
    });
}

// What the stick got since it was last plugged in.
inline std::vector<OutputRecord> sincePluggedIn(const std::vector<OutputRecord>& records)
{
    return fromLast(records, [](const OutputRecord& r) { return r.ioctl == KVHID_RECORD_PLUGGED_IN; });
}

inline std::string describe(const std::vector<OutputRecord>& records)
{
    static const char* const names[] = {"(plugged in)", "Input", "SetEffect", "SetCondition", "EffectOperation",
                                        "DeviceControl", "DeviceGain", "BlockFree"};
    std::string all;
    for (const OutputRecord& r : records) {
        const int id = r.bytes.empty() ? 0 : r.bytes[0];  // a plug-in mark carries no report
        all += std::string("  ") + (r.ioctl == KVHID_IOCTL_SET_INPUT ? "Input set" : id < 8 ? names[id] : "?");
        for (std::size_t i = 1; i < r.bytes.size(); ++i)
            all += " " + std::to_string(r.bytes[i]);
        all += "\n";
    }
    return all;
}

} // namespace kvhid
