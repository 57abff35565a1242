#include "sim/device.h"

#include "sim/device_objects.h"
#include "sim/effect.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <utility>

// DirectInput names its predefined properties by small numbers posing as GUID
// references (DIPROP_AUTOCENTER is "GUID 9"), so the property methods look at
// the reference's address only, and the alignment check is off for them.
#if defined(__GNUC__)
#define SIM_PROPERTY_METHOD __attribute__((no_sanitize("alignment")))
#else
#define SIM_PROPERTY_METHOD
#endif

namespace {

// The device object that holds each controller exclusively, by config index.
std::map<int, SimDevice*> exclusiveHolders;
int lastEffectSerial = 0;
// Every device object alive, so that pulling a controller out reaches them.
std::vector<SimDevice*> liveDevices;
std::set<int> pulledOutControllers;

constexpr std::uintptr_t propertyBufferSize = 1;
constexpr std::uintptr_t propertyAxisMode = 2;
constexpr std::uintptr_t propertyRange = 4;
constexpr std::uintptr_t propertyDeadZone = 5;
constexpr std::uintptr_t propertySaturation = 6;
constexpr std::uintptr_t propertyFFGain = 7;
constexpr std::uintptr_t propertyAutoCenter = 9;
constexpr std::uintptr_t largestPredefinedProperty = 0xFFFF;

// Forgets device as the holder of its controller, if it is; looked up, not
// indexed, so that no empty holder is made.
void letGo(const SimDevice* device)
{
    const auto holder = exclusiveHolders.find(device->index);
    if (holder != exclusiveHolders.end() && holder->second == device)
        exclusiveHolders.erase(holder);
}

bool isTopLevelWindowOfThisProcess(HWND window)
{
    DWORD owner = 0;
    return window && IsWindow(window) && GetAncestor(window, GA_ROOT) == window &&
           GetWindowThreadProcessId(window, &owner) && owner == GetCurrentProcessId();
}

HRESULT checkAutoCenter(const LPCDIPROPHEADER header, bool forceFeedback)
{
    if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE)
        return DIERR_INVALIDPARAM;
    if (!forceFeedback)
        return DIERR_UNSUPPORTED;
    return reinterpret_cast<const DIPROPDWORD*>(header)->dwData <= DIPROPAUTOCENTER_ON ? DI_OK : DIERR_INVALIDPARAM;
}

} // namespace

SimDevice::SimDevice(int configIndex, const DeviceSetup& configured, bool freeWhenReleased)
    : SimObject(static_cast<IDirectInputDevice8W*>(this), "dev" + std::to_string(configIndex), configIndex, nullptr,
                freeWhenReleased),
      index(configIndex), setup(configured), lastForces(describeForces({}, motion))
{
    liveDevices.push_back(this);
}

SimDevice::~SimDevice()
{
    // Only a released device is destroyed, and releasing unacquires it; this
    // is for safety's sake.
    letGo(this);
    liveDevices.erase(std::remove(liveDevices.begin(), liveDevices.end(), this), liveDevices.end());
}

void SimDevice::forgetEffect(SimEffect* effect)
{
    effects.erase(std::remove(effects.begin(), effects.end(), effect), effects.end());
    if (freesReleased && released() && effects.empty())
        delete this;
}

void SimDevice::loseAcquisition()
{
    acquired = false;
    polledInput.reset();
    letGo(this);
    // Losing exclusive access resets a force-feedback device: every effect
    // stops and must be downloaded again.
    for (SimEffect* effect : effects)
        effect->unload();
}

void SimDevice::pulledOut()
{
    if (!acquired)
        return;
    loseAcquisition();
    inputLost = true;
    journalForces();
}

void SimDevice::journalForces()
{
    if (!setup.forceFeedback || !journalOn())
        return;
    std::vector<PlayingCondition> playing;
    for (const SimEffect* effect : effects) {
        if (effect->playsOnDevice())
            playing.push_back(effect->asPlaying());
    }
    const std::string forces = describeForces(playing, motion);
    if (forces != lastForces)
        journalLine(label + " " + forces);
    lastForces = forces;
}

void SimDevice::updateMotion(const StickInput& input)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    const double seconds = static_cast<double>(now.QuadPart - lastRead.QuadPart) / frequency.QuadPart;
    const bool measurable = readBefore && seconds > 0;
    motion.vx = measurable ? (normalisedPosition(input.x) - normalisedPosition(motion.x)) / seconds : 0;
    motion.vy = measurable ? (normalisedPosition(input.y) - normalisedPosition(motion.y)) / seconds : 0;
    motion.x = input.x;
    motion.y = input.y;
    lastRead = now;
    readBefore = true;
}

void SimDevice::lastReleased()
{
    if (acquired)
        loseAcquisition();
    journalForces();
    if (freesReleased && effects.empty())
        delete this;
}

HRESULT SimDevice::EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKW callback, LPVOID context, DWORD flags)
{
    CallLine line = callLine("EnumObjects");
    line.hex("flags", flags);
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (!callback)
        return line.finish(DIERR_INVALIDPARAM);
    int actuators = 0;
    for (const DIDEVICEOBJECTINSTANCEW& object : deviceObjects(setup)) {
        if (!objectWanted(object.dwType, flags))
            continue;
        if (object.dwFlags & DIDOI_FFACTUATOR)
            ++actuators;
        if (callback(&object, context) == DIENUM_STOP)
            break;
    }
    line.number("ffaxes", actuators);
    return line.finish(DI_OK);
}

SIM_PROPERTY_METHOD HRESULT SimDevice::GetProperty(REFGUID, LPDIPROPHEADER)
{
    return unsupported("GetProperty");
}

SIM_PROPERTY_METHOD HRESULT SimDevice::SetProperty(REFGUID property, LPCDIPROPHEADER header)
{
    const std::uintptr_t id = reinterpret_cast<std::uintptr_t>(&property);
    CallLine line = callLine("SetProperty");
    line.text("prop", id <= largestPredefinedProperty ? std::to_string(id) : interfaceName(property));
    if (header) {
        line.number("how", header->dwHow);
        line.number("obj", header->dwObj);
        line.text("data", header->dwSize == sizeof(DIPROPDWORD)
                              ? std::to_string(reinterpret_cast<const DIPROPDWORD*>(header)->dwData)
                              : "-");
    }
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER) ||
        (header->dwHow == DIPH_DEVICE && header->dwObj != 0))
        return line.finish(DIERR_INVALIDPARAM);
    if (id == propertyAutoCenter) {
        // May change while exclusively acquired, as force feedback needs.
        if (acquired && !exclusivelyAcquired())
            return line.finish(DIERR_ACQUIRED);
        return line.finish(checkAutoCenter(header, setup.forceFeedback));
    }
    const bool known = id == propertyBufferSize || id == propertyAxisMode || id == propertyRange ||
                       id == propertyDeadZone || id == propertySaturation || id == propertyFFGain;
    if (!known)
        return line.finish(DIERR_UNSUPPORTED);
    // Accepted and journaled; the model does not use them.
    if (acquired && id != propertyFFGain)
        return line.finish(DIERR_ACQUIRED);
    return line.finish(DI_OK);
}

HRESULT SimDevice::Acquire()
{
    CallLine line = callLine("Acquire");
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (dataSize == 0)
        return line.finish(DIERR_INVALIDPARAM);
    if (acquired)
        return line.finish(S_FALSE);
    if (!pluggedIn(index) || orphaned)
        return line.finish(DIERR_UNPLUGGED);
    if ((cooperation & DISCL_FOREGROUND) && GetForegroundWindow() != window)
        return line.finish(DIERR_OTHERAPPHASPRIO);
    if (cooperation & DISCL_EXCLUSIVE) {
        const auto holder = exclusiveHolders.find(index);
        if (holder != exclusiveHolders.end() && holder->second != this)
            return line.finish(DIERR_OTHERAPPHASPRIO);
        exclusiveHolders[index] = this;
    }
    acquired = true;
    return line.finish(DI_OK);
}

HRESULT SimDevice::Unacquire()
{
    CallLine line = callLine("Unacquire");
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (!acquired)
        return line.finish(DI_NOEFFECT);
    loseAcquisition();
    line.finish(DI_OK);
    journalForces();
    return DI_OK;
}

HRESULT SimDevice::GetDeviceState(DWORD size, LPVOID data)
{
    CallLine line = callLine("GetDeviceState");
    line.number("size", size);
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (std::exchange(inputLost, false))
        return line.finish(DIERR_INPUTLOST);
    if (!acquired)
        return line.finish(DIERR_NOTACQUIRED);
    if (!data)
        return line.finish(E_POINTER);
    if (size != dataSize)
        return line.finish(DIERR_INVALIDPARAM);

    // Without a Poll since the last read the file is read here, so a caller
    // that never polls still sees the stick move.
    const StickInput input = polledInput ? *polledInput : readStickInput(index);
    polledInput.reset();
    DIJOYSTATE2 state = {};
    state.lX = input.x;
    state.lY = input.y;
    state.rgdwPOV[0] = input.pov;
    for (int i = 1; i < 4; ++i)
        state.rgdwPOV[i] = povCentred;
    for (int i = 0; i < simButtonCount; ++i)
        state.rgbButtons[i] = input.buttons[i];
    // DIJOYSTATE is the start of DIJOYSTATE2; other formats read as all zero.
    if (size == sizeof(DIJOYSTATE2) || size == sizeof(DIJOYSTATE))
        std::memcpy(data, &state, size);
    else
        std::memset(data, 0, size);

    line.number("x", input.x);
    line.number("y", input.y);
    line.text("pov", povText(input.pov));
    line.text("buttons", buttonsText(input.buttons));
    line.finish(DI_OK);
    updateMotion(input);
    journalForces();
    return DI_OK;
}

HRESULT SimDevice::SetDataFormat(LPCDIDATAFORMAT format)
{
    CallLine line = callLine("SetDataFormat");
    if (format)
        line.text("format", format->dwDataSize == sizeof(DIJOYSTATE2) ? "joystick2" : "other");
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (!format)
        return line.finish(E_POINTER);
    if (acquired)
        return line.finish(DIERR_ACQUIRED);
    if (format->dwSize != sizeof(DIDATAFORMAT) || format->dwObjSize != sizeof(DIOBJECTDATAFORMAT) ||
        format->dwDataSize == 0)
        return line.finish(DIERR_INVALIDPARAM);
    dataSize = format->dwDataSize;
    return line.finish(DI_OK);
}

HRESULT SimDevice::SetCooperativeLevel(HWND hwnd, DWORD flags)
{
    const bool valid = isTopLevelWindowOfThisProcess(hwnd);
    CallLine line = callLine("SetCooperativeLevel");
    line.text("window", hexText(reinterpret_cast<std::uintptr_t>(hwnd)));
    line.hex("flags", flags);
    line.number("valid", valid ? 1 : 0);
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    const bool exclusive = flags & DISCL_EXCLUSIVE;
    const bool foreground = flags & DISCL_FOREGROUND;
    if (exclusive == bool(flags & DISCL_NONEXCLUSIVE) || foreground == bool(flags & DISCL_BACKGROUND) ||
        (flags & ~(DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY)))
        return line.finish(DIERR_INVALIDPARAM);
    // Only a non-exclusive background level may go without a window.
    if ((hwnd && !valid) || (!hwnd && (exclusive || foreground)))
        return line.finish(E_HANDLE);
    if (acquired)
        return line.finish(DIERR_ACQUIRED);
    cooperation = flags;
    window = hwnd;
    return line.finish(DI_OK);
}

HRESULT SimDevice::CreateEffect(REFGUID type, LPCDIEFFECT description, LPDIRECTINPUTEFFECT* out, LPUNKNOWN outer)
{
    ConditionKind kind = ConditionKind::Spring;
    const bool condition = conditionKindOf(type, kind);
    if (out)
        *out = nullptr;

    // The line names the effect made, if any, before the description's fields.
    CallLine values("CreateEffect");
    SimEffect* effect = nullptr;
    HRESULT hr = DI_OK;
    if (const auto refused = refusal(values)) {
        hr = *refused;
    } else if (!out) {
        hr = E_POINTER;
    } else if (outer) {
        hr = CLASS_E_NOAGGREGATION;
    } else if (!setup.forceFeedback) {
        hr = DIERR_UNSUPPORTED;
    } else if (!condition) {
        // The sim's device offers the three condition effects only.
        hr = DIERR_DEVICENOTREG;
    } else {
        effect = new SimEffect(this, lastEffectSerial + 1, kind, freesReleased);
        if (description) {
            const DWORD all = description->dwSize == sizeof(DIEFFECT) ? DIEP_ALLPARAMS : DIEP_ALLPARAMS_DX5;
            hr = applyParameters(setup, description, all, effect->parameters, values);
        }
        if (FAILED(hr)) {
            delete effect;  // never handed out
            effect = nullptr;
        } else if (exclusivelyAcquired()) {
            effect->download();
        }
    }

    CallLine line = callLine("CreateEffect");
    line.text("eff", effect ? std::to_string(effect->serial) : "-");
    line.text("type", condition ? conditionName(kind) : "other");
    line.append(values);
    if (effect) {
        ++lastEffectSerial;
        effects.push_back(effect);
        *out = effect;
    }
    return line.finish(hr);
}

HRESULT SimDevice::Poll()
{
    CallLine line = callLine("Poll");
    if (const auto refused = refusal(line))
        return line.finish(*refused);
    if (std::exchange(inputLost, false))
        return line.finish(DIERR_INPUTLOST);
    if (!acquired)
        return line.finish(DIERR_NOTACQUIRED);
    // A polled device: the input file is read now, and the next
    // GetDeviceState returns what was read; the model moves then.
    polledInput = readStickInput(index);
    return line.finish(DI_OK);
}

void forgetDevices()
{
    exclusiveHolders.clear();
    lastEffectSerial = 0;
    pulledOutControllers.clear();
}

void setPluggedIn(int index, bool plugged, bool asNewDevice)
{
    if (plugged) {
        pulledOutControllers.erase(index);
        for (SimDevice* device : liveDevices) {
            if (asNewDevice && device->index == index)
                device->leftBehind();
        }
        return;
    }
    pulledOutControllers.insert(index);
    for (SimDevice* device : liveDevices) {
        if (device->index == index && !device->released())
            device->pulledOut();
    }
}

bool pluggedIn(int index)
{
    return pulledOutControllers.count(index) == 0;
}
