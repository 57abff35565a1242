// Wine's own DirectInput against the virtual stick, without Kestra: what it
// refuses, which the simulated stick must refuse too.
#define DIRECTINPUT_VERSION 0x0800
#include "pid_reports.h"

#include <windows.h>
#include <dinput.h>

#include <gtest/gtest.h>

namespace {

// DirectInput's product GUID carries the USB IDs in its first field.
constexpr unsigned long stickProduct = MAKELONG(KVHID_VENDOR_ID, KVHID_PRODUCT_ID);

// What Wine's DirectInput refuses, and the simulated stick with it: condition
// records that match neither one nor every axis, and an effect started
// before the device is acquired, which sends nothing. Only Start after
// Acquire plays it.
TEST(DirectInputDevice, RefusesWhatTheSimulatedStickRefuses)
{
    kvhid::Stick stick;
    const std::wstring path = kvhid::waitForDevicePath(std::chrono::seconds(10));
    ASSERT_FALSE(path.empty()) << "virtual stick not installed (run install_vhid.exe)";
    ASSERT_TRUE(stick.open(path)) << GetLastError();
    IDirectInput8W* dinput = nullptr;
    ASSERT_EQ(DI_OK, DirectInput8Create(GetModuleHandleW(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8W,
                                        reinterpret_cast<void**>(&dinput), nullptr));
    // The prefix's only force-feedback game controller is the stick.
    DIDEVICEINSTANCEW found = {};
    const auto take = [](const DIDEVICEINSTANCEW* d, void* context) -> BOOL {
        *static_cast<DIDEVICEINSTANCEW*>(context) = *d;
        return DIENUM_STOP;
    };
    ASSERT_EQ(DI_OK,
              dinput->EnumDevices(DI8DEVCLASS_GAMECTRL, take, &found, DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK));
    ASSERT_EQ(stickProduct, found.guidProduct.Data1) << "not enumerated as a force-feedback game controller";
    IDirectInputDevice8W* device = nullptr;
    ASSERT_EQ(DI_OK, dinput->CreateDevice(found.guidInstance, &device, nullptr));
    // Exclusive access needs a top-level window.
    const HWND window = CreateWindowExW(0, L"STATIC", L"Kestra HID test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                        nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    ASSERT_EQ(DI_OK, device->SetDataFormat(&c_dfDIJoystick2));
    ASSERT_EQ(DI_OK, device->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_BACKGROUND));

    // A damper on the first `axes` axes with `records` condition records.
    IDirectInputEffect* effect = nullptr;
    const auto createDamper = [&](DWORD axes, DWORD records) {
        DWORD axisOffsets[2] = {DIJOFS_X, DIJOFS_Y};
        LONG directions[2] = {};
        DICONDITION conditions[2] = {{0, 5000, 5000, 5000, 5000, 0}, {0, 5000, 5000, 5000, 5000, 0}};
        DIEFFECT d = {sizeof(DIEFFECT), DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS, INFINITE, 0, DI_FFNOMINALMAX,
                      DIEB_NOTRIGGER, 0, axes, axisOffsets, directions, nullptr,
                      static_cast<DWORD>(records * sizeof(DICONDITION)), conditions, 0};
        if (effect)
            effect->Release();
        effect = nullptr;
        return device->CreateEffect(GUID_Damper, &d, &effect, nullptr);
    };
    const struct { DWORD axes, records; HRESULT created; } cases[] = {
        {1, 2, DIERR_INVALIDPARAM}, {2, 1, DI_OK}, {2, 2, DI_OK}};
    const std::uint32_t mark = stick.mark();
    for (const auto& c : cases)
        EXPECT_EQ(c.created, createDamper(c.axes, c.records)) << c.axes << " axes, " << c.records << " records";
    ASSERT_NE(nullptr, effect);
    EXPECT_EQ(DIERR_NOTEXCLUSIVEACQUIRED, effect->Start(1, 0));
    std::vector<kvhid::OutputRecord> records;
    ASSERT_TRUE(stick.outputsSince(mark, records));
    EXPECT_TRUE(records.empty()) << kvhid::describe(records);

    ASSERT_EQ(DI_OK, device->Acquire());
    const std::uint32_t acquired = stick.mark();
    EXPECT_EQ(DI_OK, effect->Start(1, 0));
    ASSERT_TRUE(stick.outputsSince(acquired, records));
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(KVHID_REPORT_EFFECT_OPERATION, records.back().bytes.at(0)) << kvhid::describe(records);
    EXPECT_EQ(KVHID_OP_START, records.back().bytes.at(2));
    effect->Release();
    device->Release();
    dinput->Release();
    DestroyWindow(window);
}

} // namespace
