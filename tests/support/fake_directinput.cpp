#include "tests/support/fake_directinput.h"

#include "ffb/discovery.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

std::vector<std::string> journal;
std::function<void(const std::string&)> journalWatcher;
int overReleases = 0;
std::vector<FactoryCall> factoryCalls;
ScriptedResult factoryResult;
std::vector<MessageBoxCall> messageBoxes;

namespace {

std::vector<std::unique_ptr<FakeDevice>> liveDevices;
std::vector<std::unique_ptr<FakeEffect>> liveEffects;
std::vector<std::unique_ptr<FakeDirectInput>> liveDirectInputs;
FakeDirectInput* currentDirectInput = nullptr;

void write(const std::string& entry)
{
    journal.push_back(entry);
    if (journalWatcher)
        journalWatcher(entry);
}

void note(const std::string& who, const std::string& what)
{
    write(who + "." + what);
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

HRESULT WINAPI fakeDirectInput8Create(HINSTANCE module, DWORD version, REFIID iid, LPVOID* object, LPUNKNOWN outer)
{
    factoryCalls.push_back({module, version, iid, outer});
    write("DirectInput8Create(" + hex(version) + ")");
    *object = nullptr;
    const HRESULT hr = factoryResult.take();
    if (FAILED(hr))
        return hr;
    if (!currentDirectInput)
        return E_FAIL;
    if (!IsEqualIID(iid, IID_IDirectInput8W))
        return E_NOINTERFACE;
    currentDirectInput->AddRef();
    *object = static_cast<IDirectInput8W*>(currentDirectInput);
    return hr;
}

int WINAPI recordMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style)
{
    messageBoxes.push_back({owner, text ? text : L"", caption ? caption : L"", style});
    return IDOK;
}

} // namespace

FakeDirectInput* installFakeDirectInput()
{
    liveDirectInputs.push_back(std::make_unique<FakeDirectInput>("dinput"));
    currentDirectInput = liveDirectInputs.back().get();
    factoryCalls.clear();
    factoryResult = {};
    createDirectInput = fakeDirectInput8Create;
    return currentDirectInput;
}

void installMessageBoxRecorder()
{
    messageBoxes.clear();
    showMessageBox = recordMessageBox;
}

void restoreDiscoveryHooks()
{
    createDirectInput = DirectInput8Create;
    showMessageBox = MessageBoxW;
}

std::vector<std::string> heldFakes()
{
    std::vector<std::string> held;
    for (const auto& device : liveDevices) {
        if (device->references != 0)
            held.push_back(device->label);
    }
    for (const auto& effect : liveEffects) {
        if (effect->references != 0)
            held.push_back(effect->label);
    }
    for (const auto& directInput : liveDirectInputs) {
        if (directInput->references != 0)
            held.push_back(directInput->label);
    }
    return held;
}

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
    liveDirectInputs.clear();
    currentDirectInput = nullptr;
    journalWatcher = nullptr;
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

HRESULT FakeDevice::SetProperty(REFGUID property, LPCDIPROPHEADER header)
{
    RecordedProperty recorded;
    recorded.id = reinterpret_cast<std::uintptr_t>(&property);
    if (header) {
        const std::size_t size = header->dwSize == sizeof(DIPROPDWORD) ? sizeof(DIPROPDWORD) : sizeof(DIPROPHEADER);
        std::memcpy(&recorded.value, header, size);
    }
    properties.push_back(recorded);

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

HRESULT FakeDevice::SetDataFormat(LPCDIDATAFORMAT format)
{
    dataFormat = format;
    note(label, "SetDataFormat");
    return setDataFormatResult.take();
}

HRESULT FakeDevice::SetEventNotification(HANDLE) { return E_NOTIMPL; }

HRESULT FakeDevice::SetCooperativeLevel(HWND window, DWORD flags)
{
    cooperativeWindow = window;
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
    HRESULT hr = createEffectResult.take();
    *handle = nullptr;
    // DirectInput takes one condition record for all axes or one per axis.
    const DWORD records = effect->cbTypeSpecificParams / sizeof(DICONDITION);
    if (SUCCEEDED(hr) && (effect->cAxes == 0 || (records != 1 && records != effect->cAxes)))
        hr = DIERR_INVALIDPARAM;
    if (FAILED(hr))
        return hr;
    const bool leaveNull = !createEffectLeavesNull.empty() && createEffectLeavesNull.front();
    if (!createEffectLeavesNull.empty())
        createEffectLeavesNull.pop_front();
    if (leaveNull)
        return hr;

    // The second live effect of a type is named like its handle: "damper2".
    for (const FakeEffect* existing : effects) {
        if (IsEqualGUID(existing->type, type) && existing->references > 0) {
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

// ---- FakeDirectInput

FakeDirectInput::FakeDirectInput(std::string label_) : label(std::move(label_)) {}

FakeDevice* FakeDirectInput::attach(const std::string& deviceLabel, bool forceFeedback)
{
    FakeDevice* device = makeFakeDevice(deviceLabel);
    device->references = 0;
    // Distinct instance GUIDs, so CreateDevice can tell the controllers apart.
    const GUID instance = {0x4B530000u + static_cast<unsigned long>(controllers.size()), 0x4B45, 0x5354,
                           {0x52, 0x41, 0, 0, 0, 0, 0, 1}};
    controllers.push_back({instance, forceFeedback, device});
    return device;
}

HRESULT FakeDirectInput::QueryInterface(REFIID, void** object)
{
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG FakeDirectInput::AddRef()
{
    return static_cast<ULONG>(++references);
}

ULONG FakeDirectInput::Release()
{
    note(label, "Release");
    return releaseReference(references);
}

HRESULT FakeDirectInput::CreateDevice(REFGUID instance, LPDIRECTINPUTDEVICE8W* device, LPUNKNOWN)
{
    FakeDevice* found = nullptr;
    for (const AttachedController& controller : controllers) {
        if (IsEqualGUID(controller.instance, instance))
            found = controller.device;
    }
    note(label, "CreateDevice(" + (found ? found->label : std::string("?")) + ")");
    *device = nullptr;
    const HRESULT hr = createDeviceResult.take();
    if (FAILED(hr))
        return hr;
    if (!found)
        return DIERR_DEVICENOTREG;
    found->AddRef();
    *device = found;
    return hr;
}

HRESULT FakeDirectInput::EnumDevices(DWORD deviceClass, LPDIENUMDEVICESCALLBACKW callback, LPVOID context, DWORD flags)
{
    note(label, "EnumDevices(" + std::to_string(deviceClass) + "," + hex(flags) + ")");
    enumClass = deviceClass;
    enumFlags = flags;
    enumContext = context;
    callbackAnswers.clear();
    for (const AttachedController& controller : controllers) {
        DIDEVICEINSTANCEW instance{};
        instance.dwSize = sizeof instance;
        instance.guidInstance = controller.instance;
        instance.guidProduct = controller.instance;
        instance.dwDevType = DI8DEVTYPE_JOYSTICK | (DI8DEVTYPEJOYSTICK_STANDARD << 8);
        const std::wstring name(controller.device->label.begin(), controller.device->label.end());
        std::wcsncpy(instance.tszInstanceName, name.c_str(), MAX_PATH - 1);
        std::wcsncpy(instance.tszProductName, name.c_str(), MAX_PATH - 1);
        if (controller.forceFeedback)
            instance.guidFFDriver = {0xFFD00001u, 0x4B45, 0x5354, {0x52, 0x41, 0, 0, 0, 0, 0, 2}};
        instance.wUsagePage = 1;
        instance.wUsage = 4;
        callbackAnswers.push_back(callback(&instance, context));
        if (callbackAnswers.back() == DIENUM_STOP)
            break;
    }
    return enumDevicesResult.take();
}

HRESULT FakeDirectInput::GetDeviceStatus(REFGUID)
{
    note(label, "GetDeviceStatus");
    return E_NOTIMPL;
}

HRESULT FakeDirectInput::RunControlPanel(HWND, DWORD)
{
    note(label, "RunControlPanel");
    return E_NOTIMPL;
}

HRESULT FakeDirectInput::Initialize(HINSTANCE, DWORD)
{
    note(label, "Initialize");
    return E_NOTIMPL;
}

HRESULT FakeDirectInput::FindDevice(REFGUID, LPCWSTR, LPGUID)
{
    note(label, "FindDevice");
    return E_NOTIMPL;
}

HRESULT FakeDirectInput::EnumDevicesBySemantics(LPCWSTR, LPDIACTIONFORMATW, LPDIENUMDEVICESBYSEMANTICSCBW, LPVOID,
                                                DWORD)
{
    note(label, "EnumDevicesBySemantics");
    return E_NOTIMPL;
}

HRESULT FakeDirectInput::ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSW, DWORD, LPVOID)
{
    note(label, "ConfigureDevices");
    return E_NOTIMPL;
}
