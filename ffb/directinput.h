// The one place that brings in DirectInput 8, so every file sees the same
// version of its structures.
#pragma once

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif

#include <windows.h>
#include <dinput.h>

// Each COM pointer is released by its owner through this and left null, so a
// second release of the same object does nothing.
template <class Interface>
void releaseAndNull(Interface*& object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}
