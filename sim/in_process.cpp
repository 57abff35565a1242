#include "sim/in_process.h"

#include "sim/device.h"
#include "sim/direct_input.h"
#include "sim/faults.h"
#include "sim/journal.h"
#include "sim/sim_files.h"
#include "sim/sim_object.h"

namespace {

SimConfig given;

} // namespace

void simReset(const std::string& config)
{
    useNoFiles();
    given = parseConfig(config);
    forgetCallCounts();
    forgetDiscoveries();
    forgetDevices();
    forgetStickInput();
    SimObject::forgetObjects();
    memoryJournal().clear();
    memoryJournalWatcher() = nullptr;
}

HRESULT WINAPI simDirectInput8Create(HINSTANCE, DWORD version, REFIID iid, LPVOID* out, LPUNKNOWN outer)
{
    // As the DLL reads its file again: bad lines are journaled each time.
    useConfig(given);
    return createSimDirectInput(version, iid, out, outer);
}

void simSetInput(int device, const StickInput& input)
{
    setStickInput(device, input);
}

void simSetPluggedIn(int device, bool plugged, bool asNewDevice)
{
    setPluggedIn(device, plugged, asNewDevice);
}

std::vector<std::string> simJournal()
{
    return memoryJournal();
}

void simClearJournal()
{
    memoryJournal().clear();
}

void simWatchJournal(std::function<void(const std::string&)> watcher)
{
    memoryJournalWatcher() = std::move(watcher);
}

std::vector<std::string> simHeldObjects()
{
    std::vector<std::string> held;
    for (const SimObject* object : SimObject::objects()) {
        if (!object->released())
            held.push_back(object->label);
    }
    return held;
}

std::string simLabel(const IUnknown* object)
{
    for (const SimObject* made : SimObject::objects()) {
        if (made->handedOut() == object)
            return made->label;
    }
    return "";
}

int simCallsOnReleased()
{
    return SimObject::callsOnReleased();
}
