#include "tests/sim/sim_harness.h"

#ifndef KESTRA_SIM_DLL_PATH
#error "KESTRA_SIM_DLL_PATH names the simulated dinput8.dll under test"
#endif

namespace {

// The build gives a Linux path; Wine shows the Linux root as drive Z:.
std::wstring simDllPath()
{
    std::wstring path = L"Z:";
    for (const char* c = KESTRA_SIM_DLL_PATH; *c; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

const wchar_t* const simVariables[] = {L"KESTRA_SIM_CONFIG", L"KESTRA_SIM_INPUT", L"KESTRA_SIM_JOURNAL",
                                       L"KESTRA_SIM_FREE_RELEASED"};

BOOL CALLBACK collectDevice(const DIDEVICEINSTANCEW* instance, void* context)
{
    static_cast<std::vector<DIDEVICEINSTANCEW>*>(context)->push_back(*instance);
    return DIENUM_CONTINUE;
}

} // namespace

void SimTest::SetUp()
{
    for (const wchar_t* variable : simVariables)
        SetEnvironmentVariableW(variable, nullptr);
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    previousDirectory = current;
    ASSERT_TRUE(SetCurrentDirectoryW(folder.path().c_str()));

    window = CreateWindowExW(0, L"STATIC", L"sim test", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);

    // Loaded per test, so every test starts with fresh counters and serials.
    library = LoadLibraryW(simDllPath().c_str());
    ASSERT_NE(library, nullptr) << "cannot load the sim, error " << GetLastError();
    // Wine's own dinput8 exports DllGetClassObject and may be loaded under
    // the sim's path unless WINEDLLOVERRIDES puts native DLLs first.
    ASSERT_EQ(GetProcAddress(library, "DllGetClassObject"), nullptr)
        << "Wine's dinput8 was loaded in place of the sim; run with WINEDLLOVERRIDES=dinput8=n,b";
    // Through void(*)(), the generic function pointer type, to the real one.
    const auto found = reinterpret_cast<void (*)()>(GetProcAddress(library, "DirectInput8Create"));
    directInput8Create = reinterpret_cast<decltype(&DirectInput8Create)>(found);
    ASSERT_NE(directInput8Create, nullptr);
}

void SimTest::TearDown()
{
    if (library)
        FreeLibrary(library);
    if (window)
        DestroyWindow(window);
    for (const wchar_t* variable : simVariables)
        SetEnvironmentVariableW(variable, nullptr);
    // The folder cannot be removed while it is the working directory.
    SetCurrentDirectoryW(previousDirectory.c_str());
}

void SimTest::write(const wchar_t* name, const std::string& text) const
{
    folder.write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    // The sim looks at its input at most every 10 ms; the next read must see
    // this.
    Sleep(15);
}

std::vector<std::string> SimTest::journal() const
{
    std::vector<std::string> lines;
    HANDLE file = CreateFileW(folder.file(L"sim-journal.txt").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lines;
    std::string text(1 << 20, '\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
    text.resize(read);
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        lines.push_back(line.substr(line.find(' ') + 1));
    }
    return lines;
}

std::vector<std::string> SimTest::journalOf(const std::string& prefix) const
{
    std::vector<std::string> found;
    for (const std::string& line : journal()) {
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line);
    }
    return found;
}

std::string SimTest::lastJournalOf(const std::string& prefix) const
{
    const std::vector<std::string> found = journalOf(prefix);
    return found.empty() ? std::string("(no line \"" + prefix + "\")") : found.back();
}

IDirectInput8W* SimTest::createDirectInput()
{
    void* created = nullptr;
    directInput8Create(GetModuleHandleW(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8W, &created, nullptr);
    return static_cast<IDirectInput8W*>(created);
}

std::vector<DIDEVICEINSTANCEW> SimTest::enumerate(IDirectInput8W* directInput, DWORD flags)
{
    std::vector<DIDEVICEINSTANCEW> devices;
    EXPECT_EQ(directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, collectDevice, &devices, flags), DI_OK);
    return devices;
}

IDirectInputDevice8W* SimTest::openDevice(IDirectInput8W* directInput, std::size_t position)
{
    const std::vector<DIDEVICEINSTANCEW> devices = enumerate(directInput);
    IDirectInputDevice8W* device = nullptr;
    if (position < devices.size())
        directInput->CreateDevice(devices[position].guidInstance, &device, nullptr);
    return device;
}

HRESULT SimTest::prepare(IDirectInputDevice8W* device)
{
    const HRESULT hr = device->SetDataFormat(&c_dfDIJoystick2);
    return FAILED(hr) ? hr : device->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_BACKGROUND);
}

HRESULT SimTest::prepareAndAcquire(IDirectInputDevice8W* device)
{
    const HRESULT hr = prepare(device);
    return FAILED(hr) ? hr : device->Acquire();
}

DIJOYSTATE2 SimTest::read(IDirectInputDevice8W* device)
{
    DIJOYSTATE2 state = {};
    EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
    return state;
}

ConditionEffect::ConditionEffect(LONG coefficient, DWORD saturation, LONG offsetX, LONG offsetY)
{
    const LONG offsets[3] = {offsetX, offsetY, 0};
    for (int i = 0; i < 3; ++i)
        records[i] = {offsets[i], coefficient, coefficient, saturation, saturation, 0};
    effect.dwSize = sizeof(DIEFFECT);
    effect.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    effect.dwDuration = INFINITE;
    effect.dwGain = DI_FFNOMINALMAX;
    effect.dwTriggerButton = DIEB_NOTRIGGER;
    effect.cAxes = 2;
    effect.rgdwAxes = axes;
    effect.rglDirection = directions;
    effect.cbTypeSpecificParams = 2 * sizeof(DICONDITION);
    effect.lpvTypeSpecificParams = records;
}

#if defined(__GNUC__)
__attribute__((no_sanitize("alignment")))
#endif
HRESULT switchAutoCenterOff(IDirectInputDevice8W* device)
{
    DIPROPDWORD autoCenter = {};
    autoCenter.diph.dwSize = sizeof(DIPROPDWORD);
    autoCenter.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    autoCenter.diph.dwHow = DIPH_DEVICE;
    autoCenter.dwData = DIPROPAUTOCENTER_OFF;
    return device->SetProperty(DIPROP_AUTOCENTER, &autoCenter.diph);
}

DWORD effectStatus(IDirectInputEffect* effect)
{
    DWORD status = 0xFFFF;
    effect->GetEffectStatus(&status);
    return status;
}
