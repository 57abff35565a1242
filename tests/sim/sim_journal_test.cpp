// The journal other programs read: the shape of its lines, and calls on
// objects already released.
#include "tests/sim/sim_harness.h"

#include <malloc.h>

#include <cstdio>

namespace {

using SimJournal = SimTest;

BOOL CALLBACK openEach(const DIDEVICEINSTANCEW* instance, void* context)
{
    auto* directInput = static_cast<IDirectInput8W*>(context);
    IDirectInputDevice8W* device = nullptr;
    if (SUCCEEDED(directInput->CreateDevice(instance->guidInstance, &device, nullptr)))
        device->Release();
    return DIENUM_CONTINUE;
}

// The bytes in use in the C runtime's heap, which the sim's objects come from
// too; 0 when the heap cannot be walked.
long long heapInUse()
{
    _HEAPINFO entry = {};
    long long used = 0;
    int status;
    while ((status = _heapwalk(&entry)) == _HEAPOK) {
        if (entry._useflag == _USEDENTRY)
            used += static_cast<long long>(entry._size);
    }
    return status == _HEAPEND ? used : 0;
}

TEST_F(SimJournal, KestrasCallsAreJournaledInTheirFixedShape)
{
    IDirectInput8W* directInput = createDirectInput();
    ASSERT_NE(directInput, nullptr);
    ASSERT_EQ(directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, openEach, directInput, DIEDFL_ATTACHEDONLY), DI_OK);
    IDirectInputDevice8W* device = openDevice(directInput);
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(prepare(device), DI_OK);
    EXPECT_EQ(switchAutoCenterOff(device), DI_OK);
    ConditionEffect spring(5000, 5000, -250, 0);
    spring.effect.cAxes = 1;
    spring.effect.cbTypeSpecificParams = sizeof(DICONDITION);
    IDirectInputEffect* effect = nullptr;
    ASSERT_EQ(device->CreateEffect(GUID_Spring, &spring.effect, &effect, nullptr), DI_OK);
    ASSERT_EQ(device->Acquire(), DI_OK);
    ASSERT_EQ(effect->Start(1, 0), DI_OK);
    EXPECT_EQ(effect->Release(), 0u);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(directInput->Release(), 0u);

    char window[32];
    std::snprintf(window, sizeof window, "0x%llX",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(this->window)));
    const std::vector<std::string> expected = {
        "DirectInput8Create version=0x800 iid=IDirectInput8W -> 0x00000000",
        // A callback's calls come before the line of the call that made it.
        "dinput CreateDevice dev=0 name=\"Kestra Sim Stick\" -> 0x00000000",
        "dev0 Release refs=0 -> 0x00000000",
        "dinput EnumDevices class=4 flags=0x1 devices=1 -> 0x00000000",
        "dinput EnumDevices class=4 flags=0x1 devices=1 -> 0x00000000",
        "dinput CreateDevice dev=0 name=\"Kestra Sim Stick\" -> 0x00000000",
        "dev0 SetDataFormat format=joystick2 -> 0x00000000",
        "dev0 SetCooperativeLevel window=" + std::string(window) + " flags=0x9 valid=1 -> 0x00000000",
        "dev0 SetProperty prop=9 how=0 obj=0 data=0 -> 0x00000000",
        "dev0 CreateEffect eff=1 type=spring axes=1 axis=0 dir=0 duration=4294967295 gain=10000 "
        "trigger=4294967295 records=1 offset=-250 pos=5000 neg=5000 possat=5000 negsat=5000 deadband=0 -> 0x00000000",
        "dev0 Acquire -> 0x00000000",
        "eff1 Start iterations=1 flags=0x0 -> 0x00000000",
        "dev0 force x=32767 y=32767 centre=-250,- spring=5000 playing=1 fx=-125 fy=0",
        "eff1 Release refs=0 -> 0x00000000",
        "dev0 force x=32767 y=32767 centre=- spring=- playing=- fx=0 fy=0",
        "dev0 Release refs=0 -> 0x00000000",
        "dinput Release refs=0 -> 0x00000000",
    };
    EXPECT_EQ(journal(), expected);
}

TEST_F(SimJournal, MillisecondsSinceLoadLeadEveryLine)
{
    IDirectInput8W* directInput = createDirectInput();
    ASSERT_NE(directInput, nullptr);
    // Let the clock advance visibly between the two lines.
    const ULONGLONG created = GetTickCount64();
    while (GetTickCount64() < created + 30)
        Sleep(1);
    directInput->Release();
    const std::vector<std::uint8_t> bytes = folder.read(L"sim-journal.txt");
    const std::string text(bytes.begin(), bytes.end());
    long long first = -1, second = -1;
    ASSERT_EQ(std::sscanf(text.c_str(), "%lld DirectInput8Create %*[^\n]\n%lld dinput", &first, &second), 2) << text;
    EXPECT_GE(first, 0);
    EXPECT_GE(second - first, 25) << first << " then " << second;
}

TEST_F(SimJournal, CallsOnReleasedObjectsAreErrors)
{
    IDirectInput8W* directInput = createDirectInput();
    IDirectInputDevice8W* device = openDevice(directInput);
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(prepareAndAcquire(device), DI_OK);
    const ConditionEffect damper(5000, 5000);
    IDirectInputEffect* kept = nullptr;
    IDirectInputEffect* released = nullptr;
    ASSERT_EQ(device->CreateEffect(GUID_Damper, &damper.effect, &kept, nullptr), DI_OK);
    ASSERT_EQ(device->CreateEffect(GUID_Damper, &damper.effect, &released, nullptr), DI_OK);

    EXPECT_EQ(released->Release(), 0u);
    EXPECT_EQ(released->Start(1, 0), E_POINTER);
    EXPECT_EQ(lastJournalOf("eff2 Start"), "eff2 Start iterations=1 flags=0x0 error=released -> 0x80004003");
    EXPECT_EQ(released->Release(), 0u);
    EXPECT_EQ(lastJournalOf("eff2 Release"), "eff2 Release error=released -> 0x80004003");

    // An effect outliving its device plays no more.
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(kept->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED);
    EXPECT_EQ(lastJournalOf("eff1 Start"), "eff1 Start iterations=1 flags=0x0 device=released -> 0x80040205");
    EXPECT_EQ(device->Poll(), E_POINTER);
    EXPECT_EQ(lastJournalOf("dev0 Poll"), "dev0 Poll error=released -> 0x80004003");
    EXPECT_EQ(kept->Release(), 0u);

    EXPECT_EQ(directInput->Release(), 0u);
    EXPECT_EQ(directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, openEach, directInput, 0), E_POINTER);
    EXPECT_EQ(lastJournalOf("dinput EnumDevices"), "dinput EnumDevices class=4 flags=0x0 error=released -> 0x80004003");
}

TEST_F(SimJournal, EnvironmentVariablesMoveTheFiles)
{
    write(L"elsewhere-config.txt", "device \"Moved Stick\" ffb\n");
    write(L"elsewhere-input.txt", "0 x=1234\n");
    SetEnvironmentVariableW(L"KESTRA_SIM_CONFIG", folder.file(L"elsewhere-config.txt").c_str());
    SetEnvironmentVariableW(L"KESTRA_SIM_INPUT", folder.file(L"elsewhere-input.txt").c_str());
    SetEnvironmentVariableW(L"KESTRA_SIM_JOURNAL", folder.file(L"elsewhere-journal.txt").c_str());
    IDirectInput8W* directInput = createDirectInput();
    IDirectInputDevice8W* device = openDevice(directInput);
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(prepareAndAcquire(device), DI_OK);
    EXPECT_EQ(read(device).lX, 1234);
    device->Release();
    directInput->Release();

    const std::vector<std::uint8_t> moved = folder.read(L"elsewhere-journal.txt");
    EXPECT_NE(std::string(moved.begin(), moved.end()).find("name=\"Moved Stick\""), std::string::npos);
    EXPECT_TRUE(journal().empty()) << "sim-journal.txt was written too";
}

TEST_F(SimJournal, WithTheJournalSentToNulTheStickStillWorks)
{
    SetEnvironmentVariableW(L"KESTRA_SIM_JOURNAL", L"nul");
    write(L"sim-input.txt", "0 x=1234\n");
    IDirectInput8W* directInput = createDirectInput();
    IDirectInputDevice8W* device = openDevice(directInput);
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(prepareAndAcquire(device), DI_OK);
    EXPECT_EQ(read(device).lX, 1234) << "the stick works without a journal";
    device->Release();
    directInput->Release();

    // The variables are read again at the next creation.
    SetEnvironmentVariableW(L"KESTRA_SIM_JOURNAL", nullptr);
    directInput = createDirectInput();
    directInput->Release();
    EXPECT_EQ(journal(), (std::vector<std::string>{
                             "DirectInput8Create version=0x800 iid=IDirectInput8W -> 0x00000000",
                             "dinput Release refs=0 -> 0x00000000",
                         }));
}

TEST_F(SimJournal, FreeReleasedModeLeavesNothingBehindARestart)
{
    // One restart as Kestra makes it: six effects on an exclusively acquired
    // stick, released to zero in the order effects, device, DirectInput.
    const ConditionEffect description(5000, 5000);
    const GUID* const types[6] = {&GUID_Damper, &GUID_Damper, &GUID_Friction,
                                  &GUID_Friction, &GUID_Spring, &GUID_Spring};
    const auto restart = [&] {
        IDirectInput8W* directInput = createDirectInput();
        if (!directInput)
            return false;
        IDirectInputDevice8W* device = openDevice(directInput);
        bool fine = device && prepareAndAcquire(device) == DI_OK;
        IDirectInputEffect* effects[6] = {};
        for (int i = 0; fine && i < 6; ++i)
            fine = device->CreateEffect(*types[i], &description.effect, &effects[i], nullptr) == DI_OK;
        for (IDirectInputEffect* effect : effects)
            fine = (!effect || effect->Release() == 0) && fine;
        fine = (!device || device->Release() == 0) && fine;
        return directInput->Release() == 0 && fine;
    };

    // The zombies of the default mode show in the heap: the measure sees them.
    ASSERT_TRUE(restart());  // anything made once per process is made now
    const long long zombiesBefore = heapInUse();
    ASSERT_GT(zombiesBefore, 0) << "_heapwalk cannot walk the C runtime's heap";
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(restart()) << "default mode, restart " << i;
    EXPECT_GT(heapInUse() - zombiesBefore, 20 * 1024) << "20 restarts' zombies";

    SetEnvironmentVariableW(L"KESTRA_SIM_FREE_RELEASED", L"1");
    ASSERT_TRUE(restart());
    const long long before = heapInUse();
    int failed = 0;
    for (int i = 0; i < 200; ++i)
        failed += restart() ? 0 : 1;
    const long long growth = heapInUse() - before;
    EXPECT_EQ(failed, 0);
    EXPECT_LT(growth, 16 * 1024) << "200 restarts that should free everything";

    // A device released before its effects stays for them until the last.
    {
        IDirectInput8W* directInput = createDirectInput();
        IDirectInputDevice8W* device = openDevice(directInput);
        ASSERT_NE(device, nullptr);
        ASSERT_EQ(prepareAndAcquire(device), DI_OK);
        IDirectInputEffect* effects[6] = {};
        for (int i = 0; i < 6; ++i)
            ASSERT_EQ(device->CreateEffect(*types[i], &description.effect, &effects[i], nullptr), DI_OK);
        EXPECT_EQ(device->Release(), 0u);
        EXPECT_EQ(directInput->Release(), 0u);
        for (IDirectInputEffect* effect : effects) {
            EXPECT_EQ(effect->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED);
            EXPECT_EQ(effect->Release(), 0u);
        }
        EXPECT_NE(lastJournalOf("eff").find("device=released"), std::string::npos) << lastJournalOf("eff");
    }
    EXPECT_LT(heapInUse() - before, 16 * 1024) << "a device released before its effects";

    // Every Release of the 223 restarts reached zero references.
    std::size_t releases = 0;
    for (const std::string& line : journal()) {
        if (line.find(" Release ") == std::string::npos)
            continue;
        ++releases;
        EXPECT_NE(line.find("refs=0 -> 0x00000000"), std::string::npos) << line;
    }
    EXPECT_EQ(releases, 223u * 8u);
}

} // namespace
