#include "sim/direct_input.h"

#include "sim/config.h"
#include "sim/device.h"
#include "sim/device_objects.h"
#include "sim/faults.h"

namespace {

// EnumDevices calls in this process; "vanish" rules count against it.
long long discoveries = 0;

bool attachedNow(int index)
{
    for (const VanishRule& rule : currentConfig().vanishes) {
        if (rule.device == index && discoveries >= rule.discovery)
            return false;
    }
    return true;
}

constexpr DWORD enumFlagsKnown = DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK | DIEDFL_INCLUDEALIASES |
                                 DIEDFL_INCLUDEPHANTOMS | DIEDFL_INCLUDEHIDDEN;

} // namespace

bool SimDirectInput::refused(CallLine& line, const char* failable, int device, HRESULT& hr)
{
    if (released) {
        line.text("error", "released");
        hr = E_POINTER;
        return true;
    }
    return failable && injectedFailure(failable, device, hr);
}

HRESULT SimDirectInput::unsupported(const char* method)
{
    CallLine line("dinput", method);
    HRESULT hr;
    if (refused(line, nullptr, -1, hr))
        return line.finish(hr);
    return line.finish(E_NOTIMPL);
}

HRESULT SimDirectInput::QueryInterface(REFIID iid, void** object)
{
    CallLine line("dinput", "QueryInterface");
    line.text("iid", interfaceName(iid));
    HRESULT hr;
    if (refused(line, nullptr, -1, hr))
        return line.finish(hr);
    if (!object)
        return line.finish(E_POINTER);
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDirectInput8W)) {
        *object = nullptr;
        return line.finish(E_NOINTERFACE);
    }
    *object = static_cast<IDirectInput8W*>(this);
    line.number("refs", ++references);
    return line.finish(S_OK);
}

ULONG SimDirectInput::AddRef()
{
    CallLine line("dinput", "AddRef");
    HRESULT hr;
    if (refused(line, nullptr, -1, hr)) {
        line.finish(hr);
        return 0;
    }
    line.number("refs", ++references);
    line.finish(S_OK);
    return static_cast<ULONG>(references);
}

ULONG SimDirectInput::Release()
{
    CallLine line("dinput", "Release");
    HRESULT hr;
    if (refused(line, nullptr, -1, hr)) {
        line.finish(hr);
        return 0;
    }
    line.number("refs", --references);
    line.finish(S_OK);
    // Devices made here keep working, as DirectInput's do: none refers back.
    if (references == 0) {
        released = true;
        if (freesReleased) {
            delete this;
            return 0;
        }
    }
    return static_cast<ULONG>(references);
}

HRESULT SimDirectInput::CreateDevice(REFGUID instance, LPDIRECTINPUTDEVICE8W* device, LPUNKNOWN outer)
{
    const std::vector<DeviceSetup>& devices = currentConfig().devices;
    int index = -1;
    for (int i = 0; i < static_cast<int>(devices.size()); ++i) {
        if (IsEqualGUID(instance, instanceGuid(i)))
            index = i;
    }
    CallLine line("dinput", "CreateDevice");
    line.text("dev", index >= 0 ? std::to_string(index) : "-");
    line.text("name", "\"" + (index >= 0 ? utf8(devices[static_cast<std::size_t>(index)].name) : "") + "\"");
    if (device)
        *device = nullptr;
    HRESULT hr;
    if (refused(line, "CreateDevice", index, hr))
        return line.finish(hr);
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
    CallLine line("dinput", "EnumDevices");
    line.number("class", deviceClass);
    line.hex("flags", flags);
    HRESULT hr;
    if (refused(line, "EnumDevices", -1, hr))
        return line.finish(hr);
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

HRESULT SimDirectInput::GetDeviceStatus(REFGUID instance)
{
    CallLine line("dinput", "GetDeviceStatus");
    HRESULT hr;
    if (refused(line, nullptr, -1, hr))
        return line.finish(hr);
    for (int i = 0; i < static_cast<int>(currentConfig().devices.size()); ++i) {
        if (IsEqualGUID(instance, instanceGuid(i)))
            return line.finish(attachedNow(i) ? DI_OK : DI_NOTATTACHED);
    }
    return line.finish(DIERR_DEVICENOTREG);
}

HRESULT SimDirectInput::RunControlPanel(HWND, DWORD)
{
    return unsupported("RunControlPanel");
}

HRESULT SimDirectInput::Initialize(HINSTANCE, DWORD)
{
    return unsupported("Initialize");
}

HRESULT SimDirectInput::FindDevice(REFGUID, LPCWSTR, LPGUID)
{
    return unsupported("FindDevice");
}

HRESULT SimDirectInput::EnumDevicesBySemantics(LPCWSTR, LPDIACTIONFORMATW, LPDIENUMDEVICESBYSEMANTICSCBW, LPVOID,
                                               DWORD)
{
    return unsupported("EnumDevicesBySemantics");
}

HRESULT SimDirectInput::ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSW, DWORD, LPVOID)
{
    return unsupported("ConfigureDevices");
}
