// A simulated game controller: its acquisition, its state from the input
// file and, for a force-feedback stick, its effects and the forces they make.
#pragma once

#include "sim/config.h"
#include "sim/dinput_api.h"
#include "sim/force_model.h"
#include "sim/input_file.h"
#include "sim/journal.h"

#include <optional>
#include <string>
#include <vector>

class SimEffect;

class SimDevice final : public IDirectInputDevice8W {
public:
    // freeWhenReleased: destroyed once released and without effects, rather
    // than kept as a zombie; its effects are alike.
    SimDevice(int index, const DeviceSetup& setup, bool freeWhenReleased);
    ~SimDevice();

    const int index;        // in the configuration: "dev<index>" in the journal
    const DeviceSetup setup;  // as configured when the device was created

    std::string label() const;
    bool released() const { return isReleased; }
    bool exclusivelyAcquired() const { return acquired && (cooperation & DISCL_EXCLUSIVE); }
    // Stops every effect on the device (DIES_SOLO).
    void stopEffects();
    // Journals a force line when what the model computes has changed.
    void journalForces();
    // An effect of this device is being destroyed: it leaves the list, and a
    // released device without effects left is destroyed too.
    void forgetEffect(SimEffect* effect);

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

private:
    const bool freesReleased;
    LONG references = 1;
    // Kept as a zombie so later calls can be journaled, unless freesReleased;
    // even then kept, released, while effects made here are alive, as they
    // still ask it.
    bool isReleased = false;
    bool acquired = false;
    DWORD dataSize = 0;       // of the data format; 0 until one is set
    // DirectInput's level until SetCooperativeLevel says otherwise.
    DWORD cooperation = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    HWND window = nullptr;
    // Created here, in order; never freed, unless freesReleased, when an
    // effect leaves the list as it is destroyed.
    std::vector<SimEffect*> effects;

    // The stick as the last GetDeviceState read it, with its velocity.
    StickMotion motion;
    LARGE_INTEGER lastRead = {};
    bool readBefore = false;
    // The input a Poll read, which the next GetDeviceState returns.
    std::optional<StickInput> polledInput;
    std::string lastForces;  // the device at rest until something plays or moves

    // True when the call must not go on: the device was released, or a
    // configured failure hits it (failable names the method, or is null).
    bool refused(CallLine& line, const char* failable, HRESULT& hr);
    CallLine callLine(const char* method) const;
    void loseAcquisition();
    void updateMotion(const StickInput& input);
    HRESULT unsupported(const char* method);
};
