// Decoding of the virtual stick's PID output reports (layout in
// hid/driver/kestra_vhid.c), for assertions and readable failure messages.
#pragma once

#include "vhid_client.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kvhid {

inline int s16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return at + 1 < b.size() ? static_cast<std::int16_t>(b[at] | (b[at + 1] << 8)) : 0;
}
inline int u16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return at + 1 < b.size() ? static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)) : 0;
}
inline int u8(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return at < b.size() ? b[at] : 0;
}
inline int reportId(const OutputRecord& r)
{
    return u8(r.bytes, 0);
}

struct SetCondition {
    int block, parameterOffset, offset, positive, negative, positiveSaturation, negativeSaturation, deadBand;
};
inline SetCondition setCondition(const OutputRecord& r)
{
    const auto& b = r.bytes;
    return {u8(b, 1), u8(b, 2), s16(b, 3), s16(b, 5), s16(b, 7), u16(b, 9), u16(b, 11), u16(b, 13)};
}

struct EffectOperation {
    int block, operation, loopCount;
};
inline EffectOperation effectOperation(const OutputRecord& r)
{
    return {u8(r.bytes, 1), u8(r.bytes, 2), u8(r.bytes, 3)};
}

struct SetEffect {
    int block, type, duration, gain, triggerButton, enableBits;
};
inline SetEffect setEffect(const OutputRecord& r)
{
    const auto& b = r.bytes;
    return {u8(b, 1), u8(b, 2), u16(b, 3), u8(b, 11), u8(b, 12), u8(b, 13)};
}

inline std::string describe(const OutputRecord& r)
{
    static const char* const types[] = {"?", "spring", "damper", "friction"};
    static const char* const ops[] = {"?", "start", "start-solo", "stop"};
    static const char* const controls[] = {"?", "enable-actuators", "disable-actuators", "stop-all", "reset",
                                           "pause", "continue"};
    char text[200];
    switch (reportId(r)) {
    case KVHID_REPORT_SET_EFFECT: {
        const SetEffect e = setEffect(r);
        std::snprintf(text, sizeof(text), "SetEffect block %d type %s duration %d gain %d trigger %d enable %#x",
                      e.block, e.type >= 1 && e.type <= 3 ? types[e.type] : "?", e.duration, e.gain,
                      e.triggerButton, e.enableBits);
        break;
    }
    case KVHID_REPORT_SET_CONDITION: {
        const SetCondition c = setCondition(r);
        std::snprintf(text, sizeof(text),
                      "SetCondition block %d axis %d offset %d coeff +%d/-%d saturation +%d/-%d deadband %d",
                      c.block, c.parameterOffset, c.offset, c.positive, c.negative, c.positiveSaturation,
                      c.negativeSaturation, c.deadBand);
        break;
    }
    case KVHID_REPORT_EFFECT_OPERATION: {
        const EffectOperation o = effectOperation(r);
        std::snprintf(text, sizeof(text), "EffectOperation block %d %s loops %d", o.block,
                      o.operation >= 1 && o.operation <= 3 ? ops[o.operation] : "?", o.loopCount);
        break;
    }
    case KVHID_REPORT_DEVICE_CONTROL:
        std::snprintf(text, sizeof(text), "DeviceControl %s",
                      u8(r.bytes, 1) >= 1 && u8(r.bytes, 1) <= 6 ? controls[u8(r.bytes, 1)] : "?");
        break;
    case KVHID_REPORT_DEVICE_GAIN:
        std::snprintf(text, sizeof(text), "DeviceGain %d", u8(r.bytes, 1));
        break;
    case KVHID_REPORT_BLOCK_FREE:
        std::snprintf(text, sizeof(text), "BlockFree block %d", u8(r.bytes, 1));
        break;
    default:
        std::snprintf(text, sizeof(text), "report %d", reportId(r));
    }
    return text;
}

inline std::string describe(const std::vector<OutputRecord>& records)
{
    std::string all;
    for (const OutputRecord& r : records)
        all += "  " + describe(r) + "\n";
    return all;
}

} // namespace kvhid
