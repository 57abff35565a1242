// The fixture of every in-process test of Kestra: the program's globals as they stood when the test program started,
// the simulated stick in place of DirectInput, a clock and a message-box recorder of the test's own, and a working
// folder of its own for "opt.dat".
#pragma once

#include "app/state.h"
#include "sim/in_process.h"
#include "tests/support/sim_journal.h"

#include <gtest/gtest.h>

inline const std::string oneStick = "device \"Stick\" ffb axes=2\n";
// A force-feedback stick and, as device 1, pedals without force feedback.
inline const std::string stickAndPedals = oneStick + "device \"Pedals\"\n";

struct MessageBoxCall {
    HWND owner;
    std::wstring text, caption;
    UINT style;
};

class KestraFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Discovery, then what the restart does after it: the devices acquired and the first set started. The journal is
    // cleared afterwards.
    void open(const std::string& config = oneStick);

    // The sim's journal since the last clear; of one method, and object.
    static std::vector<SimCall> calls(const std::string& method = "", const std::string& object = "");
    // A device's stick, hat and buttons ("0101": buttons 2 and 4 down) from its next read.
    static void setInput(int device, const std::string& buttons, LONG x = 32767, LONG y = 32767,
                         DWORD pov = 0xFFFFFFFF);

    WorkingFolder folder;

public:
    inline static std::int64_t nowMs = 0;  // what the program's steady clock reads
    inline static std::vector<MessageBoxCall> messageBoxes;
};

// What the settings encoder writes for a record, for the settings file's own tests; others use settingsFileWith.
std::vector<std::uint8_t> settingsFileOf(const SettingsRecord& record);
