// The simulated DirectInput object: it lists the configured controllers and
// opens them.
#pragma once

#include "sim/dinput_api.h"
#include "sim/journal.h"

class SimDirectInput final : public IDirectInput8W {
public:
    // freeWhenReleased: destroyed at the last Release rather than kept as a
    // zombie; the devices it creates are alike.
    explicit SimDirectInput(bool freeWhenReleased) : freesReleased(freeWhenReleased) {}

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

private:
    const bool freesReleased;
    LONG references = 1;
    // Kept as a zombie so later calls can be journaled, unless freesReleased.
    bool released = false;

    // True when the call must not go on: this object was released, or a
    // configured failure hits it (failable names the method, or is null;
    // device is the config index a call concerns, or -1).
    bool refused(CallLine& line, const char* failable, int device, HRESULT& hr);
    HRESULT unsupported(const char* method);
};
