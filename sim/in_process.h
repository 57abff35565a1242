// The simulated stick called directly by a test program that links
// kestra_sim_core: no DLL and no files. Each test begins with simReset.
#pragma once

#include "sim/config.h"      // simDefaultConfig: the one stick the DLL has without sim-config.txt
#include "sim/input_file.h"  // StickInput

#include <functional>
#include <string>
#include <vector>

// A clean start: the configuration from text in sim-config.txt's syntax (""
// has no devices); every call count, DirectInput8Create's and EnumDevices'
// too, at zero; effects numbered from 1; every device at rest; the journal
// kept in memory and empty, and no watcher. Objects made before answer every
// call as released ones do.
void simReset(const std::string& config);

// DirectInput8Create as the DLL exports it, with simReset's configuration.
HRESULT WINAPI simDirectInput8Create(HINSTANCE, DWORD version, REFIID iid, LPVOID* out, LPUNKNOWN outer);

// What the device's next fetch (a Poll, or a GetDeviceState with no Poll
// before it) reads.
void simSetInput(int device, const StickInput& input);

// Pulls a controller out, as a USB cable is, or plugs it back in: while it is
// out it is not enumerated, Acquire returns DIERR_UNPLUGGED, the first Poll or
// GetDeviceState of an acquired object DIERR_INPUTLOST, and its effects are
// stopped and unloaded. Plugged in again, its objects acquire again; plugged
// in as a new device, as into another USB port, only objects made after that
// do, and those made before answer DIERR_UNPLUGGED.
void simSetPluggedIn(int device, bool pluggedIn, bool asNewDevice = false);

// The journal's lines since the reset or the last clear, as in
// sim-journal.txt without the milliseconds.
std::vector<std::string> simJournal();
void simClearJournal();
// Called with each line as it is journaled, so a test can look at the
// program at that moment; until the next reset.
void simWatchJournal(std::function<void(const std::string&)> watcher);

// The labels ("dinput", "dev0", "eff1") of the objects made since the reset
// that are still held, in the order they were made.
std::vector<std::string> simHeldObjects();
// The label of an object made since the reset; "" for any other.
std::string simLabel(const IUnknown* object);
// Calls since the reset on objects already released to zero, a Release below
// zero among them: each is the caller's fault, and journaled error=released.
int simCallsOnReleased();
