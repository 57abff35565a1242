// The one place the simulated DirectInput brings in DirectInput 8, so every
// file sees the same version of its structures.
#pragma once

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif

#include <windows.h>
#include <dinput.h>
