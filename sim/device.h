// A simulated game controller: its acquisition, its state from the input
// file and, for a force-feedback stick, its effects and the forces they make.
#pragma once

#include "sim/config.h"
#include "sim/dinput_api.h"
#include "sim/force_model.h"
#include "sim/input_file.h"
#include "sim/sim_object.h"

#include <optional>
#include <string>
#include <vector>

class SimEffect;

class SimDevice final : public IDirectInputDevice8W, public SimObject {
public:
    // freeWhenReleased: destroyed once released and without effects, rather
    // than kept as a zombie; its effects are alike.
    SimDevice(int index, const DeviceSetup& setup, bool freeWhenReleased);
    ~SimDevice() override;

    const int index;        // in the configuration: "dev<index>" in the journal
    const DeviceSetup setup;  // as configured when the device was created

    bool exclusivelyAcquired() const { return acquired && (cooperation & DISCL_EXCLUSIVE); }
    // The controller is pulled out: acquisition and effects are lost, and the
    // next Poll or GetDeviceState reports lost input.
    void pulledOut();
    // The controller came back as a new device, as in another USB port: this
    // object never acquires it again.
    void leftBehind() { orphaned = true; }
    // Journals a force line when what the model computes has changed.
    void journalForces();
    // An effect of this device is being destroyed: it leaves the list, and a
    // released device without effects left is destroyed too.
    void forgetEffect(SimEffect* effect);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        return queryInterface(iid, object, IID_IDirectInputDevice8W);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }
    HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS) override { return unsupported("GetCapabilities"); }
    HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKW, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetProperty(REFGUID, LPDIPROPHEADER) override;
    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID, LPCDIPROPHEADER) override;
    HRESULT STDMETHODCALLTYPE Acquire() override;
    HRESULT STDMETHODCALLTYPE Unacquire() override;
    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD, LPVOID) override;
    HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override
    {
        return unsupported("GetDeviceData");
    }
    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT) override;
    HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE) override { return unsupported("SetEventNotification"); }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEW, DWORD, DWORD) override
    {
        return unsupported("GetObjectInfo");
    }
    HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEW) override { return unsupported("GetDeviceInfo"); }
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return unsupported("RunControlPanel"); }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override { return unsupported("Initialize"); }
    HRESULT STDMETHODCALLTYPE CreateEffect(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT*, LPUNKNOWN) override;
    HRESULT STDMETHODCALLTYPE EnumEffects(LPDIENUMEFFECTSCALLBACKW, LPVOID, DWORD) override
    {
        return unsupported("EnumEffects");
    }
    HRESULT STDMETHODCALLTYPE GetEffectInfo(LPDIEFFECTINFOW, REFGUID) override { return unsupported("GetEffectInfo"); }
    HRESULT STDMETHODCALLTYPE GetForceFeedbackState(LPDWORD) override { return unsupported("GetForceFeedbackState"); }
    HRESULT STDMETHODCALLTYPE SendForceFeedbackCommand(DWORD) override
    {
        return unsupported("SendForceFeedbackCommand");
    }
    HRESULT STDMETHODCALLTYPE EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) override
    {
        return unsupported("EnumCreatedEffectObjects");
    }
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override { return unsupported("Escape"); }
    HRESULT STDMETHODCALLTYPE Poll() override;
    HRESULT STDMETHODCALLTYPE SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override
    {
        return unsupported("SendDeviceData");
    }
    HRESULT STDMETHODCALLTYPE EnumEffectsInFile(LPCWSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) override
    {
        return unsupported("EnumEffectsInFile");
    }
    HRESULT STDMETHODCALLTYPE WriteEffectToFile(LPCWSTR, DWORD, LPDIFILEEFFECT, DWORD) override
    {
        return unsupported("WriteEffectToFile");
    }
    HRESULT STDMETHODCALLTYPE BuildActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) override
    {
        return unsupported("BuildActionMap");
    }
    HRESULT STDMETHODCALLTYPE SetActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) override
    {
        return unsupported("SetActionMap");
    }
    HRESULT STDMETHODCALLTYPE GetImageInfo(LPDIDEVICEIMAGEINFOHEADERW) override { return unsupported("GetImageInfo"); }

private:
    bool acquired = false;
    bool inputLost = false;   // pulled out since the last Poll or GetDeviceState
    bool orphaned = false;    // see leftBehind
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

    void loseAcquisition();
    void updateMotion(const StickInput& input);
    // Unacquires and stops the effects; effects still held keep a released
    // device, freed or not, until the last of them is destroyed.
    void lastReleased() override;
};

// Effects numbered from 1 again, no device held exclusively, every
// controller plugged in.
void forgetDevices();

// Pulls controller `index` out, or plugs it back in. While it is out it is not
// enumerated and cannot be opened or acquired (DIERR_UNPLUGGED); the device
// objects made before come back to life when it is plugged in again, unless it
// comes back as a new device.
void setPluggedIn(int index, bool pluggedIn, bool asNewDevice = false);
bool pluggedIn(int index);
