// The work the main loop does between messages, and on its way out.
#pragma once

// One idle tick: the start-up opening of the devices on the first tick; on
// every later one the instantaneous trimmer, the progressive trimmer and the
// restart hotkey, in that order.
void runIdleTick();

// After the quit message: stops the six effects, releases DirectInput and
// writes the settings file.
void shutDownDevices();

// Serves messages, with an idle tick and a 50 ms sleep whenever none is
// waiting, until the quit message; then shuts the devices down and returns
// the quit message's exit code.
int runMainLoop();
