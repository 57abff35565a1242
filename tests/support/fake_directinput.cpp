#include "tests/support/fake_directinput.h"

#include <cstdio>

std::vector<std::string> journal;
int overReleases = 0;

namespace {

std::vector<std::unique_ptr<FakeDevice>> liveDevices;
std::vector<std::unique_ptr<FakeEffect>> liveEffects;

void note(const std::string& who, const std::string& what)
{
    journal.push_back(who + "." + what);
}

ULONG releaseReference(LONG& references)
{
    if (references <= 0) {
        ++overReleases;
        return 0;
    }
    return static_cast<ULONG>(--references);
}

RecordedEffect recordEffect(const DIEFFECT* effect, DWORD flags)
{
    RecordedEffect r;
    r.flags = flags;
    if (!effect)
        return r;
    r.header = *effect;
    for (DWORD i = 0; i < effect->cAxes; ++i) {
        if (effect->rgdwAxes)
            r.axes.push_back(effect->rgdwAxes[i]);
        if (effect->rglDirection)
            r.directions.push_back(effect->rglDirection[i]);
    }
    const auto* conditions = static_cast<const DICONDITION*>(effect->lpvTypeSpecificParams);
    if (conditions) {
        for (DWORD i = 0; i < effect->cbTypeSpecificParams / sizeof(DICONDITION); ++i)
            r.conditions.push_back(conditions[i]);
    }
    return r;
}

std::string hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(value));
    return text;
}

} // namespace

HRESULT ScriptedResult::take()
{
    if (next.empty())
        return otherwise;
    const HRESULT hr = next.front();
    next.pop_front();
    return hr;
}

std::string effectTypeName(const GUID& type)
{
    if (IsEqualGUID(type, GUID_Spring))
        return "spring";
    if (IsEqualGUID(type, GUID_Damper))
        return "damper";
    if (IsEqualGUID(type, GUID_Friction))
        return "friction";
    return "other";
}

FakeDevice* makeFakeDevice(const std::string& label)
{
    liveDevices.push_back(std::make_unique<FakeDevice>(label));
    return liveDevices.back().get();
}

FakeEffect* makeFakeEffect(const std::string& label, const GUID& type)
{
    liveEffects.push_back(std::make_unique<FakeEffect>(label, type));
    return liveEffects.back().get();
}

void destroyFakes()
{
    liveDevices.clear();
    liveEffects.clear();
    overReleases = 0;
}

FakeEffect* fakeOf(IDirectInputEffect* effect)
{
    return static_cast<FakeEffect*>(effect);
}

// ---- FakeEffect

FakeEffect::FakeEffect(std::string label_, const GUID& type_) : label(std::move(label_)), type(type_) {}

HRESULT FakeEffect::QueryInterface(REFIID, void** object)
{
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG FakeEffect::AddRef()
{
    return static_cast<ULONG>(++references);
}

ULONG FakeEffect::Release()
{
    note(label, "Release");
    return releaseReference(references);
}

HRESULT FakeEffect::Initialize(HINSTANCE, DWORD, REFGUID) { return E_NOTIMPL; }

HRESULT FakeEffect::GetEffectGuid(LPGUID guid)
{
    *guid = type;
    return DI_OK;
}

HRESULT FakeEffect::GetParameters(LPDIEFFECT, DWORD) { return E_NOTIMPL; }

HRESULT FakeEffect::SetParameters(LPCDIEFFECT effect, DWORD flags)
{
    note(label, "SetParameters(" + hex(flags) + ")");
    parameters.push_back(recordEffect(effect, flags));
    return setParametersResult.take();
}

HRESULT FakeEffect::Start(DWORD iterations, DWORD flags)
{
    note(label, "Start(" + std::to_string(iterations) + "," + std::to_string(flags) + ")");
    return startResult.take();
}

HRESULT FakeEffect::Stop()
{
    note(label, "Stop");
    return stopResult.take();
}

HRESULT FakeEffect::GetEffectStatus(LPDWORD) { return E_NOTIMPL; }
HRESULT FakeEffect::Download() { return E_NOTIMPL; }
HRESULT FakeEffect::Unload() { return E_NOTIMPL; }
HRESULT FakeEffect::Escape(LPDIEFFESCAPE) { return E_NOTIMPL; }

// ---- FakeDevice

FakeDevice::FakeDevice(std::string label_) : label(std::move(label_))
{
    state.lX = 32767;
    state.lY = 32767;
    for (DWORD& pov : state.rgdwPOV)
        pov = 0xFFFFFFFF;  // hats centred
}

HRESULT FakeDevice::QueryInterface(REFIID, void** object)
{
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG FakeDevice::AddRef()
{
    return static_cast<ULONG>(++references);
}

ULONG FakeDevice::Release()
{
    note(label, "Release");
    return releaseReference(references);
}

HRESULT FakeDevice::GetCapabilities(LPDIDEVCAPS) { return E_NOTIMPL; }

HRESULT FakeDevice::EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKW callback, LPVOID context, DWORD flags)
{
    note(label, "EnumObjects(" + hex(flags) + ")");
    const HRESULT hr = enumObjectsResult.take();
    if (FAILED(hr))
        return hr;
    for (DWORD axisFlag : axisFlags) {
        DIDEVICEOBJECTINSTANCEW object{};
        object.dwSize = sizeof object;
        object.guidType = GUID_XAxis;
        object.dwFlags = axisFlag;
        if (callback(&object, context) == DIENUM_STOP)
            break;
    }
    return hr;
}

HRESULT FakeDevice::GetProperty(REFGUID, LPDIPROPHEADER) { return E_NOTIMPL; }

HRESULT FakeDevice::SetProperty(REFGUID, LPCDIPROPHEADER header)
{
    std::string what = "SetProperty";
    if (header && header->dwSize == sizeof(DIPROPDWORD)) {
        const auto* property = reinterpret_cast<const DIPROPDWORD*>(header);
        what += "(" + std::to_string(property->diph.dwHow) + "," + std::to_string(property->dwData) + ")";
    }
    note(label, what);
    return setPropertyResult.take();
}

HRESULT FakeDevice::Acquire()
{
    note(label, "Acquire");
    return acquireResult.take();
}

HRESULT FakeDevice::Unacquire()
{
    note(label, "Unacquire");
    return unacquireResult.take();
}

HRESULT FakeDevice::GetDeviceState(DWORD size, LPVOID data)
{
    note(label, "GetDeviceState(" + std::to_string(size) + ")");
    const HRESULT hr = getDeviceStateResult.take();
    if (FAILED(hr))
        return hr;
    if (size != sizeof(DIJOYSTATE2) || !data)
        return DIERR_INVALIDPARAM;
    *static_cast<DIJOYSTATE2*>(data) = state;
    return hr;
}

HRESULT FakeDevice::GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) { return E_NOTIMPL; }

HRESULT FakeDevice::SetDataFormat(LPCDIDATAFORMAT)
{
    note(label, "SetDataFormat");
    return setDataFormatResult.take();
}

HRESULT FakeDevice::SetEventNotification(HANDLE) { return E_NOTIMPL; }

HRESULT FakeDevice::SetCooperativeLevel(HWND, DWORD flags)
{
    note(label, "SetCooperativeLevel(" + std::to_string(flags) + ")");
    return setCooperativeLevelResult.take();
}

HRESULT FakeDevice::GetObjectInfo(LPDIDEVICEOBJECTINSTANCEW, DWORD, DWORD) { return E_NOTIMPL; }
HRESULT FakeDevice::GetDeviceInfo(LPDIDEVICEINSTANCEW) { return E_NOTIMPL; }
HRESULT FakeDevice::RunControlPanel(HWND, DWORD) { return E_NOTIMPL; }
HRESULT FakeDevice::Initialize(HINSTANCE, DWORD, REFGUID) { return E_NOTIMPL; }

HRESULT FakeDevice::CreateEffect(REFGUID type, LPCDIEFFECT effect, LPDIRECTINPUTEFFECT* handle, LPUNKNOWN)
{
    std::string name = effectTypeName(type);
    note(label, "CreateEffect(" + name + ")");
    const HRESULT hr = createEffectResult.take();
    *handle = nullptr;
    if (FAILED(hr))
        return hr;
    const bool leaveNull = !createEffectLeavesNull.empty() && createEffectLeavesNull.front();
    if (!createEffectLeavesNull.empty())
        createEffectLeavesNull.pop_front();
    if (leaveNull)
        return hr;

    // The second effect of a type is named like its handle: "damper2".
    for (const FakeEffect* existing : effects) {
        if (IsEqualGUID(existing->type, type)) {
            name += "2";
            break;
        }
    }
    FakeEffect* created = makeFakeEffect(name, type);
    created->created = recordEffect(effect, 0);
    effects.push_back(created);
    *handle = created;
    return hr;
}

HRESULT FakeDevice::EnumEffects(LPDIENUMEFFECTSCALLBACKW, LPVOID, DWORD) { return E_NOTIMPL; }
HRESULT FakeDevice::GetEffectInfo(LPDIEFFECTINFOW, REFGUID) { return E_NOTIMPL; }
HRESULT FakeDevice::GetForceFeedbackState(LPDWORD) { return E_NOTIMPL; }
HRESULT FakeDevice::SendForceFeedbackCommand(DWORD) { return E_NOTIMPL; }
HRESULT FakeDevice::EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) { return E_NOTIMPL; }
HRESULT FakeDevice::Escape(LPDIEFFESCAPE) { return E_NOTIMPL; }

HRESULT FakeDevice::Poll()
{
    note(label, "Poll");
    return pollResult.take();
}

HRESULT FakeDevice::SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) { return E_NOTIMPL; }
HRESULT FakeDevice::EnumEffectsInFile(LPCWSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) { return E_NOTIMPL; }
HRESULT FakeDevice::WriteEffectToFile(LPCWSTR, DWORD, LPDIFILEEFFECT, DWORD) { return E_NOTIMPL; }
HRESULT FakeDevice::BuildActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) { return E_NOTIMPL; }
HRESULT FakeDevice::SetActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) { return E_NOTIMPL; }
HRESULT FakeDevice::GetImageInfo(LPDIDEVICEIMAGEINFOHEADERW) { return E_NOTIMPL; }
