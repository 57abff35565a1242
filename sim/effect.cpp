#include "sim/effect.h"

#include "sim/device.h"
#include "sim/faults.h"

SimEffect::SimEffect(SimDevice* owner, int number, const GUID& effectType, ConditionKind conditionKind,
                     bool freeWhenReleased)
    : device(owner), serial(number), type(effectType), kind(conditionKind), freesReleased(freeWhenReleased)
{
}

std::string SimEffect::label() const
{
    return "eff" + std::to_string(serial);
}

CallLine SimEffect::callLine(const char* method) const
{
    // Without a journal the label is not even spelled out.
    return journalOn() ? CallLine(label(), method) : CallLine();
}

bool SimEffect::refused(CallLine& line, const char* failable, HRESULT& hr)
{
    if (released) {
        line.text("error", "released");
        hr = E_POINTER;
        return true;
    }
    // The effect still answers once its device is gone, as an unacquired one.
    if (device->released())
        line.text("device", "released");
    return failable && injectedFailure(failable, device->index, hr);
}

PlayingCondition SimEffect::asPlaying() const
{
    PlayingCondition condition;
    condition.serial = serial;
    condition.kind = kind;
    condition.axisCount = static_cast<int>(downloaded.axisCount);
    for (int i = 0; i < condition.axisCount; ++i)
        condition.axisSlot[i] = downloaded.deviceAxes[i] < 2 ? downloaded.deviceAxes[i] : -1;
    condition.records = downloaded.records;
    return condition;
}

void SimEffect::unload()
{
    isDownloaded = false;
    playing = false;
}

HRESULT SimEffect::download()
{
    if (!device->exclusivelyAcquired())
        return DIERR_NOTEXCLUSIVEACQUIRED;
    if (!isComplete(parameters))
        return DIERR_INCOMPLETEEFFECT;
    downloaded = parameters;
    isDownloaded = true;
    return DI_OK;
}

HRESULT SimEffect::play(DWORD flags)
{
    if (!device->exclusivelyAcquired())
        return DIERR_NOTEXCLUSIVEACQUIRED;
    if ((flags & DIES_NODOWNLOAD) && !isDownloaded)
        return DIERR_NOTDOWNLOADED;
    if (!(flags & DIES_NODOWNLOAD)) {
        const HRESULT hr = download();
        if (FAILED(hr))
            return hr;
    }
    if (flags & DIES_SOLO)
        device->stopEffects();
    // A playing effect restarts from the beginning, which for a condition
    // effect of infinite duration is the same as going on.
    playing = true;
    return DI_OK;
}

HRESULT SimEffect::QueryInterface(REFIID iid, void** object)
{
    CallLine line = callLine("QueryInterface");
    line.text("iid", interfaceName(iid));
    HRESULT hr;
    if (refused(line, nullptr, hr))
        return line.finish(hr);
    if (!object)
        return line.finish(E_POINTER);
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDirectInputEffect)) {
        *object = nullptr;
        return line.finish(E_NOINTERFACE);
    }
    *object = static_cast<IDirectInputEffect*>(this);
    line.number("refs", ++references);
    return line.finish(S_OK);
}

ULONG SimEffect::AddRef()
{
    CallLine line = callLine("AddRef");
    HRESULT hr;
    if (refused(line, nullptr, hr)) {
        line.finish(hr);
        return 0;
    }
    line.number("refs", ++references);
    line.finish(S_OK);
    return static_cast<ULONG>(references);
}

ULONG SimEffect::Release()
{
    CallLine line = callLine("Release");
    HRESULT hr;
    if (refused(line, nullptr, hr)) {
        line.finish(hr);
        return 0;
    }
    line.number("refs", --references);
    line.finish(S_OK);
    if (references == 0) {
        // Releasing the last reference unloads the effect from the device.
        unload();
        released = true;
        device->journalForces();
        if (freesReleased) {
            // The device may go with it: nothing here is used afterwards.
            device->forgetEffect(this);
            delete this;
            return 0;
        }
    }
    return static_cast<ULONG>(references);
}

HRESULT SimEffect::Initialize(HINSTANCE, DWORD, REFGUID)
{
    CallLine line = callLine("Initialize");
    HRESULT hr;
    if (refused(line, nullptr, hr))
        return line.finish(hr);
    return line.finish(DIERR_ALREADYINITIALIZED);
}

HRESULT SimEffect::GetEffectGuid(LPGUID guid)
{
    CallLine line = callLine("GetEffectGuid");
    HRESULT hr;
    if (refused(line, nullptr, hr))
        return line.finish(hr);
    if (!guid)
        return line.finish(E_POINTER);
    *guid = type;
    return line.finish(DI_OK);
}

HRESULT SimEffect::GetParameters(LPDIEFFECT, DWORD flags)
{
    CallLine line = callLine("GetParameters");
    line.hex("flags", flags);
    HRESULT hr;
    if (refused(line, nullptr, hr))
        return line.finish(hr);
    return line.finish(E_NOTIMPL);
}

HRESULT SimEffect::SetParameters(LPCDIEFFECT description, DWORD flags)
{
    CallLine line = callLine("SetParameters");
    line.hex("flags", flags);
    HRESULT hr;
    if (refused(line, "SetParameters", hr))
        return line.finish(hr);
    hr = applyParameters(device->setup, description, flags, parameters, line);
    if (FAILED(hr))
        return line.finish(hr);
    if (flags & DIEP_NODOWNLOAD)
        return line.finish(DI_DOWNLOADSKIPPED);
    hr = (flags & DIEP_START) ? play(0) : download();
    // Parameters are kept for a later download when the device is not
    // exclusively acquired.
    if (hr == static_cast<HRESULT>(DIERR_NOTEXCLUSIVEACQUIRED))
        hr = DI_DOWNLOADSKIPPED;
    line.finish(hr);
    device->journalForces();
    return hr;
}

HRESULT SimEffect::Start(DWORD iterations, DWORD flags)
{
    CallLine line = callLine("Start");
    line.number("iterations", iterations);
    line.hex("flags", flags);
    HRESULT hr;
    if (refused(line, "Start", hr))
        return line.finish(hr);
    if (flags & ~(DIES_SOLO | DIES_NODOWNLOAD))
        return line.finish(DIERR_INVALIDPARAM);
    hr = play(flags);
    line.finish(hr);
    device->journalForces();
    return hr;
}

HRESULT SimEffect::Stop()
{
    CallLine line = callLine("Stop");
    HRESULT hr;
    if (refused(line, "Stop", hr))
        return line.finish(hr);
    if (!device->exclusivelyAcquired())
        hr = DIERR_NOTEXCLUSIVEACQUIRED;
    else if (!isDownloaded)
        hr = DIERR_NOTDOWNLOADED;
    else {
        playing = false;
        hr = DI_OK;
    }
    line.finish(hr);
    device->journalForces();
    return hr;
}

HRESULT SimEffect::GetEffectStatus(LPDWORD status)
{
    CallLine line = callLine("GetEffectStatus");
    HRESULT hr;
    if (refused(line, nullptr, hr))
        return line.finish(hr);
    if (!status)
        return line.finish(E_POINTER);
    *status = playsOnDevice() ? DIEGES_PLAYING : 0;
    line.hex("status", *status);
    return line.finish(DI_OK);
}

HRESULT SimEffect::Download()
{
    CallLine line = callLine("Download");
    HRESULT hr;
    if (refused(line, nullptr, hr))
        return line.finish(hr);
    if (isDownloaded && device->exclusivelyAcquired())
        return line.finish(S_FALSE);
    return line.finish(download());
}

HRESULT SimEffect::Unload()
{
    CallLine line = callLine("Unload");
    HRESULT hr;
    if (refused(line, nullptr, hr))
        return line.finish(hr);
    if (!device->exclusivelyAcquired())
        return line.finish(DIERR_NOTEXCLUSIVEACQUIRED);
    if (!isDownloaded)
        return line.finish(DI_NOEFFECT);
    unload();
    line.finish(DI_OK);
    device->journalForces();
    return DI_OK;
}

HRESULT SimEffect::Escape(LPDIEFFESCAPE)
{
    CallLine line = callLine("Escape");
    HRESULT hr;
    if (refused(line, nullptr, hr))
        return line.finish(hr);
    return line.finish(DIERR_UNSUPPORTED);
}

bool conditionKindOf(REFGUID type, ConditionKind& kind)
{
    if (IsEqualGUID(type, GUID_Spring))
        kind = ConditionKind::Spring;
    else if (IsEqualGUID(type, GUID_Damper))
        kind = ConditionKind::Damper;
    else if (IsEqualGUID(type, GUID_Friction))
        kind = ConditionKind::Friction;
    else
        return false;
    return true;
}

const char* conditionName(ConditionKind kind)
{
    switch (kind) {
    case ConditionKind::Spring:
        return "spring";
    case ConditionKind::Damper:
        return "damper";
    case ConditionKind::Friction:
        return "friction";
    }
    return "other";
}
