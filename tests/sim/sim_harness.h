// The simulated dinput8.dll, loaded afresh for each test and run in a folder
// of the test's own that holds its configuration, input and journal.
#pragma once

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif

#include "tests/support/test_folder.h"

#include <windows.h>
#include <dinput.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void write(const wchar_t* name, const std::string& text) const;
    // The journal's lines without their leading milliseconds.
    std::vector<std::string> journal() const;
    // Those starting with prefix, such as "dev0 force".
    std::vector<std::string> journalOf(const std::string& prefix) const;
    std::string lastJournalOf(const std::string& prefix) const;

    IDirectInput8W* createDirectInput();
    std::vector<DIDEVICEINSTANCEW> enumerate(IDirectInput8W* directInput, DWORD flags = DIEDFL_ATTACHEDONLY);
    // The device at that place in the enumeration.
    IDirectInputDevice8W* openDevice(IDirectInput8W* directInput, std::size_t position = 0);
    // Joystick format and exclusive background access, as Kestra asks.
    HRESULT prepare(IDirectInputDevice8W* device);
    HRESULT prepareAndAcquire(IDirectInputDevice8W* device);
    DIJOYSTATE2 read(IDirectInputDevice8W* device);

    TestFolder folder;
    HWND window = nullptr;  // top-level, for SetCooperativeLevel

private:
    HMODULE library = nullptr;
    decltype(&DirectInput8Create) directInput8Create = nullptr;
    std::wstring previousDirectory;
};

// A DIEFFECT as Kestra builds one: X and Y named by offset, one condition
// record per axis alike but for the offsets. It points into itself, so it is
// built in place and never copied.
struct ConditionEffect {
    ConditionEffect(LONG coefficient, DWORD saturation, LONG offsetX = 0, LONG offsetY = 0);
    ConditionEffect(const ConditionEffect&) = delete;
    ConditionEffect& operator=(const ConditionEffect&) = delete;

    DWORD axes[3] = {DIJOFS_X, DIJOFS_Y, DIJOFS_Z};
    LONG directions[3] = {};
    DICONDITION records[3] = {};
    DIEFFECT effect = {};
};

// DIPROP_AUTOCENTER is "GUID 9": binding a reference to it needs the
// alignment check off.
HRESULT switchAutoCenterOff(IDirectInputDevice8W* device);

DWORD effectStatus(IDirectInputEffect* effect);
