// Wine's own DirectInput against the virtual stick: what it sees of the
// device, and which PID reports Kestra's kinds of calls turn into.
#define DIRECTINPUT_VERSION 0x0800
#include "pid_reports.h"
#include "vhid_client.h"

#include <windows.h>
#include <dinput.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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

BOOL CALLBACK countActuators(const DIDEVICEOBJECTINSTANCEW* object, void* context)
{
    if (object->dwFlags & DIDOI_FFACTUATOR)
        ++*static_cast<int*>(context);
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

    // Kestra's effect description: both axes, both condition records.
    struct Description {
        DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
        LONG directions[2] = {0, 0};
        DICONDITION conditions[2] = {};
        DIEFFECT effect = {};
    };
    static void describe(Description& d, DWORD axisCount, LONG gain, LONG offsetX, LONG offsetY)
    {
        const LONG offsets[2] = {offsetX, offsetY};
        for (int i = 0; i < 2; ++i) {
            d.conditions[i].lOffset = offsets[i];
            d.conditions[i].lPositiveCoefficient = gain;
            d.conditions[i].lNegativeCoefficient = gain;
            d.conditions[i].dwPositiveSaturation = static_cast<DWORD>(gain);
            d.conditions[i].dwNegativeSaturation = static_cast<DWORD>(gain);
        }
        d.effect.dwSize = sizeof(DIEFFECT);
        d.effect.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
        d.effect.dwDuration = INFINITE;
        d.effect.dwGain = DI_FFNOMINALMAX;
        d.effect.dwTriggerButton = DIEB_NOTRIGGER;
        d.effect.cAxes = axisCount;
        d.effect.rgdwAxes = d.axes;
        d.effect.rglDirection = d.directions;
        d.effect.cbTypeSpecificParams = sizeof(d.conditions);
        d.effect.lpvTypeSpecificParams = d.conditions;
    }

    std::vector<kvhid::OutputRecord> reportsSince(std::uint32_t mark)
    {
        std::vector<kvhid::OutputRecord> records;
        EXPECT_TRUE(stick.outputsSince(mark, records));
        return records;
    }

    kvhid::Stick stick;
    IDirectInput8W* dinput = nullptr;
    IDirectInputDevice8W* device = nullptr;
    IDirectInputEffect* effect = nullptr;
    HWND window = nullptr;
};

TEST_F(DirectInputDevice, IsForceFeedbackWithTwoActuatorAxes)
{
    DIDEVCAPS caps = {};
    caps.dwSize = sizeof(caps);
    ASSERT_EQ(DI_OK, device->GetCapabilities(&caps));
    EXPECT_TRUE(caps.dwFlags & DIDC_FORCEFEEDBACK);
    EXPECT_EQ(2u, caps.dwAxes);
    EXPECT_EQ(1u, caps.dwPOVs);
    EXPECT_EQ(32u, caps.dwButtons);

    int actuators = 0;
    ASSERT_EQ(DI_OK, device->EnumObjects(countActuators, &actuators, DIDFT_AXIS));
    EXPECT_EQ(2, actuators);

    for (const GUID* type : {&GUID_Spring, &GUID_Damper, &GUID_Friction}) {
        DIEFFECTINFOW info = {};
        info.dwSize = sizeof(info);
        EXPECT_EQ(DI_OK, device->GetEffectInfo(&info, *type));
    }
}

TEST_F(DirectInputDevice, SpringSendsSetEffectBothConditionsAndStart)
{
    ASSERT_EQ(DI_OK, device->Acquire());
    const std::uint32_t mark = stick.mark();

    Description d;
    describe(d, 2, 5000, 1000, -2000);
    ASSERT_EQ(DI_OK, device->CreateEffect(GUID_Spring, &d.effect, &effect, nullptr));
    ASSERT_EQ(DI_OK, effect->Start(1, 0));

    const auto records = reportsSince(mark);
    std::vector<kvhid::SetCondition> conditions;
    std::vector<kvhid::SetEffect> effects;
    std::vector<kvhid::EffectOperation> operations;
    for (const auto& r : records) {
        if (kvhid::reportId(r) == KVHID_REPORT_SET_CONDITION)
            conditions.push_back(kvhid::setCondition(r));
        else if (kvhid::reportId(r) == KVHID_REPORT_SET_EFFECT)
            effects.push_back(kvhid::setEffect(r));
        else if (kvhid::reportId(r) == KVHID_REPORT_EFFECT_OPERATION)
            operations.push_back(kvhid::effectOperation(r));
    }
    SCOPED_TRACE("reports:\n" + kvhid::describe(records));

    ASSERT_EQ(2u, conditions.size());
    for (int axis = 0; axis < 2; ++axis) {
        EXPECT_EQ(axis, conditions[axis].parameterOffset);
        EXPECT_EQ(axis == 0 ? 1000 : -2000, conditions[axis].offset);
        EXPECT_EQ(5000, conditions[axis].positive);
        EXPECT_EQ(5000, conditions[axis].negative);
        EXPECT_EQ(5000, conditions[axis].positiveSaturation);
        EXPECT_EQ(5000, conditions[axis].negativeSaturation);
        EXPECT_EQ(0, conditions[axis].deadBand);
    }
    ASSERT_EQ(1u, effects.size());
    EXPECT_EQ(KVHID_ET_SPRING, effects[0].type);
    EXPECT_EQ(conditions[0].block, effects[0].block);
    EXPECT_EQ(conditions[1].block, effects[0].block);
    // Wine 8 sets Direction Enable; it leaves the Axes Enable bits clear.
    EXPECT_EQ(0x4, effects[0].enableBits & 0x4);
    ASSERT_EQ(1u, operations.size());
    EXPECT_EQ(effects[0].block, operations[0].block);
    EXPECT_EQ(KVHID_OP_START, operations[0].operation);
    EXPECT_EQ(1, operations[0].loopCount);

    // A new centre sends only the changed condition records.
    const std::uint32_t beforeUpdate = stick.mark();
    describe(d, 2, 5000, 3000, -2000);
    ASSERT_EQ(DI_OK, effect->SetParameters(&d.effect, DIEP_TYPESPECIFICPARAMS));
    const auto update = reportsSince(beforeUpdate);
    SCOPED_TRACE("update:\n" + kvhid::describe(update));
    ASSERT_FALSE(update.empty());
    for (const auto& r : update)
        EXPECT_EQ(KVHID_REPORT_SET_CONDITION, kvhid::reportId(r));
    EXPECT_EQ(3000, kvhid::setCondition(update.front()).offset);
}

TEST_F(DirectInputDevice, StartBeforeAcquireIsRefusedAndSendsNothing)
{
    const std::uint32_t mark = stick.mark();
    Description d;
    describe(d, 2, 5000, 0, 0);
    // Created but not downloaded: the device is not acquired yet. Wine 8
    // answers DI_OK here, not DI_DOWNLOADSKIPPED.
    ASSERT_TRUE(SUCCEEDED(device->CreateEffect(GUID_Damper, &d.effect, &effect, nullptr)));
    EXPECT_EQ(DIERR_NOTEXCLUSIVEACQUIRED, effect->Start(1, 0));
    EXPECT_TRUE(reportsSince(mark).empty()) << kvhid::describe(reportsSince(mark));

    // Acquiring does not play it: only an explicit Start does.
    ASSERT_EQ(DI_OK, device->Acquire());
    const std::uint32_t acquired = stick.mark();
    EXPECT_EQ(DI_OK, effect->Start(1, 0));
    const auto after = reportsSince(acquired);
    SCOPED_TRACE("after acquire:\n" + kvhid::describe(after));
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(KVHID_REPORT_EFFECT_OPERATION, kvhid::reportId(after.back()));
    EXPECT_EQ(KVHID_OP_START, kvhid::effectOperation(after.back()).operation);
}

TEST_F(DirectInputDevice, StickInputReachesDeviceState)
{
    ASSERT_EQ(DI_OK, device->Acquire());
    kvhid_input input = {};
    input.x = 12345;
    input.y = -20000;
    input.hat = 3; // east
    input.buttons = (1u << 0) | (1u << 5) | (1u << 31);
    ASSERT_TRUE(stick.setInput(input));

    // hidclass polls the device on its own schedule: wait for the state.
    DIJOYSTATE2 state = {};
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    for (;;) {
        device->Poll();
        ASSERT_EQ(DI_OK, device->GetDeviceState(sizeof(state), &state));
        if (state.rgbButtons[31] == 0x80 || std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(20ms);
    }
    // Wine's default range is 0..65535 over the logical -32768..32767.
    EXPECT_EQ(12345 + 32768, state.lX);
    EXPECT_EQ(-20000 + 32768, state.lY);
    EXPECT_EQ(9000u, state.rgdwPOV[0]);
    EXPECT_EQ(0x80, state.rgbButtons[0]);
    EXPECT_EQ(0, state.rgbButtons[1]);
    EXPECT_EQ(0x80, state.rgbButtons[5]);
    EXPECT_EQ(0x80, state.rgbButtons[31]);
}

} // namespace
