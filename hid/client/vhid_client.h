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
    std::vector<std::uint8_t> bytes; // bytes[0] is the report ID
};

// The HID device path of the virtual stick, or empty while it is not there.
std::wstring findDevicePath();

// Waits until the stick is present, up to the deadline.
std::wstring waitForDevicePath(std::chrono::milliseconds deadline);

class Stick {
public:
    Stick() = default;
    ~Stick();
    Stick(const Stick&) = delete;
    Stick& operator=(const Stick&) = delete;

    // Opens the stick; false (and GetLastError) when it is not there.
    bool open(const std::wstring& path);

    bool setInput(const kvhid_input& input);
    // Every report recorded from sequence number `first` on.
    bool outputsSince(std::uint32_t first, std::vector<OutputRecord>& out, std::uint32_t* total = nullptr);
    // The number of reports recorded so far: where a test's own reports begin.
    std::uint32_t mark();

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

} // namespace kvhid
