// A condition effect on a simulated stick.
#pragma once

#include "sim/dinput_api.h"
#include "sim/effect_parameters.h"
#include "sim/force_model.h"

#include <string>

class SimDevice;

class SimEffect final : public IDirectInputEffect {
public:
    // freeWhenReleased: destroyed at the last Release rather than kept as a
    // zombie.
    SimEffect(SimDevice* device, int serial, const GUID& type, ConditionKind kind, bool freeWhenReleased);

    // Outlives the effect (never freed, or kept until its last effect is
    // destroyed), so always safe to ask.
    SimDevice* const device;
    const int serial;         // "eff<serial>" in the journal
    const GUID type;
    const ConditionKind kind;
    EffectParameters parameters;  // as last set
    EffectParameters downloaded;  // what the device plays
    bool isDownloaded = false;
    bool playing = false;

    std::string label() const;
    // What the force model sees while the effect plays on its device.
    bool playsOnDevice() const { return !released && isDownloaded && playing; }
    PlayingCondition asPlaying() const;
    // The device lost exclusive access: the effect is stopped and off it.
    void unload();
    // Puts parameters on the device; the device must be exclusively acquired.
    HRESULT download();

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

private:
    const bool freesReleased;
    LONG references = 1;
    // Kept as a zombie so later calls can be journaled, unless freesReleased.
    bool released = false;

    // True when the call must not go on: the effect was released, or a
    // configured failure hits it (failable names the method, or is null).
    bool refused(CallLine& line, const char* failable, HRESULT& hr);
    CallLine callLine(const char* method) const;
    HRESULT play(DWORD flags);
};

// The kind of condition the sim models for an effect GUID; false for others.
bool conditionKindOf(REFGUID type, ConditionKind& kind);
const char* conditionName(ConditionKind kind);
