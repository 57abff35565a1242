// The DLL's exports: what a program finds when it loads this dinput8.dll in
// place of the system's.
#include "sim/config.h"
#include "sim/dinput_api.h"
#include "sim/direct_input.h"
#include "sim/sim_files.h"

extern "C" HRESULT WINAPI DirectInput8Create(HINSTANCE, DWORD version, REFIID iid, LPVOID* out, LPUNKNOWN outer)
{
    // Read at every creation, so a test can change them between restarts.
    rereadEnvironment();
    loadConfig();
    return createSimDirectInput(version, iid, out, outer);
}

// Objects handed out are kept as zombies, or, with KESTRA_SIM_FREE_RELEASED,
// may still be held: the DLL must stay loaded either way.
extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return S_FALSE;
}
