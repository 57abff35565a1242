// The simulated stick in process, started afresh for each test and driven
// through DirectInput's interfaces as Kestra drives it. Objects need no
// release: simReset retires them.
#pragma once

#include "sim/in_process.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

inline IDirectInput8W* createDirectInput()
{
    void* created = nullptr;
    simDirectInput8Create(GetModuleHandleW(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8W, &created, nullptr);
    return static_cast<IDirectInput8W*>(created);
}

inline BOOL CALLBACK collectDevice(const DIDEVICEINSTANCEW* instance, void* devices)
{
    static_cast<std::vector<DIDEVICEINSTANCEW>*>(devices)->push_back(*instance);
    return DIENUM_CONTINUE;
}

class SimTest : public ::testing::Test {
protected:
    // The default stick, opened.
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(start(simDefaultConfig));
        ASSERT_NE(device = openDevice(), nullptr);
    }
    // simReset with this configuration, then a DirectInput object.
    void start(const std::string& config)
    {
        simReset(config);
        ASSERT_NE(directInput = createDirectInput(), nullptr);
    }
    std::vector<DIDEVICEINSTANCEW> enumerate(DWORD flags = DIEDFL_ATTACHEDONLY) const
    {
        std::vector<DIDEVICEINSTANCEW> devices;
        EXPECT_EQ(directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, collectDevice, &devices, flags), DI_OK);
        return devices;
    }
    // The device at that place in the enumeration, or null.
    IDirectInputDevice8W* openDevice(std::size_t position = 0) const
    {
        const std::vector<DIDEVICEINSTANCEW> devices = enumerate();
        IDirectInputDevice8W* device = nullptr;
        if (position < devices.size())
            directInput->CreateDevice(devices[position].guidInstance, &device, nullptr);
        return device;
    }

    IDirectInput8W* directInput = nullptr;
    IDirectInputDevice8W* device = nullptr;
};

// A top-level window of this process, as SetCooperativeLevel wants.
inline HWND testWindow()
{
    static const HWND window = CreateWindowExW(0, L"STATIC", L"sim test", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                               nullptr, GetModuleHandleW(nullptr), nullptr);
    return window;
}

// Joystick format and exclusive background access, as Kestra asks, then
// Acquire unless not asked. E_POINTER for no device.
inline HRESULT prepare(IDirectInputDevice8W* device, bool acquire = true)
{
    HRESULT hr = device ? device->SetDataFormat(&c_dfDIJoystick2) : E_POINTER;
    if (SUCCEEDED(hr))
        hr = device->SetCooperativeLevel(testWindow(), DISCL_EXCLUSIVE | DISCL_BACKGROUND);
    return FAILED(hr) || !acquire ? hr : device->Acquire();
}

// The state, in a buffer filled with 0xAB so that what is not written shows.
inline DIJOYSTATE2 read(IDirectInputDevice8W* device)
{
    DIJOYSTATE2 state;
    std::memset(&state, 0xAB, sizeof state);
    EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
    return state;
}

// The journal's last line that starts with prefix, such as "dev0 force".
inline std::string lastJournalOf(const std::string& prefix)
{
    const std::vector<std::string> lines = simJournal();
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (line->rfind(prefix, 0) == 0)
            return *line;
    }
    return "(no line \"" + prefix + "\")";
}

// A DIEFFECT as Kestra builds one: X and Y named by offset, one condition
// record per axis alike but for the offsets. It points into itself, so it is
// built in place and never copied.
struct ConditionEffect {
    ConditionEffect(LONG coefficient, DWORD saturation, LONG offsetX = 0, LONG offsetY = 0)
        : records{{offsetX, coefficient, coefficient, saturation, saturation, 0},
                  {offsetY, coefficient, coefficient, saturation, saturation, 0}}
    {
    }
    ConditionEffect(const ConditionEffect&) = delete;
    ConditionEffect& operator=(const ConditionEffect&) = delete;

    DWORD axes[3] = {DIJOFS_X, DIJOFS_Y, DIJOFS_Z};
    LONG directions[3] = {};
    DICONDITION records[3];
    // Size, flags, duration, period, gain, trigger and its repeat, axes,
    // directions, envelope, records, start delay.
    DIEFFECT effect = {sizeof(DIEFFECT), DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS, INFINITE, 0, DI_FFNOMINALMAX,
                       DIEB_NOTRIGGER, 0, 2, axes, directions, nullptr, 2 * sizeof(DICONDITION), records, 0};
};
