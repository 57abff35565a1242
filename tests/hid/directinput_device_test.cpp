// Wine's own DirectInput against the virtual stick, without Kestra: what it
// refuses, which the simulated stick must refuse too.
#define DIRECTINPUT_VERSION 0x0800
#include "pid_reports.h"
#include "vhid_client.h"

#include <windows.h>
#include <dinput.h>

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

struct Found {
    GUID instance = {};
    bool any = false;
};

BOOL CALLBACK findStick(const DIDEVICEINSTANCEW* device, void* context)
{
    auto* found = static_cast<Found*>(context);
    // DirectInput's product GUID carries the USB IDs in its first field.
    if (device->guidProduct.Data1 == MAKELONG(KVHID_VENDOR_ID, KVHID_PRODUCT_ID)) {
        found->instance = device->guidInstance;
        found->any = true;
        return DIENUM_STOP;
    }
    return DIENUM_CONTINUE;
}

class DirectInputDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring path = kvhid::waitForDevicePath(10s);
        ASSERT_FALSE(path.empty()) << "virtual stick not installed (run install_vhid.exe)";
        ASSERT_TRUE(stick.open(path)) << GetLastError();
        stick.setInput(kvhid_input{});

        ASSERT_EQ(DI_OK, DirectInput8Create(GetModuleHandleW(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8W,
                                            reinterpret_cast<void**>(&dinput), nullptr));
        Found found;
        ASSERT_EQ(DI_OK, dinput->EnumDevices(DI8DEVCLASS_GAMECTRL, findStick, &found,
                                             DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK));
        ASSERT_TRUE(found.any) << "the stick is not enumerated as a force-feedback game controller";
        ASSERT_EQ(DI_OK, dinput->CreateDevice(found.instance, &device, nullptr));

        // Exclusive access needs a real top-level window.
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KestraHidTest";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"Kestra HID test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                 nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(nullptr, window);
        ASSERT_EQ(DI_OK, device->SetDataFormat(&c_dfDIJoystick2));
        ASSERT_EQ(DI_OK, device->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_BACKGROUND));
    }

    void TearDown() override
    {
        if (effect)
            effect->Release();
        if (device) {
            device->Unacquire();
            device->Release();
        }
        if (dinput)
            dinput->Release();
        if (window)
            DestroyWindow(window);
    }

    // A condition effect on the first `axes` axes with `records` records.
    HRESULT createDamper(DWORD axes, DWORD records)
    {
        DWORD axisOffsets[2] = {DIJOFS_X, DIJOFS_Y};
        LONG directions[2] = {};
        DICONDITION conditions[2] = {{0, 5000, 5000, 5000, 5000, 0}, {0, 5000, 5000, 5000, 5000, 0}};
        DIEFFECT d = {};
        d.dwSize = sizeof(DIEFFECT);
        d.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
        d.dwDuration = INFINITE;
        d.dwGain = DI_FFNOMINALMAX;
        d.dwTriggerButton = DIEB_NOTRIGGER;
        d.cAxes = axes;
        d.rgdwAxes = axisOffsets;
        d.rglDirection = directions;
        d.cbTypeSpecificParams = records * sizeof(DICONDITION);
        d.lpvTypeSpecificParams = conditions;
        if (effect)
            effect->Release();
        effect = nullptr;
        return device->CreateEffect(GUID_Damper, &d, &effect, nullptr);
    }

    kvhid::Stick stick;
    IDirectInput8W* dinput = nullptr;
    IDirectInputDevice8W* device = nullptr;
    IDirectInputEffect* effect = nullptr;
    HWND window = nullptr;
};

// What Wine's DirectInput refuses, and the simulated stick with it: condition
// records that match neither one nor every axis, and an effect started
// before the device is acquired, which sends nothing. Only Start after
// Acquire plays it.
TEST_F(DirectInputDevice, RefusesWhatTheSimulatedStickRefuses)
{
    EXPECT_EQ(DIERR_INVALIDPARAM, createDamper(1, 2));
    EXPECT_EQ(DI_OK, createDamper(2, 1));
    const std::uint32_t mark = stick.mark();
    ASSERT_EQ(DI_OK, createDamper(2, 2));
    EXPECT_EQ(DIERR_NOTEXCLUSIVEACQUIRED, effect->Start(1, 0));
    std::vector<kvhid::OutputRecord> records;
    ASSERT_TRUE(stick.outputsSince(mark, records));
    EXPECT_TRUE(records.empty()) << kvhid::describe(records);

    ASSERT_EQ(DI_OK, device->Acquire());
    const std::uint32_t acquired = stick.mark();
    EXPECT_EQ(DI_OK, effect->Start(1, 0));
    ASSERT_TRUE(stick.outputsSince(acquired, records));
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(KVHID_REPORT_EFFECT_OPERATION, kvhid::reportId(records.back())) << kvhid::describe(records);
    EXPECT_EQ(KVHID_OP_START, kvhid::effectOperation(records.back()).operation);
}

} // namespace
