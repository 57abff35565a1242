#include "ffb/polling.h"

#include "app/state.h"
#include "ffb/clock.h"
#include "ffb/effects.h"

namespace {

// Only this exact byte counts as pressed.
constexpr BYTE pressedByte = 0x80;
constexpr std::int64_t toggleDebounceMs = 200;

// Each accepted press flips the toggle; a press within 200 ms of the last
// accepted one is ignored and does not restart the 200 ms. The first press is
// always accepted.
void stepToggleButton(const DIJOYSTATE2& state)
{
    const std::int32_t toggle = Settings.toggleButton;
    if (!isButtonIndex(toggle))
        return;

    const BYTE raw = state.rgbButtons[toggle];
    if (raw == pressedByte && prevToggleRaw == 0) {
        const std::int64_t now = steadyClockMs();
        if (lastTogglePressMs == noTogglePressYet || now - lastTogglePressMs > toggleDebounceMs) {
            buttonState[toggle] = buttonState[toggle] == 1 ? 0 : 1;
            lastTogglePressMs = now;
        }
    }
    prevToggleRaw = raw;
}

// Every button but the toggle: 0 up, 1 down, 2 released at this poll.
void stepButtons(const DIJOYSTATE2& state)
{
    for (int i = 0; i < buttonCount; ++i) {
        if (i == Settings.toggleButton)
            continue;
        if (state.rgbButtons[i] == pressedByte)
            buttonState[i] = 1;
        else
            buttonState[i] = buttonState[i] == 1 ? 2 : 0;
    }
}

// The button machine follows one device: polls of another (the hat's, or the
// stick's for a re-centre) would feed it buttons from elsewhere and fire the
// toggle again after each of them.
bool drivesTheButtons(IDirectInputDevice8W* device)
{
    return isDeviceIndex(Settings.deviceIndex) && DeviceList[Settings.deviceIndex].device == device;
}

} // namespace

HRESULT keepAcquired(IDirectInputDevice8W* device)
{
    if (SUCCEEDED(device->Poll()))
        return DI_OK;
    HRESULT hr = device->Acquire();
    for (int retry = 0; hr == DIERR_INPUTLOST && retry < lostInputRetryLimit; ++retry)
        hr = device->Acquire();
    // DirectInput unloaded the stick's effects when it lost the stick; the
    // playing set goes back on as soon as the stick is ours again.
    if (hr == DI_OK && device == ffbDevice)
        updateSprings();
    return hr;
}

bool watchStick()
{
    return ffbDevice && keepAcquired(ffbDevice) != static_cast<HRESULT>(DIERR_UNPLUGGED);
}

HRESULT pollDevice(IDirectInputDevice8W* device, DIJOYSTATE2* state)
{
    if (!device)
        return nothingRead;

    const HRESULT acquired = keepAcquired(device);
    if (acquired == DIERR_INVALIDPARAM || acquired == DIERR_NOTINITIALIZED)
        return E_FAIL;
    // Another program has the device: not an error, but nothing was read.
    if (acquired == DIERR_OTHERAPPHASPRIO)
        return nothingRead;

    const HRESULT hr = device->GetDeviceState(sizeof(DIJOYSTATE2), state);
    if (FAILED(hr))
        return hr;

    if (drivesTheButtons(device)) {
        stepToggleButton(*state);
        stepButtons(*state);
    }
    return S_OK;
}
