#include "sim/effect_parameters.h"

#include "sim/device_objects.h"

#include <string>

namespace {

constexpr DWORD directionFlags = DIEFF_CARTESIAN | DIEFF_POLAR | DIEFF_SPHERICAL;
constexpr DWORD objectFlags = DIEFF_OBJECTIDS | DIEFF_OBJECTOFFSETS;

template <class Value, class Field>
std::string listOf(const Value* values, DWORD count, Field field)
{
    std::string text;
    for (DWORD i = 0; i < count; ++i)
        text += (i ? "," : "") + std::to_string(field(values[i]));
    return text;
}

// What the caller passed, as far as it can be read safely.
void journalFields(const DIEFFECT& d, DWORD flags, CallLine& line)
{
    if (flags & DIEP_AXES) {
        line.number("axes", d.cAxes);
        if (d.rgdwAxes && d.cAxes <= maxAxes)
            line.text("axis", listOf(d.rgdwAxes, d.cAxes, [](DWORD v) { return v; }));
    }
    if ((flags & DIEP_DIRECTION) && d.rglDirection && d.cAxes <= maxAxes)
        line.text("dir", listOf(d.rglDirection, d.cAxes, [](LONG v) { return v; }));
    if (flags & DIEP_DURATION)
        line.number("duration", d.dwDuration);
    if (flags & DIEP_GAIN)
        line.number("gain", d.dwGain);
    if (flags & DIEP_TRIGGERBUTTON)
        line.number("trigger", d.dwTriggerButton);
    if (flags & DIEP_TYPESPECIFICPARAMS) {
        const DWORD records = d.cbTypeSpecificParams / sizeof(DICONDITION);
        line.number("records", records);
        const auto* c = static_cast<const DICONDITION*>(d.lpvTypeSpecificParams);
        if (c && records <= maxAxes && d.cbTypeSpecificParams % sizeof(DICONDITION) == 0) {
            line.text("offset", listOf(c, records, [](const DICONDITION& r) { return r.lOffset; }));
            line.text("pos", listOf(c, records, [](const DICONDITION& r) { return r.lPositiveCoefficient; }));
            line.text("neg", listOf(c, records, [](const DICONDITION& r) { return r.lNegativeCoefficient; }));
            line.text("possat", listOf(c, records, [](const DICONDITION& r) { return r.dwPositiveSaturation; }));
            line.text("negsat", listOf(c, records, [](const DICONDITION& r) { return r.dwNegativeSaturation; }));
            line.text("deadband", listOf(c, records, [](const DICONDITION& r) { return r.lDeadBand; }));
        }
    }
}

HRESULT refuse(CallLine& line, const char* what)
{
    line.text("error", what);
    return DIERR_INVALIDPARAM;
}

} // namespace

bool isComplete(const EffectParameters& parameters)
{
    return parameters.axisCount > 0 && !parameters.records.empty();
}

HRESULT applyParameters(const DeviceSetup& device, const DIEFFECT* description, DWORD flags,
                        EffectParameters& parameters, CallLine& line)
{
    if (!description) {
        line.text("error", "null");
        return E_POINTER;
    }
    const DIEFFECT& d = *description;
    if (d.dwSize != sizeof(DIEFFECT) && d.dwSize != sizeof(DIEFFECT_DX5))
        return refuse(line, "size");
    journalFields(d, flags, line);

    EffectParameters next = parameters;
    if (flags & DIEP_AXES) {
        // Axes are fixed once set, as DirectInput has them.
        if (parameters.axisCount != 0) {
            line.text("error", "axes-set");
            return DIERR_ALREADYINITIALIZED;
        }
        if (!(d.dwFlags & objectFlags) || !d.rgdwAxes || d.cAxes == 0 ||
            d.cAxes > static_cast<DWORD>(device.actuatorAxes))
            return refuse(line, "axes");
        next.axisCount = d.cAxes;
        for (DWORD i = 0; i < d.cAxes; ++i) {
            next.axes[i] = d.rgdwAxes[i];
            next.deviceAxes[i] = actuatorAxis(device, d.rgdwAxes[i], d.dwFlags);
            if (next.deviceAxes[i] < 0)
                return refuse(line, "axis");
        }
    }
    if (flags & DIEP_DIRECTION) {
        const DWORD kind = d.dwFlags & directionFlags;
        if (!kind || !d.rglDirection || d.cAxes < next.axisCount ||
            (kind == DIEFF_CARTESIAN && d.cAxes != next.axisCount) || (kind == DIEFF_POLAR && next.axisCount != 2))
            return refuse(line, "direction");
    }
    if (flags & DIEP_TYPESPECIFICPARAMS) {
        if (!d.lpvTypeSpecificParams) {
            line.text("error", "records");
            return E_POINTER;
        }
        // One record for every axis, or one per axis; nothing else.
        const DWORD records = d.cbTypeSpecificParams / sizeof(DICONDITION);
        if (d.cbTypeSpecificParams % sizeof(DICONDITION) != 0 || records == 0 || records > maxAxes ||
            (records != 1 && next.axisCount != 0 && records != next.axisCount))
            return refuse(line, "records");
        if (next.axisCount == 0) {
            // DirectInput drops condition records that come before the axes.
            line.text("ignored", "records");
        } else {
            const auto* c = static_cast<const DICONDITION*>(d.lpvTypeSpecificParams);
            next.records.assign(c, c + records);
        }
    }
    if ((flags & DIEP_ENVELOPE) && d.lpEnvelope && d.lpEnvelope->dwSize != sizeof(DIENVELOPE))
        return refuse(line, "envelope");
    if ((flags & DIEP_STARTDELAY) && d.dwSize != sizeof(DIEFFECT))
        return refuse(line, "startdelay");
    if ((flags & DIEP_TRIGGERBUTTON) && !(d.dwFlags & objectFlags))
        return refuse(line, "trigger");

    if (flags & DIEP_DURATION)
        next.duration = d.dwDuration;
    if (flags & DIEP_GAIN)
        next.gain = d.dwGain;
    if (flags & DIEP_TRIGGERBUTTON)
        next.triggerButton = d.dwTriggerButton;
    if (flags & DIEP_STARTDELAY)
        next.startDelay = d.dwStartDelay;
    parameters = next;
    return DI_OK;
}
