// In-process fakes of DirectInput's interfaces. Every call
// is written to one shared journal, in order, so tests can assert sequences
// across the device and its effects; results can be scripted call by call.
#pragma once

#include "ffb/directinput.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The calls that reached any fake since the journal was last cleared, e.g.
// "stick.Poll", "spring2.Stop", "spring.Start(1,0)", "stick.CreateEffect(damper)".
extern std::vector<std::string> journal;

// Called with each entry as it is added, so a test can look at the program's
// state at the moment of a call. Cleared by destroyFakes().
extern std::function<void(const std::string&)> journalWatcher;

// Results handed out in order, then `otherwise` for every later call.
struct ScriptedResult {
    std::deque<HRESULT> next;
    HRESULT otherwise = DI_OK;

    HRESULT take();
};

// A DIEFFECT copied out of a call together with the arrays it pointed to.
struct RecordedEffect {
    DIEFFECT header{};
    std::vector<DWORD> axes;         // cAxes entries of rgdwAxes
    std::vector<LONG> directions;    // cAxes entries of rglDirection
    std::vector<DICONDITION> conditions;  // cbTypeSpecificParams / sizeof(DICONDITION)
    DWORD flags = 0;                 // SetParameters flags; 0 for a creation
};

// A SetProperty call. DIPROP_* identifiers are small integers posing as GUID
// addresses, so the address is what names the property.
struct RecordedProperty {
    std::uintptr_t id = 0;
    DIPROPDWORD value{};  // the header only, unless the call passed a DIPROPDWORD
};

class FakeEffect : public IDirectInputEffect {
public:
    FakeEffect(std::string label, const GUID& type);

    std::string label;
    GUID type;
    LONG references = 1;
    RecordedEffect created;                 // what CreateEffect was given
    std::vector<RecordedEffect> parameters; // every SetParameters, in order
    ScriptedResult startResult, stopResult, setParametersResult;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override;
    HRESULT STDMETHODCALLTYPE GetEffectGuid(LPGUID) override;
    HRESULT STDMETHODCALLTYPE GetParameters(LPDIEFFECT, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetParameters(LPCDIEFFECT, DWORD) override;
    HRESULT STDMETHODCALLTYPE Start(DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE GetEffectStatus(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE Download() override;
    HRESULT STDMETHODCALLTYPE Unload() override;
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override;
};

class FakeDevice : public IDirectInputDevice8W {
public:
    explicit FakeDevice(std::string label);

    std::string label;
    LONG references = 1;
    DIJOYSTATE2 state{};                    // what GetDeviceState hands out
    ScriptedResult pollResult, acquireResult, unacquireResult, getDeviceStateResult;
    ScriptedResult setDataFormatResult, setCooperativeLevelResult, setPropertyResult;
    ScriptedResult enumObjectsResult, createEffectResult;
    // One entry per successful CreateEffect call: true leaves the handle null.
    std::deque<bool> createEffectLeavesNull;
    std::vector<DWORD> axisFlags;           // dwFlags of the axes EnumObjects reports
    std::vector<FakeEffect*> effects;       // created here, in order
    const DIDATAFORMAT* dataFormat = nullptr;  // the latest SetDataFormat
    HWND cooperativeWindow = nullptr;          // the latest SetCooperativeLevel
    std::vector<RecordedProperty> properties;  // every SetProperty, in order

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS) override;
    HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKW, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetProperty(REFGUID, LPDIPROPHEADER) override;
    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID, LPCDIPROPHEADER) override;
    HRESULT STDMETHODCALLTYPE Acquire() override;
    HRESULT STDMETHODCALLTYPE Unacquire() override;
    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD, LPVOID) override;
    HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT) override;
    HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE) override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEW, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEW) override;
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override;
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override;
    HRESULT STDMETHODCALLTYPE CreateEffect(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT*, LPUNKNOWN) override;
    HRESULT STDMETHODCALLTYPE EnumEffects(LPDIENUMEFFECTSCALLBACKW, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetEffectInfo(LPDIEFFECTINFOW, REFGUID) override;
    HRESULT STDMETHODCALLTYPE GetForceFeedbackState(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE SendForceFeedbackCommand(DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override;
    HRESULT STDMETHODCALLTYPE Poll() override;
    HRESULT STDMETHODCALLTYPE SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumEffectsInFile(LPCWSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE WriteEffectToFile(LPCWSTR, DWORD, LPDIFILEEFFECT, DWORD) override;
    HRESULT STDMETHODCALLTYPE BuildActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetImageInfo(LPDIDEVICEIMAGEINFOHEADERW) override;
};

// A game controller the fake DirectInput reports as attached.
struct AttachedController {
    GUID instance;
    bool forceFeedback;  // reported with a force-feedback driver (non-zero Data1)
    FakeDevice* device;  // what CreateDevice hands out for it
};

class FakeDirectInput : public IDirectInput8W {
public:
    explicit FakeDirectInput(std::string label);

    std::string label;
    // Nobody holds it until the factory hands it out.
    LONG references = 0;
    std::vector<AttachedController> controllers;  // in enumeration order
    // EnumDevices reports every controller first, then returns its result, so
    // a failure can follow entries the program already took.
    ScriptedResult enumDevicesResult, createDeviceResult;
    // The latest EnumDevices call, and what its callback answered per controller.
    DWORD enumClass = 0, enumFlags = 0;
    void* enumContext = nullptr;
    std::vector<BOOL> callbackAnswers;

    // Appends a controller named `label` whose device has that label too and
    // no reference until CreateDevice hands it out.
    FakeDevice* attach(const std::string& label, bool forceFeedback);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID, LPDIRECTINPUTDEVICE8W*, LPUNKNOWN) override;
    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD, LPDIENUMDEVICESCALLBACKW, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID) override;
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override;
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD) override;
    HRESULT STDMETHODCALLTYPE FindDevice(REFGUID, LPCWSTR, LPGUID) override;
    HRESULT STDMETHODCALLTYPE EnumDevicesBySemantics(LPCWSTR, LPDIACTIONFORMATW, LPDIENUMDEVICESBYSEMANTICSCBW,
                                                     LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSW, DWORD,
                                               LPVOID) override;
};

// Points createDirectInput at a factory that journals "DirectInput8Create(<version>)"
// and hands out, with an AddRef, the FakeDirectInput "dinput" made here.
FakeDirectInput* installFakeDirectInput();

struct FactoryCall {
    HINSTANCE module;
    DWORD version;
    IID iid;
    IUnknown* outer;
};
extern std::vector<FactoryCall> factoryCalls;
extern ScriptedResult factoryResult;

struct MessageBoxCall {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT style;
};
extern std::vector<MessageBoxCall> messageBoxes;

// Points showMessageBox at a recorder that answers IDOK.
void installMessageBoxRecorder();

// Puts DirectInput8Create and MessageBoxW back.
void restoreDiscoveryHooks();

// The labels of the fakes someone still holds a reference to.
std::vector<std::string> heldFakes();

// Fakes live until destroyFakes(), whatever their reference counts, so a test
// can still inspect an object the program has released. A release below zero
// is counted in overReleases.
FakeDevice* makeFakeDevice(const std::string& label);
FakeEffect* makeFakeEffect(const std::string& label, const GUID& type);
void destroyFakes();
extern int overReleases;

// The fake behind an effect handle the program holds.
FakeEffect* fakeOf(IDirectInputEffect* effect);

// "spring", "damper" or "friction".
std::string effectTypeName(const GUID& type);

// dinput.h spells this one as an unsigned constant.
constexpr HRESULT unpluggedError = static_cast<HRESULT>(DIERR_UNPLUGGED);
