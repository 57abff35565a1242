#include "sim/effect.h"

#include "sim/device.h"

SimEffect::SimEffect(SimDevice* owner, int number, ConditionKind conditionKind, bool freeWhenReleased)
    : SimObject(static_cast<IDirectInputEffect*>(this), "eff" + std::to_string(number), owner->index, owner,
                freeWhenReleased),
      device(owner), serial(number), kind(conditionKind)
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

HRESULT SimEffect::play()
{
    const HRESULT hr = download();
    if (FAILED(hr))
        return hr;
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

HRESULT SimEffect::SetParameters(LPCDIEFFECT description, DWORD flags)
{
    CallLine line = callLine("SetParameters");
    line.hex("flags", flags);
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (flags & (DIEP_START | DIEP_NODOWNLOAD))  // not simulated
        return line.finish(E_NOTIMPL);
    HRESULT hr = applyParameters(device->setup, description, flags, parameters, line);
    if (FAILED(hr))
        return line.finish(hr);
    hr = download();
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
    if (flags)  // DIES_SOLO and DIES_NODOWNLOAD are not simulated
        return line.finish(E_NOTIMPL);
    const HRESULT hr = play();
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
