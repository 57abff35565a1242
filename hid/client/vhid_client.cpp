#include "vhid_client.h"

#include <winioctl.h>
#include <hidclass.h>
#include <newdev.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstdio>
#include <memory>
#include <thread>

namespace kvhid {

namespace {

// GUID_DEVINTERFACE_HID, spelled out so no header needs initguid tricks.
const GUID hidInterface = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// The System setup class, as in the INF, and the one root device it holds.
const GUID systemClass = {0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const wchar_t rootInstance[] = L"root\\kestra_vhid\\0000";

// A root device carrying the stick's hardware ID; one is enough.
bool createRootDevice()
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(&systemClass, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return false;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    bool ok = true;
    if (!SetupDiCreateDeviceInfoW(set, rootInstance, &systemClass, nullptr, nullptr, 0, &device)) {
        // Installed before: the driver update is all that is left to do.
        ok = GetLastError() == ERROR_DEVINST_ALREADY_EXISTS;
        if (!ok)
            std::fwprintf(stderr, L"SetupDiCreateDeviceInfo failed: %lu\n", GetLastError());
    } else {
        static const wchar_t hardwareId[] = KVHID_HARDWARE_ID L"\0";
        if (!SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID,
                                               reinterpret_cast<const BYTE*>(hardwareId), sizeof(hardwareId))) {
            std::fwprintf(stderr, L"SetupDiSetDeviceRegistryProperty failed: %lu\n", GetLastError());
            ok = false;
        } else if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device)) {
            std::fwprintf(stderr, L"DIF_REGISTERDEVICE failed: %lu\n", GetLastError());
            ok = false;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return ok;
}

// Wine names a root device's HID child after its instance ID, not after its
// vendor and product, so the stick is recognised by its attributes.
bool isTheStick(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    HIDD_ATTRIBUTES attributes = {};
    attributes.Size = sizeof(attributes);
    const bool match = HidD_GetAttributes(h, &attributes) && attributes.VendorID == KVHID_VENDOR_ID
        && attributes.ProductID == KVHID_PRODUCT_ID;
    CloseHandle(h);
    return match;
}

} // namespace

std::wstring findDevicePath()
{
    HDEVINFO set = SetupDiGetClassDevsW(&hidInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return {};
    std::wstring found;
    SP_DEVICE_INTERFACE_DATA iface = {};
    iface.cbSize = sizeof(iface);
    for (DWORD i = 0; found.empty() && SetupDiEnumDeviceInterfaces(set, nullptr, &hidInterface, i, &iface); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &iface, nullptr, 0, &size, nullptr);
        if (size == 0)
            continue;
        std::unique_ptr<unsigned char[]> storage(new unsigned char[size]);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.get());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &iface, detail, size, nullptr, nullptr))
            continue;
        if (isTheStick(detail->DevicePath))
            found = detail->DevicePath;
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

std::wstring waitForDevicePath(std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        std::wstring path = findDevicePath();
        if (!path.empty() || std::chrono::steady_clock::now() >= end)
            return path;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool plugIn(const std::wstring& inf)
{
    if (!createRootDevice())
        return false;
    BOOL reboot = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesW(nullptr, KVHID_HARDWARE_ID, inf.c_str(), INSTALLFLAG_FORCE, &reboot)) {
        std::fwprintf(stderr, L"UpdateDriverForPlugAndPlayDevices(%ls) failed: %lu\n", inf.c_str(), GetLastError());
        return false;
    }
    return true;
}

bool unplug()
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(&systemClass, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return false;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    // Wine's DIF_REMOVE deletes the device's keys and has its service
    // enumerate the root devices again, which removes the one now missing.
    const bool ok = SetupDiOpenDeviceInfoW(set, rootInstance, nullptr, 0, &device)
        && SetupDiCallClassInstaller(DIF_REMOVE, set, &device);
    if (!ok)
        std::fwprintf(stderr, L"removing %ls failed: %lu\n", rootInstance, GetLastError());
    SetupDiDestroyDeviceInfoList(set);
    return ok;
}

Stick::~Stick()
{
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
}

bool Stick::open(const std::wstring& path)
{
    // A stick plugged in again is opened afresh.
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
    // No access rights asked: DirectInput keeps its own handle, and the
    // control codes need none.
    handle_ = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return handle_ != INVALID_HANDLE_VALUE;
}

bool Stick::setInput(const kvhid_input& input)
{
    DWORD returned = 0;
    kvhid_input copy = input;
    return DeviceIoControl(handle_, KVHID_IOCTL_SET_INPUT, &copy, sizeof(copy), nullptr, 0, &returned, nullptr) != 0;
}

bool Stick::setInputAndWaitForRead(const kvhid_input& input, std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    const std::uint32_t from = mark();
    if (!setInput(input))
        return false;
    // The driver records the input it took, then the first read that finds it changed.
    std::vector<OutputRecord> records;
    const auto read = [&] {
        const auto set = std::find_if(records.begin(), records.end(),
                                      [](const OutputRecord& r) { return r.ioctl == KVHID_IOCTL_SET_INPUT; });
        return set != records.end()
            && std::any_of(set + 1, records.end(), [&](const OutputRecord& r) { return r.bytes == set->bytes; });
    };
    for (;;) {
        if (!outputsSince(from, records))
            return false;
        if (read())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool Stick::setPollMs(unsigned long ms)
{
    DWORD returned = 0;
    ULONG interval = ms;
    return DeviceIoControl(handle_, IOCTL_HID_SET_POLL_FREQUENCY_MSEC, &interval, sizeof(interval), nullptr, 0,
                           &returned, nullptr) != 0;
}

bool Stick::outputsSince(std::uint32_t first, std::vector<OutputRecord>& out, std::uint32_t* total)
{
    out.clear();
    auto batch = std::make_unique<kvhid_outputs>();
    for (;;) {
        DWORD returned = 0;
        std::uint32_t from = first;
        if (!DeviceIoControl(handle_, KVHID_IOCTL_GET_OUTPUTS, &from, sizeof(from), batch.get(), sizeof(*batch),
                             &returned, nullptr))
            return false;
        for (std::uint32_t i = 0; i < batch->count; ++i) {
            const kvhid_output_record& r = batch->records[i];
            OutputRecord record;
            record.sequence = r.sequence;
            record.ioctl = r.ioctl;
            record.ms = batch->frequency ? static_cast<double>(r.time) * 1000.0 / batch->frequency : 0;
            const std::uint32_t kept = std::min<std::uint32_t>(r.length, KVHID_RECORD_BYTES);
            record.bytes.assign(r.data, r.data + kept);
            out.push_back(record);
            first = r.sequence + 1;
        }
        if (total)
            *total = batch->total;
        if (batch->count == 0 || first >= batch->total)
            return true;
    }
}

std::uint32_t Stick::mark()
{
    std::vector<OutputRecord> none;
    std::uint32_t total = 0;
    // Asking from the far end returns only the count.
    outputsSince(0xFFFFFFFFu, none, &total);
    return total;
}

} // namespace kvhid
