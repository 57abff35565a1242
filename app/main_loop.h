// The work the main loop does between messages, and on its way out.
#pragma once

// One idle tick: the start-up opening of the devices on the first tick; on
// every later one the watch of the force-feedback stick, a discovery if a
// controller arrived while there was no such stick, the instantaneous
// trimmer, the progressive trimmer and the restart hotkey, in that order.
// Nothing once the devices are shut down.
void runIdleTick();

// The way out: stops the six effects, releases DirectInput and writes the
// settings file, after a 100 ms pause. Runs once; later calls do nothing.
void shutDownDevices();

// Serves messages, with an idle tick and a 50 ms sleep whenever none is
// waiting, until the quit message; then shuts the devices down, unless the
// window already did, and returns the quit message's exit code.
int runMainLoop();
