/* The virtual force-feedback stick: its identity, its reports and the control
 * channel through which a test moves it and reads what DirectInput sent it.
 * Shared by the driver (C, kernel side) and the programs that drive it. */
#ifndef KESTRA_VHID_H
#define KESTRA_VHID_H

#include <stdint.h>

#define KVHID_VENDOR_ID 0x1209
#define KVHID_PRODUCT_ID 0x4B53
#define KVHID_VERSION 0x0100
#define KVHID_SERVICE_NAME L"kestra_vhid"
#define KVHID_HARDWARE_ID L"root\\kestra_vhid"
#define KVHID_PRODUCT_NAME L"Kestra Virtual FFB Stick"

/* Report IDs. Input 1 is the stick; every other ID is a PID output report. */
enum {
    KVHID_REPORT_INPUT = 1,
    KVHID_REPORT_SET_EFFECT = 2,
    KVHID_REPORT_SET_CONDITION = 3,
    KVHID_REPORT_EFFECT_OPERATION = 4,
    KVHID_REPORT_DEVICE_CONTROL = 5,
    KVHID_REPORT_DEVICE_GAIN = 6,
    KVHID_REPORT_BLOCK_FREE = 7
};

/* Array indices (1-based) of the named-array fields, in descriptor order. */
enum { KVHID_ET_SPRING = 1, KVHID_ET_DAMPER = 2, KVHID_ET_FRICTION = 3 };
enum { KVHID_OP_START = 1, KVHID_OP_START_SOLO = 2, KVHID_OP_STOP = 3 };
enum {
    KVHID_DC_ENABLE_ACTUATORS = 1,
    KVHID_DC_DISABLE_ACTUATORS = 2,
    KVHID_DC_STOP_ALL_EFFECTS = 3,
    KVHID_DC_DEVICE_RESET = 4,
    KVHID_DC_DEVICE_PAUSE = 5,
    KVHID_DC_DEVICE_CONTINUE = 6
};

/* Private device I/O controls on the HID device (METHOD_BUFFERED, any access):
 * 0x22 is FILE_DEVICE_UNKNOWN, so no header difference between the sides. */
#define KVHID_CTL_CODE(function) ((0x22u << 16) | (0xA00u + (function)) << 2)
#define KVHID_IOCTL_SET_INPUT KVHID_CTL_CODE(0)   /* in: struct kvhid_input */
#define KVHID_IOCTL_GET_OUTPUTS KVHID_CTL_CODE(1) /* in: uint32_t first sequence; out: struct kvhid_outputs */

#pragma pack(push, 1)
struct kvhid_input {
    int16_t x;
    int16_t y;
    uint8_t hat; /* 0 centred, 1..8 = N, NE, E, SE, S, SW, W, NW */
    uint32_t buttons; /* bit n = button n+1 */
};
#pragma pack(pop)

#define KVHID_RECORD_BYTES 32
#define KVHID_MAX_RECORDS_PER_CALL 256

/* The request code of the record the driver makes each time the device starts,
 * as when it is plugged in: no report, length 0. */
#define KVHID_RECORD_PLUGGED_IN 0u

/* One report the driver received, with the request that carried it and when,
 * on the driver's performance counter. An input the test set is recorded too
 * (request code KVHID_IOCTL_SET_INPUT, the input report as it now reads), so
 * the time from an input to the report it causes is on one clock; and so is
 * each read that finds the input changed (the request code of the read). */
struct kvhid_output_record {
    uint32_t sequence;
    uint32_t ioctl;
    uint32_t length;
    uint32_t reserved;
    uint64_t time;
    uint8_t data[KVHID_RECORD_BYTES]; /* data[0] is the report ID */
};

struct kvhid_outputs {
    uint32_t total; /* records made since the driver started */
    uint32_t count; /* records that follow */
    uint64_t frequency; /* of the counter the times are read from, per second */
    struct kvhid_output_record records[KVHID_MAX_RECORDS_PER_CALL];
};

#endif
