// The simulated DirectInput object: it lists the configured controllers and
// opens them.
#pragma once

#include "sim/dinput_api.h"
#include "sim/sim_object.h"

class SimDirectInput final : public IDirectInput8W, public SimObject {
public:
    // freeWhenReleased: destroyed at the last Release rather than kept as a
    // zombie; the devices it creates are alike.
    explicit SimDirectInput(bool freeWhenReleased);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        return queryInterface(iid, object, IID_IDirectInput8W);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }
    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID, LPDIRECTINPUTDEVICE8W*, LPUNKNOWN) override;
    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD, LPDIENUMDEVICESCALLBACKW, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID) override { return unsupported("GetDeviceStatus"); }
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return unsupported("RunControlPanel"); }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD) override { return unsupported("Initialize"); }
    HRESULT STDMETHODCALLTYPE FindDevice(REFGUID, LPCWSTR, LPGUID) override { return unsupported("FindDevice"); }
    HRESULT STDMETHODCALLTYPE EnumDevicesBySemantics(LPCWSTR, LPDIACTIONFORMATW, LPDIENUMDEVICESBYSEMANTICSCBW,
                                                     LPVOID, DWORD) override
    {
        return unsupported("EnumDevicesBySemantics");
    }
    HRESULT STDMETHODCALLTYPE ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSW, DWORD,
                                               LPVOID) override
    {
        return unsupported("ConfigureDevices");
    }

private:
    // Devices made here keep working, as DirectInput's do: none refers back.
    void lastReleased() override;
};

// DirectInput8Create with the current configuration: call counts start again
// (but its own), and the object is made as the environment says.
HRESULT createSimDirectInput(DWORD version, REFIID iid, LPVOID* out, LPUNKNOWN outer);

// EnumDevices counts from zero again, for "vanish" rules.
void forgetDiscoveries();
