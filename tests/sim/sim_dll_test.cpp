// The DLL itself, loaded as Kestra loads it: its exports, the files the
// environment names, and freeing what is released. The end-to-end tests use
// it with the files' default names.
#include "tests/sim/sim_harness.h"
#include "tests/support/test_folder.h"

#include <malloc.h>

#include <cstdio>
#include <memory>

namespace {

// The bytes in use in the C runtime's heap, which the sim's objects come from
// too; 0 when the heap cannot be walked.
long long heapInUse()
{
    _HEAPINFO entry = {};
    long long used = 0;
    int status;
    while ((status = _heapwalk(&entry)) == _HEAPOK)
        used += entry._useflag == _USEDENTRY ? static_cast<long long>(entry._size) : 0;
    return status == _HEAPEND ? used : 0;
}

struct SimDll : SimTest {
    void SetUp() override {}  // no sim in process

    // A run as Kestra makes one: the first stick acquired and read, six
    // effects made, everything released to zero, the device before its
    // effects if asked. The stick's x, or -1 when a step failed.
    LONG run(bool deviceFirst = false)
    {
        if (create(GetModuleHandleW(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8W,
                   reinterpret_cast<void**>(&directInput), nullptr) != DI_OK ||
            prepare(device = openDevice()) != DI_OK)
            return -1;
        const LONG x = read(device).lX;
        const ConditionEffect description(5000, 5000);
        IDirectInputEffect* effects[6] = {};
        for (IDirectInputEffect*& effect : effects) {
            if (device->CreateEffect(GUID_Spring, &description.effect, &effect, nullptr) != DI_OK)
                return -1;
        }
        // Effects still held keep a released device, which they play on no more.
        bool fine = !deviceFirst || device->Release() == 0;
        for (IDirectInputEffect* effect : effects) {
            fine = (!deviceFirst || effect->Start(1, 0) == static_cast<HRESULT>(DIERR_NOTEXCLUSIVEACQUIRED)) &&
                   effect->Release() == 0 && fine;
        }
        fine = (deviceFirst || device->Release() == 0) && directInput->Release() == 0 && fine;
        return fine ? x : -1;
    }

    decltype(&DirectInput8Create) create = nullptr;
};

TEST_F(SimDll, UsesTheFilesTheEnvironmentNamesAndFreesWhatIsReleasedIfAsked)
{
    const TestFolder folder;
    const auto set = [&](const wchar_t* variable, const wchar_t* file) {
        SetEnvironmentVariableW(variable, file && *file ? folder.file(file).c_str() : file);
    };
    set(L"KESTRA_SIM_CONFIG", L"config.txt");
    set(L"KESTRA_SIM_INPUT", L"input.txt");
    set(L"KESTRA_SIM_JOURNAL", L"journal.txt");
    set(L"KESTRA_SIM_FREE_RELEASED", nullptr);
    // The build gives a Linux path; Wine shows the Linux root as drive Z:.
    std::wstring path = L"Z:";
    for (const char* c = KESTRA_SIM_DLL_PATH; *c; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    // Unloaded at the end, so that a repeated run starts afresh.
    const std::unique_ptr<HINSTANCE__, decltype(&FreeLibrary)> dll(LoadLibraryW(path.c_str()), FreeLibrary);
    ASSERT_NE(dll, nullptr) << "cannot load the sim, error " << GetLastError();
    // Wine's own dinput8 exports DllGetClassObject, and is loaded under the
    // sim's path unless WINEDLLOVERRIDES puts native DLLs first.
    ASSERT_EQ(GetProcAddress(dll.get(), "DllGetClassObject"), nullptr) << "run with WINEDLLOVERRIDES=dinput8=n,b";
    EXPECT_NE(GetProcAddress(dll.get(), "DllCanUnloadNow"), nullptr);
    // Through void(*)(), the generic function pointer type, to the real one.
    create = reinterpret_cast<decltype(create)>(
        reinterpret_cast<void (*)()>(GetProcAddress(dll.get(), "DirectInput8Create")));
    ASSERT_NE(create, nullptr);

    // A line that does not parse, or no file, keeps the last state; keys
    // left out take their resting values.
    const auto write = [&](const wchar_t* name, const std::string& text) {
        folder.write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    };
    write(L"config.txt", "device \"Here\" ffb");
    for (const auto& [input, x] : std::initializer_list<std::pair<std::string, LONG>>{
             {"0 x=1111 y=7", 1111}, {"0 x=70000", 1111}, {"0 x=1 y=", 1111}, {"0 buttons=2", 1111},
             {"", 1111}, {"0 y=5", 32767}}) {
        if (input.empty())
            DeleteFileW(folder.file(L"input.txt").c_str());
        else
            write(L"input.txt", input);
        Sleep(15);  // the input file is looked at no more than every 10 ms
        EXPECT_EQ(run(), x) << "after input \"" << input << "\"";
    }
    // Milliseconds since the DLL's load lead every line. The variables are
    // read at each creation: NUL keeps no journal.
    Sleep(30);
    EXPECT_EQ(run(), 32767);
    const std::vector<std::uint8_t> bytes = folder.read(L"journal.txt");
    set(L"KESTRA_SIM_JOURNAL", L"nul");
    EXPECT_EQ(run(), 32767);
    EXPECT_EQ(folder.read(L"journal.txt").size(), bytes.size()) << "journaled with KESTRA_SIM_JOURNAL=nul";
    const std::string journal(bytes.begin(), bytes.end());
    EXPECT_NE(journal.find(" dinput CreateDevice dev=0 name=\"Here\" -> 0x00000000\n"), std::string::npos);
    long long first = -1, last = -1;
    ASSERT_EQ(std::sscanf(journal.c_str(), "%lld DirectInput8Create ", &first), 1) << journal;
    ASSERT_EQ(std::sscanf(&journal[journal.rfind('\n', journal.size() - 2) + 1], "%lld dinput Release ", &last), 1);
    EXPECT_GE(last - first, 25) << journal;

    // The zombies of the default mode show in the heap: the measure sees them.
    const long long zombiesBefore = heapInUse();
    ASSERT_GT(zombiesBefore, 0) << "_heapwalk cannot walk the C runtime's heap";
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(run(), 32767) << "default mode, run " << i;
    EXPECT_GT(heapInUse() - zombiesBefore, 20 * 1024) << "20 runs' zombies";
    SetEnvironmentVariableW(L"KESTRA_SIM_FREE_RELEASED", L"1");
    ASSERT_EQ(run(), 32767);  // anything made once per process is made now
    const long long before = heapInUse();
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(run(i % 2 == 1), 32767) << "freeing mode, run " << i;
    EXPECT_LT(heapInUse() - before, 16 * 1024) << "200 runs that should free everything";
    for (const wchar_t* variable : {L"KESTRA_SIM_CONFIG", L"KESTRA_SIM_INPUT", L"KESTRA_SIM_JOURNAL"})
        set(variable, nullptr);
    set(L"KESTRA_SIM_FREE_RELEASED", nullptr);
}

} // namespace
