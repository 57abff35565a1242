#include "sim/device_objects.h"

#include <algorithm>
#include <cwchar>

namespace {

struct AxisDescription {
    const GUID* type;
    DWORD offset;
    WORD usage;
    const wchar_t* name;
};

// In DIJOYSTATE2's layout, so offsets match c_dfDIJoystick2.
const AxisDescription axes[maxAxes] = {
    {&GUID_XAxis, DIJOFS_X, 0x30, L"X Axis"},
    {&GUID_YAxis, DIJOFS_Y, 0x31, L"Y Axis"},
    {&GUID_ZAxis, DIJOFS_Z, 0x32, L"Z Axis"},
    {&GUID_RxAxis, DIJOFS_RX, 0x33, L"X Rotation"},
    {&GUID_RyAxis, DIJOFS_RY, 0x34, L"Y Rotation"},
    {&GUID_RzAxis, DIJOFS_RZ, 0x35, L"Z Rotation"},
    {&GUID_Slider, DIJOFS_SLIDER(0), 0x36, L"Slider"},
    {&GUID_Slider, DIJOFS_SLIDER(1), 0x37, L"Dial"},
};

constexpr WORD genericDesktopPage = 0x01;
constexpr WORD buttonPage = 0x09;
constexpr WORD joystickUsage = 0x04;
constexpr WORD hatUsage = 0x39;
constexpr DWORD objectTypeBits = 0xFF;

// The driver GUID Windows gives HID force-feedback devices.
const GUID pidDriverGuid = {0xEEC6993A, 0xB3FD, 0x11D2, {0xA9, 0x16, 0x00, 0xC0, 0x4F, 0xB9, 0x86, 0x38}};

DIDEVICEOBJECTINSTANCEW objectOf(const GUID& type, DWORD offset, DWORD typeId, DWORD flags, const wchar_t* name,
                                 WORD usagePage, WORD usage)
{
    DIDEVICEOBJECTINSTANCEW object = {};
    object.dwSize = sizeof object;
    object.guidType = type;
    object.dwOfs = offset;
    object.dwType = typeId;
    object.dwFlags = flags;
    std::wcsncpy(object.tszName, name, MAX_PATH - 1);
    object.wUsagePage = usagePage;
    object.wUsage = usage;
    return object;
}

} // namespace

GUID instanceGuid(int index)
{
    return {0x4B534D00u + static_cast<unsigned>(index), 0x4B45, 0x5354, {0x52, 0x41, 0x53, 0x49, 0x4D, 0, 0, 1}};
}

void describeInstance(int index, const DeviceSetup& setup, DIDEVICEINSTANCEW& instance)
{
    instance = {};
    instance.dwSize = sizeof instance;
    instance.guidInstance = instanceGuid(index);
    // Product GUIDs carry the USB vendor and product ids, as Windows makes them.
    instance.guidProduct = {MAKELONG(0x1209, 0x4B00 + index), 0, 0, {0, 0, 'P', 'I', 'D', 'V', 'I', 'D'}};
    instance.dwDevType = DI8DEVTYPE_JOYSTICK | (DI8DEVTYPEJOYSTICK_STANDARD << 8) | DIDEVTYPE_HID;
    std::wcsncpy(instance.tszInstanceName, setup.name.c_str(), MAX_PATH - 1);
    // The product's own name, which a user may have renamed the instance from.
    std::wcsncpy(instance.tszProductName, (setup.name + L" (product)").c_str(), MAX_PATH - 1);
    instance.guidFFDriver = setup.forceFeedback ? pidDriverGuid : GUID_NULL;
    instance.wUsagePage = genericDesktopPage;
    instance.wUsage = joystickUsage;
}

int axisCount(const DeviceSetup& setup)
{
    return std::max(2, setup.actuatorAxes);
}

std::vector<DIDEVICEOBJECTINSTANCEW> deviceObjects(const DeviceSetup& setup)
{
    std::vector<DIDEVICEOBJECTINSTANCEW> objects;
    for (int i = 0; i < axisCount(setup); ++i) {
        const bool actuator = i < setup.actuatorAxes;
        DIDEVICEOBJECTINSTANCEW axis = objectOf(
            *axes[i].type, axes[i].offset, DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(i) | (actuator ? DIDFT_FFACTUATOR : 0),
            DIDOI_ASPECTPOSITION | (actuator ? DIDOI_FFACTUATOR : 0), axes[i].name, genericDesktopPage, axes[i].usage);
        if (actuator) {
            axis.dwFFMaxForce = 10000;
            axis.dwFFForceResolution = 1;
        }
        objects.push_back(axis);
    }
    objects.push_back(objectOf(GUID_POV, DIJOFS_POV(0), DIDFT_POV | DIDFT_MAKEINSTANCE(0), 0, L"Hat Switch",
                               genericDesktopPage, hatUsage));
    for (int i = 0; i < 32; ++i) {
        const std::wstring name = L"Button " + std::to_wstring(i + 1);
        objects.push_back(objectOf(GUID_Button, DIJOFS_BUTTON(i), DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(i), 0,
                                   name.c_str(), buttonPage, static_cast<WORD>(i + 1)));
    }
    return objects;
}

bool objectWanted(DWORD objectType, DWORD enumFlags)
{
    const DWORD kinds = enumFlags & objectTypeBits;
    if (kinds != 0 && (objectType & kinds) == 0)
        return false;
    return (enumFlags & DIDFT_FFACTUATOR) == 0 || (objectType & DIDFT_FFACTUATOR) != 0;
}

int actuatorAxis(const DeviceSetup& setup, DWORD axis, DWORD effectFlags)
{
    for (int i = 0; i < setup.actuatorAxes; ++i) {
        const bool byOffset = (effectFlags & DIEFF_OBJECTOFFSETS) != 0 && axis == axes[i].offset;
        const bool byId = (effectFlags & DIEFF_OBJECTIDS) != 0 && (axis & DIDFT_AXIS) != 0 &&
                          DIDFT_GETINSTANCE(axis) == i;
        if (byOffset || byId)
            return i;
    }
    return -1;
}
