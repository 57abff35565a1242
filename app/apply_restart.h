// Opening the controllers and bringing the window in line with the settings.
#pragma once

// The start-up form runs once, on the first idle tick, and also fills the
// hotkey list. The restart form first releases everything and writes the
// settings file, which discovery then reads back.
void applyAndRestart(bool startup);

// The restart form, run by the program itself when a controller arrives: it
// shows no message box.
void rediscoverDevices();
