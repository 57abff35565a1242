#include "sim/effect.h"

#include "sim/device.h"

SimEffect::SimEffect(SimDevice* owner, int number, const GUID& effectType, ConditionKind conditionKind,
                     bool freeWhenReleased)
    : SimObject(static_cast<IDirectInputEffect*>(this), "eff" + std::to_string(number), owner->index, owner,
                freeWhenReleased),
      device(owner), serial(number), type(effectType), kind(conditionKind)
{
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

void SimEffect::lastReleased()
{
    unload();
    device->journalForces();
    if (freesReleased) {
        // The device may go with it: nothing here is used afterwards.
        device->forgetEffect(this);
        delete this;
    }
}

HRESULT SimEffect::GetEffectGuid(LPGUID guid)
{
    CallLine line = callLine("GetEffectGuid");
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (!guid)
        return line.finish(E_POINTER);
    *guid = type;
    return line.finish(DI_OK);
}

HRESULT SimEffect::GetParameters(LPDIEFFECT, DWORD flags)
{
    CallLine line = callLine("GetParameters");
    line.hex("flags", flags);
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    return line.finish(E_NOTIMPL);
}

HRESULT SimEffect::SetParameters(LPCDIEFFECT description, DWORD flags)
{
    CallLine line = callLine("SetParameters");
    line.hex("flags", flags);
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    HRESULT hr = applyParameters(device->setup, description, flags, parameters, line);
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
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (flags & ~(DIES_SOLO | DIES_NODOWNLOAD))
        return line.finish(DIERR_INVALIDPARAM);
    const HRESULT hr = play(flags);
    line.finish(hr);
    device->journalForces();
    return hr;
}

HRESULT SimEffect::Stop()
{
    CallLine line = callLine("Stop");
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    HRESULT hr;
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
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (!status)
        return line.finish(E_POINTER);
    *status = playsOnDevice() ? DIEGES_PLAYING : 0;
    line.hex("status", *status);
    return line.finish(DI_OK);
}

HRESULT SimEffect::Download()
{
    CallLine line = callLine("Download");
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (isDownloaded && device->exclusivelyAcquired())
        return line.finish(S_FALSE);
    return line.finish(download());
}

HRESULT SimEffect::Unload()
{
    CallLine line = callLine("Unload");
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (!device->exclusivelyAcquired())
        return line.finish(DIERR_NOTEXCLUSIVEACQUIRED);
    if (!isDownloaded)
        return line.finish(DI_NOEFFECT);
    unload();
    line.finish(DI_OK);
    device->journalForces();
    return DI_OK;
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
