#include "ffb/discovery.h"

#include "app/state.h"
#include "ffb/effects.h"
#include "ffb/trimmers.h"
#include "settings/settings_file.h"

#include <cstdint>
#include <cwchar>

HRESULT (WINAPI* createDirectInput)(HINSTANCE, DWORD, REFIID, LPVOID*, LPUNKNOWN) = DirectInput8Create;
int (WINAPI* showMessageBox)(HWND, LPCWSTR, LPCWSTR, UINT) = MessageBoxW;

namespace {

// DirectInput names its predefined properties by small numbers cast to GUID
// references (DIPROP_AUTOCENTER is "GUID 9"). Binding a reference to address 9
// is what the interface requires, so the alignment check is off for this call.
#if defined(__GNUC__)
__attribute__((no_sanitize("alignment")))
#endif
HRESULT switchAutoCenterOff(IDirectInputDevice8W* device)
{
    DIPROPDWORD autoCenter = {};
    autoCenter.diph.dwSize = sizeof(DIPROPDWORD);
    autoCenter.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    autoCenter.diph.dwObj = 0;
    autoCenter.diph.dwHow = DIPH_DEVICE;
    autoCenter.dwData = DIPROPAUTOCENTER_OFF;
    return device->SetProperty(DIPROP_AUTOCENTER, &autoCenter.diph);
}

void tellUser(const wchar_t* text)
{
    showMessageBox(nullptr, text, L"VIZazav", MB_OK | MB_ICONERROR);
}

} // namespace

HRESULT initDirectInput(bool quiet)
{
    HRESULT hr;
    if (FAILED(hr = createDirectInput(GetModuleHandleW(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8W,
                                      reinterpret_cast<void**>(&directInput), nullptr)))
        return hr;

    // Every attached controller is offered: force feedback is found per device.
    if (FAILED(hr = directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, enumDevicesCallback, nullptr,
                                             DIEDFL_ATTACHEDONLY)))
        return hr;

    if (deviceCount == 0) {
        if (!quiet)
            tellUser(L"No Joystick found.");
        return S_OK;
    }
    if (!ffbDevice) {
        if (!quiet)
            tellUser(L"No FFB Joystick found.");
        return S_OK;
    }

    // Read only now, so that the stored device indices meet this enumeration.
    loadSettings();

    // Exclusive access is required for force feedback; background access lets
    // the trimmers work while the game has the focus.
    for (int i = 0; i < deviceCount; ++i) {
        IDirectInputDevice8W* device = DeviceList[i].device;
        device->SetDataFormat(&c_dfDIJoystick2);
        device->SetCooperativeLevel(mainWindow, DISCL_EXCLUSIVE | DISCL_BACKGROUND);
    }

    // The device's own centring spring would fight the program's springs. Some
    // drivers cannot switch it off; the stick still takes the effects.
    switchAutoCenterOff(ffbDevice);

    ffAxisCount = 0;
    if (FAILED(hr = ffbDevice->EnumObjects(enumAxesCallback, &ffAxisCount, DIDFT_AXIS)))
        return hr;
    // The effects name two axes, X and Y.
    if (ffAxisCount > 2)
        ffAxisCount = 2;

    return createEffects();
}

BOOL CALLBACK enumDevicesCallback(const DIDEVICEINSTANCEW* deviceInstance, void*)
{
    IDirectInputDevice8W* device = nullptr;
    // A controller that cannot be opened (unplugged while we enumerate, say)
    // takes no entry; the next one gets its place.
    if (FAILED(directInput->CreateDevice(deviceInstance->guidInstance, &device, nullptr)))
        return DIENUM_CONTINUE;

    DeviceRecord& record = DeviceList[deviceCount];
    std::wcsncpy(record.name, deviceInstance->tszInstanceName, MAX_PATH - 1);
    record.name[MAX_PATH - 1] = L'\0';
    record.device = device;
    // The last force-feedback controller enumerated wins.
    if (deviceInstance->guidFFDriver.Data1 != 0)
        ffbDevice = device;

    ++deviceCount;
    return deviceCount >= maxDevices ? DIENUM_STOP : DIENUM_CONTINUE;
}

BOOL CALLBACK enumAxesCallback(const DIDEVICEOBJECTINSTANCEW* object, void* context)
{
    if (object->dwFlags & DIDOI_FFACTUATOR)
        ++*static_cast<std::uint32_t*>(context);
    return DIENUM_CONTINUE;
}

void releaseDirectInput()
{
    for (int i = 0; i < deviceCount; ++i) {
        if (DeviceList[i].device)
            DeviceList[i].device->Unacquire();
    }

    releaseEffects();

    for (int i = 0; i < deviceCount; ++i)
        releaseAndNull(DeviceList[i].device);
    releaseAndNull(directInput);

    deviceCount = 0;
    ffbDevice = nullptr;
    // The next discovery starts afresh: springs centred, first set playing.
    resetTrim();
}

void releaseAndSave()
{
    releaseDirectInput();
    saveSettings();
}
