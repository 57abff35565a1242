#include "tests/support/kestra_fixture.h"

#include "ffb/clock.h"
#include "ffb/discovery.h"
#include "ffb/effects.h"
#include "settings/settings_file.h"

#include <cstring>
#include <functional>
#include <type_traits>

namespace {

std::vector<std::function<void()>> restorers;

// A copy of each variable, put back by assignment, or byte for byte where it cannot be assigned (arrays).
template <class... T>
void remember(T&... variables)
{
    const auto one = [](auto& variable) {
        using V = std::remove_reference_t<decltype(variable)>;
        if constexpr (std::is_copy_assignable_v<V>) {
            restorers.push_back([&variable, saved = variable] { variable = saved; });
        } else {
            static_assert(std::is_trivially_copyable_v<V>);
            std::vector<unsigned char> saved(sizeof(V));
            std::memcpy(saved.data(), &variable, sizeof(V));
            restorers.push_back([&variable, saved] { std::memcpy(&variable, saved.data(), sizeof(V)); });
        }
    };
    (one(variables), ...);
}

} // namespace

void KestraFixture::SetUp()
{
    // Taken at the first test, before any test has touched the program, and put back before each: every test starts
    // from the program's own start-up state. The list is every global app/state.h declares, read from it at build time.
    if (restorers.empty())
        remember(KESTRA_STATE_GLOBALS);
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
