// The DLL's exports: what a program finds when it loads this dinput8.dll in
// place of the system's.
#include "sim/config.h"
#include "sim/dinput_api.h"
#include "sim/direct_input.h"
#include "sim/faults.h"
#include "sim/journal.h"
#include "sim/sim_files.h"

extern "C" HRESULT WINAPI DirectInput8Create(HINSTANCE, DWORD version, REFIID iid, LPVOID* out, LPUNKNOWN outer)
{
    // Read at every creation, so a test can change them between restarts.
    rereadEnvironment();
    loadConfig();
    resetCallCounts();

    CallLine line("", "DirectInput8Create");
    line.hex("version", version);
    line.text("iid", interfaceName(iid));
    if (out)
        *out = nullptr;
    HRESULT hr;
    if (injectedFailure("DirectInput8Create", -1, hr))
        return line.finish(hr);
    if (!out)
        return line.finish(E_POINTER);
    if (outer)
        return line.finish(CLASS_E_NOAGGREGATION);
    if (version < 0x0800)
        return line.finish(DIERR_OLDDIRECTINPUTVERSION);
    if (version > 0x0800)
        return line.finish(DIERR_BETADIRECTINPUTVERSION);
    // Only the wide interface is simulated; Kestra is a UNICODE program.
    if (!IsEqualIID(iid, IID_IDirectInput8W) && !IsEqualIID(iid, IID_IUnknown))
        return line.finish(E_NOINTERFACE);
    *out = static_cast<IDirectInput8W*>(new SimDirectInput(freeReleasedObjects()));
    return line.finish(DI_OK);
}

// Objects handed out are kept as zombies, or, with KESTRA_SIM_FREE_RELEASED,
// may still be held: the DLL must stay loaded either way.
extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return S_FALSE;
}
