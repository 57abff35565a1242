// The fixture every unit test of the program's state uses: each test starts
// from the documented start-up state, with fakes in place of DirectInput and
// a clock the test sets.
#pragma once

#include "app/state.h"
#include "tests/support/fake_directinput.h"

#include <gtest/gtest.h>

#include <cstdint>

// The 19 control handles of the main window, in creation order.
extern HWND* const controlHandles[19];

// Puts every global of the application state back to its start-up value.
void restoreDefaultState();

// The time the program's wall clock reads, in milliseconds since 1970.
extern std::int64_t fakeNowMs;

class KestraTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Six fake effects in the six effect handles, named like them, as on a
    // two-axis stick.
    void installEffects();

    // A fake force-feedback stick as DeviceList entry 0 and ffbDevice.
    FakeDevice* installStick();

    // Another fake controller appended to DeviceList.
    FakeDevice* addDevice(const std::string& label);
};
