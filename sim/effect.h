// A condition effect on a simulated stick.
#pragma once

#include "sim/dinput_api.h"
#include "sim/effect_parameters.h"
#include "sim/force_model.h"
#include "sim/sim_object.h"

#include <string>

class SimDevice;

class SimEffect final : public IDirectInputEffect, public SimObject {
public:
    // freeWhenReleased: destroyed at the last Release rather than kept as a
    // zombie.
    SimEffect(SimDevice* device, int serial, ConditionKind kind, bool freeWhenReleased);

    // Outlives the effect (never freed, or kept until its last effect is
    // destroyed), so always safe to ask.
    SimDevice* const device;
    const int serial;         // "eff<serial>" in the journal
    const ConditionKind kind;
    EffectParameters parameters;  // as last set
    EffectParameters downloaded;  // what the device plays
    bool isDownloaded = false;
    bool playing = false;

    // What the force model sees while the effect plays on its device.
    bool playsOnDevice() const { return !released() && isDownloaded && playing; }
    PlayingCondition asPlaying() const;
    // The device lost exclusive access: the effect is stopped and off it.
    void unload();
    // Puts parameters on the device; the device must be exclusively acquired.
    HRESULT download();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        return queryInterface(iid, object, IID_IDirectInputEffect);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override
    {
        return unsupported("Initialize", DIERR_ALREADYINITIALIZED);
    }
    HRESULT STDMETHODCALLTYPE GetEffectGuid(LPGUID) override { return unsupported("GetEffectGuid"); }
    HRESULT STDMETHODCALLTYPE GetParameters(LPDIEFFECT, DWORD) override { return unsupported("GetParameters"); }
    HRESULT STDMETHODCALLTYPE SetParameters(LPCDIEFFECT, DWORD) override;
    HRESULT STDMETHODCALLTYPE Start(DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE GetEffectStatus(LPDWORD) override { return unsupported("GetEffectStatus"); }
    HRESULT STDMETHODCALLTYPE Download() override { return unsupported("Download"); }
    HRESULT STDMETHODCALLTYPE Unload() override { return unsupported("Unload"); }
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override { return unsupported("Escape", DIERR_UNSUPPORTED); }

private:
    HRESULT play();
    // Stops and unloads the effect, and frees it if it frees released ones.
    void lastReleased() override;
};

// The kind of condition the sim models for an effect GUID; false for others.
bool conditionKindOf(REFGUID type, ConditionKind& kind);
const char* conditionName(ConditionKind kind);
