#include "sim/direct_input.h"

#include "sim/config.h"
#include "sim/device.h"
#include "sim/device_objects.h"
#include "sim/faults.h"
#include "sim/sim_files.h"

namespace {

// EnumDevices calls in this process; "vanish" rules count against it.
long long discoveries = 0;

bool attachedNow(int index)
{
    if (!pluggedIn(index))
        return false;
    for (const VanishRule& rule : currentConfig().vanishes) {
        if (rule.device == index && discoveries >= rule.discovery)
            return false;
    }
    return true;
}

constexpr DWORD enumFlagsKnown = DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK | DIEDFL_INCLUDEALIASES |
                                 DIEDFL_INCLUDEPHANTOMS | DIEDFL_INCLUDEHIDDEN;

} // namespace

SimDirectInput::SimDirectInput(bool freeWhenReleased)
    : SimObject(static_cast<IDirectInput8W*>(this), "dinput", -1, nullptr, freeWhenReleased)
{
}

void SimDirectInput::lastReleased()
{
    if (freesReleased)
        delete this;
}

HRESULT SimDirectInput::CreateDevice(REFGUID instance, LPDIRECTINPUTDEVICE8W* device, LPUNKNOWN outer)
{
    const std::vector<DeviceSetup>& devices = currentConfig().devices;
    int index = -1;
    for (int i = 0; i < static_cast<int>(devices.size()); ++i) {
        if (IsEqualGUID(instance, instanceGuid(i)))
            index = i;
    }
    CallLine line = callLine("CreateDevice");
    line.text("dev", index >= 0 ? std::to_string(index) : "-");
    line.text("name", "\"" + (index >= 0 ? utf8(devices[static_cast<std::size_t>(index)].name) : "") + "\"");
    if (device)
        *device = nullptr;
    if (const auto refused = refusal(line, index))
        return line.finish(*refused);
    if (!device)
        return line.finish(E_POINTER);
    if (outer)
        return line.finish(CLASS_E_NOAGGREGATION);
    if (index < 0 || !attachedNow(index))
        return line.finish(DIERR_DEVICENOTREG);
    *device = new SimDevice(index, devices[static_cast<std::size_t>(index)], freesReleased);
    return line.finish(DI_OK);
}

HRESULT SimDirectInput::EnumDevices(DWORD deviceClass, LPDIENUMDEVICESCALLBACKW callback, LPVOID context,
                                    DWORD flags)
{
    ++discoveries;
    CallLine line = callLine("EnumDevices");
    line.number("class", deviceClass);
    line.hex("flags", flags);
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (!callback || deviceClass > DI8DEVCLASS_GAMECTRL || (flags & ~enumFlagsKnown))
        return line.finish(DIERR_INVALIDPARAM);

    // Every simulated controller is a joystick: there is no mouse or keyboard.
    int reported = 0;
    const std::vector<DeviceSetup> devices = currentConfig().devices;
    const bool gameControllers = deviceClass == DI8DEVCLASS_ALL || deviceClass == DI8DEVCLASS_GAMECTRL;
    for (int i = 0; gameControllers && i < static_cast<int>(devices.size()); ++i) {
        const DeviceSetup& setup = devices[static_cast<std::size_t>(i)];
        if (!attachedNow(i) || ((flags & DIEDFL_FORCEFEEDBACK) && !setup.forceFeedback))
            continue;
        DIDEVICEINSTANCEW instance;
        describeInstance(i, setup, instance);
        ++reported;
        if (callback(&instance, context) == DIENUM_STOP)
            break;
    }
    line.number("devices", reported);
    return line.finish(DI_OK);
}

void forgetDiscoveries()
{
    discoveries = 0;
}

HRESULT createSimDirectInput(DWORD version, REFIID iid, LPVOID* out, LPUNKNOWN outer)
{
    resetCallCounts();
    CallLine line("", "DirectInput8Create");
    line.hex("version", version);
    line.text("iid", interfaceName(iid));
    if (out)
        *out = nullptr;
    HRESULT hr;
    if (injectedFailure("DirectInput8Create", -1, hr))
        return line.finish(hr);
    if (!out)
        return line.finish(E_POINTER);
    if (outer)
        return line.finish(CLASS_E_NOAGGREGATION);
    if (version < 0x0800)
        return line.finish(DIERR_OLDDIRECTINPUTVERSION);
    if (version > 0x0800)
        return line.finish(DIERR_BETADIRECTINPUTVERSION);
    // Only the wide interface is simulated; Kestra is a UNICODE program.
    if (!IsEqualIID(iid, IID_IDirectInput8W) && !IsEqualIID(iid, IID_IUnknown))
        return line.finish(E_NOINTERFACE);
    *out = static_cast<IDirectInput8W*>(new SimDirectInput(freeReleasedObjects()));
    return line.finish(DI_OK);
}
