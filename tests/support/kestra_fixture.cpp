#include "tests/support/kestra_fixture.h"

#include "ffb/clock.h"
#include "ffb/discovery.h"
#include "ffb/effects.h"
#include "settings/settings_file.h"
#include "tests/support/kestra_process.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <type_traits>

namespace {

std::vector<std::function<void()>> restorers;

std::string remembered = " keyCodeList,";  // " name," each

template <class... T>
void remember(const std::string& names, T&... variables)
{
    remembered += " " + names + ",";
    const auto one = [](auto& variable) {
        using V = std::remove_reference_t<decltype(variable)>;
        static_assert(std::is_trivially_copyable_v<V>);
        std::vector<unsigned char> saved(sizeof(V));
        std::memcpy(saved.data(), &variable, sizeof(V));
        restorers.push_back([&variable, saved] { std::memcpy(&variable, saved.data(), sizeof(V)); });
    };
    (one(variables), ...);
}

// The names go with the variables, so that a global of app/state.h left out of the list fails every test.
#define REMEMBER(...) remember(#__VA_ARGS__, __VA_ARGS__)

// Taken at the first test, before any test has touched the program, and put back before each: every test starts from
// the program's own start-up state.
void rememberStartUpState()
{
    REMEMBER(Settings, uiSettings, instantTrimOn, progressiveTrimOn, initPending, armedHotkey, devicesShutDown,
             devicesArrived, deviceNotification, forcesOn, trimLatched, trimX, trimY,
             lastTogglePressMs, prevToggleRaw, joyState, buttonState, ffAxisCount, springEffect, damperEffect,
             frictionEffect, springEffect2, damperEffect2, frictionEffect2, ffbDevice, directInput, deviceCount,
             DeviceList, storedSettingsKnown, deviceCombo, povDeviceCombo, holdCombo, toggleCombo, centerCombo,
             springEdit, springSlider, damperEdit, damperSlider, frictionEdit, frictionSlider, springEdit2,
             springSlider2, damperEdit2, damperSlider2, frictionEdit2, frictionSlider2, swapAxesCheck, reinitKeyCombo,
             mainWindow, mainMenu, instance, windowClassName, windowTitle);
    restorers.push_back([] { keyCodeList.clear(); });
    std::ifstream header(onDriveZ(KESTRA_STATE_HEADER));
    ASSERT_TRUE(header) << "cannot read " << KESTRA_STATE_HEADER;
    for (std::string line; std::getline(header, line);) {
        if (line.rfind("extern ", 0) != 0 || line.find('(') != std::string::npos)
            continue;
        std::string declared = line.substr(0, std::min(line.find(';'), line.find('[')));
        declared.erase(declared.find_last_not_of(' ') + 1);
        const std::string name = declared.substr(declared.find_last_of(" *&") + 1);
        EXPECT_NE(remembered.find(" " + name + ","), std::string::npos)
            << name << " of app/state.h is not reset before each test";
    }
}

} // namespace

void KestraFixture::SetUp()
{
    if (restorers.empty())
        rememberStartUpState();
    for (const auto& restore : restorers)
        restore();
    simReset(oneStick);
    createDirectInput = simDirectInput8Create;
    showMessageBox = [](HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
        messageBoxes.push_back({owner, text, caption, style});
        return IDOK;
    };
    messageBoxes.clear();
    nowMs = 0;  // the system just started: a first press must still count
    steadyClockMs = [] { return nowMs; };
}

void KestraFixture::TearDown()
{
    releaseDirectInput();
    EXPECT_EQ(simCallsOnReleased(), 0) << "a call reached an object already released";
    steadyClockMs = systemSteadyClockMs;
    createDirectInput = DirectInput8Create;
    showMessageBox = MessageBoxW;
}

void KestraFixture::open(const std::string& config)
{
    releaseDirectInput();
    simReset(config);
    initDirectInput();
    for (int i = 0; i < deviceCount; ++i)
        DeviceList[i].device->Acquire();
    startFirstSet();
    simClearJournal();
}

std::vector<SimCall> KestraFixture::calls(const std::string& method, const std::string& object)
{
    std::vector<SimCall> found;
    for (const SimCall& call : parseSimCalls(simJournal()))
        if ((method.empty() || call.method == method) && (object.empty() || call.object == object))
            found.push_back(call);
    return found;
}

void KestraFixture::setInput(int device, const std::string& buttons, LONG x, LONG y, DWORD pov)
{
    StickInput input{x, y, pov};
    for (std::size_t i = 0; i < buttons.size() && i < simButtonCount; ++i)
        input.buttons[i] = buttons[i] == '1' ? 0x80 : buttons[i] == 'x' ? 0x81 : 0;
    simSetInput(device, input);
}

std::vector<std::uint8_t> settingsFileOf(const SettingsRecord& record)
{
    std::uint8_t bytes[settingsFileSize];
    encodeSettingsFile(record, bytes);
    return std::vector<std::uint8_t>(bytes, bytes + settingsFileSize);
}
