// User-mode side of the virtual stick's control channel.
#pragma once

#include "kestra_vhid.h"

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

namespace kvhid {

struct OutputRecord {
    std::uint32_t sequence = 0;
    std::uint32_t ioctl = 0;
    double ms = 0;  // when the driver made the record, on its clock
    std::vector<std::uint8_t> bytes; // bytes[0] is the report ID
};

// The HID device path of the virtual stick, or empty while it is not there.
std::wstring findDevicePath();

// Waits until the stick is present, up to the deadline.
std::wstring waitForDevicePath(std::chrono::milliseconds deadline);

// The stick's root device added, with the driver of the INF at `inf` installed
// on it: the stick plugged in. Its HID device follows shortly after.
bool plugIn(const std::wstring& inf);
// The root device removed, as when the cable is pulled: Plug and Play removes
// the HID device from under every handle open on it. The driver stays loaded,
// with the reports it recorded.
bool unplug();

class Stick {
public:
    Stick() = default;
    ~Stick();
    Stick(const Stick&) = delete;
    Stick& operator=(const Stick&) = delete;

    // Opens the stick (again, once plugged back in); false (and GetLastError)
    // when it is not there.
    bool open(const std::wstring& path);

    bool setInput(const kvhid_input& input);
    // Sets the input and waits, up to the deadline, until hidclass has read it
    // from the driver: DirectInput has it from then until the next read.
    bool setInputAndWaitForRead(const kvhid_input& input, std::chrono::milliseconds deadline);
    // How often hidclass reads the input from the driver (Wine's default: 200 ms).
    bool setPollMs(unsigned long ms);
    // Every report recorded from sequence number `first` on.
    bool outputsSince(std::uint32_t first, std::vector<OutputRecord>& out, std::uint32_t* total = nullptr);
    // The number of reports recorded so far: where a test's own reports begin.
    std::uint32_t mark();

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

} // namespace kvhid
