/* A HID minidriver for a virtual force-feedback joystick, for tests under
 * Wine: DirectInput sees a PID device, turns effect calls into output reports,
 * and this driver keeps every one of them for the test to read back. The test
 * sets the stick's input through the same private channel. */
#include "hid_minidriver.h"
#include "kestra_vhid.h"

/* The service key value FfbAxes (1 or 2) says how many axes take forces. */
static ULONG ffbAxes = 2;

#define INPUT_REPORT_BYTES 10

/* Built in DriverEntry: the Axes Enable block depends on ffbAxes. */
static UCHAR reportDescriptor[512];
static ULONG reportDescriptorLength;

static const UCHAR descriptorHead[] = {
    0x05, 0x01,       /* Usage Page (Generic Desktop) */
    0x09, 0x04,       /* Usage (Joystick) */
    0xA1, 0x01,       /* Collection (Application) */
    0x85, 0x01,       /*   Report ID 1: the stick */
    0x09, 0x30,       /*   Usage (X) */
    0x09, 0x31,       /*   Usage (Y) */
    0x16, 0x00, 0x80, /*   Logical Minimum (-32768) */
    0x26, 0xFF, 0x7F, /*   Logical Maximum (32767) */
    0x75, 0x10,       /*   Report Size (16) */
    0x95, 0x02,       /*   Report Count (2) */
    0x81, 0x02,       /*   Input (Data,Var,Abs) */
    0x09, 0x39,       /*   Usage (Hat switch) */
    0x15, 0x01,       /*   Logical Minimum (1) */
    0x25, 0x08,       /*   Logical Maximum (8) */
    0x35, 0x00,       /*   Physical Minimum (0) */
    0x46, 0x3B, 0x01, /*   Physical Maximum (315) */
    0x65, 0x14,       /*   Unit (Eng Rot: degrees) */
    0x75, 0x04,       /*   Report Size (4) */
    0x95, 0x01,       /*   Report Count (1) */
    0x81, 0x42,       /*   Input (Data,Var,Abs,Null) */
    0x65, 0x00,       /*   Unit (None) */
    0x45, 0x00,       /*   Physical Maximum (0) */
    0x81, 0x01,       /*   Input (Const): 4 bits of padding */
    0x05, 0x09,       /*   Usage Page (Button) */
    0x19, 0x01,       /*   Usage Minimum (1) */
    0x29, 0x20,       /*   Usage Maximum (32) */
    0x15, 0x00,       /*   Logical Minimum (0) */
    0x25, 0x01,       /*   Logical Maximum (1) */
    0x75, 0x01,       /*   Report Size (1) */
    0x95, 0x20,       /*   Report Count (32) */
    0x81, 0x02,       /*   Input (Data,Var,Abs) */

    0x05, 0x0F,       /*   Usage Page (PID) */
    0x09, 0x21,       /*   Usage (Set Effect Report) */
    0xA1, 0x02,       /*   Collection (Logical) */
    0x85, 0x02,       /*     Report ID 2 */
    0x09, 0x22,       /*     Usage (Effect Block Index) */
    0x15, 0x01,       /*     Logical Minimum (1) */
    0x25, 0x28,       /*     Logical Maximum (40) */
    0x75, 0x08,       /*     Report Size (8) */
    0x95, 0x01,       /*     Report Count (1) */
    0x91, 0x02,       /*     Output (Data,Var,Abs) */
    0x09, 0x25,       /*     Usage (Effect Type) */
    0xA1, 0x04,       /*     Collection (Named Array) */
    0x09, 0x40,       /*       Usage (ET Spring) */
    0x09, 0x41,       /*       Usage (ET Damper) */
    0x09, 0x43,       /*       Usage (ET Friction) */
    0x15, 0x01,       /*       Logical Minimum (1) */
    0x25, 0x03,       /*       Logical Maximum (3) */
    0x75, 0x08,       /*       Report Size (8) */
    0x95, 0x01,       /*       Report Count (1) */
    0x91, 0x00,       /*       Output (Data,Array,Abs) */
    0xC0,             /*     End Collection */
    0x09, 0x50,       /*     Usage (Duration) */
    0x09, 0x54,       /*     Usage (Trigger Repeat Interval) */
    0x09, 0x51,       /*     Usage (Sample Period) */
    0x09, 0xA7,       /*     Usage (Start Delay) */
    0x66, 0x03, 0x10, /*     Unit (Eng Lin: Time, seconds) */
    0x55, 0x0D,       /*     Unit Exponent (-3): milliseconds */
    0x15, 0x00,       /*     Logical Minimum (0) */
    0x26, 0xFF, 0x7F, /*     Logical Maximum (32767) */
    0x75, 0x10,       /*     Report Size (16) */
    0x95, 0x04,       /*     Report Count (4) */
    0x91, 0x02,       /*     Output (Data,Var,Abs) */
    0x55, 0x00,       /*     Unit Exponent (0) */
    0x65, 0x00,       /*     Unit (None) */
    0x09, 0x52,       /*     Usage (Gain) */
    0x15, 0x00,       /*     Logical Minimum (0) */
    0x26, 0xFF, 0x00, /*     Logical Maximum (255) */
    0x75, 0x08,       /*     Report Size (8) */
    0x95, 0x01,       /*     Report Count (1) */
    0x91, 0x02,       /*     Output (Data,Var,Abs) */
    0x09, 0x53,       /*     Usage (Trigger Button) */
    0x15, 0x01,       /*     Logical Minimum (1) */
    0x25, 0x20,       /*     Logical Maximum (32) */
    0x75, 0x08,       /*     Report Size (8) */
    0x95, 0x01,       /*     Report Count (1) */
    0x91, 0x02,       /*     Output (Data,Var,Abs) */
    0x09, 0x55,       /*     Usage (Axes Enable) */
    0xA1, 0x02,       /*     Collection (Logical) */
};

/* Inside Axes Enable: one usage per force-feedback axis, then the bits. */
static const UCHAR axisX[] = {0x0B, 0x30, 0x00, 0x01, 0x00}; /* Usage (Generic Desktop X) */
static const UCHAR axisY[] = {0x0B, 0x31, 0x00, 0x01, 0x00}; /* Usage (Generic Desktop Y) */

static const UCHAR descriptorTail[] = {
    0x15, 0x00,       /*       Logical Minimum (0) */
    0x25, 0x01,       /*       Logical Maximum (1) */
    0x75, 0x01,       /*       Report Size (1) */
    0x95, 0x02,       /*       Report Count (2): patched to ffbAxes */
    0x91, 0x02,       /*       Output (Data,Var,Abs) */
    0xC0,             /*     End Collection */
    0x09, 0x56,       /*     Usage (Direction Enable) */
    0x95, 0x01,       /*     Report Count (1) */
    0x91, 0x02,       /*     Output (Data,Var,Abs) */
    0x95, 0x05,       /*     Report Count (5): patched to pad the byte */
    0x91, 0x03,       /*     Output (Const) */
    0x09, 0x57,       /*     Usage (Direction) */
    0xA1, 0x02,       /*     Collection (Logical) */
    0x0B, 0x01, 0x00, 0x0A, 0x00, /* Usage (Ordinal 1) */
    0x0B, 0x02, 0x00, 0x0A, 0x00, /* Usage (Ordinal 2) */
    0x65, 0x14,       /*       Unit (Eng Rot: degrees) */
    0x55, 0x0E,       /*       Unit Exponent (-2): hundredths */
    0x15, 0x00,       /*       Logical Minimum (0) */
    0x27, 0x3C, 0x8C, 0x00, 0x00, /* Logical Maximum (35900) */
    0x75, 0x10,       /*       Report Size (16) */
    0x95, 0x02,       /*       Report Count (2) */
    0x91, 0x02,       /*       Output (Data,Var,Abs) */
    0xC0,             /*     End Collection */
    0x55, 0x00,       /*     Unit Exponent (0) */
    0x65, 0x00,       /*     Unit (None) */
    0xC0,             /*   End Collection */

    0x09, 0x5F,       /*   Usage (Set Condition Report) */
    0xA1, 0x02,       /*   Collection (Logical) */
    0x85, 0x03,       /*     Report ID 3 */
    0x09, 0x22,       /*     Usage (Effect Block Index) */
    0x15, 0x01,       /*     Logical Minimum (1) */
    0x25, 0x28,       /*     Logical Maximum (40) */
    0x75, 0x08,       /*     Report Size (8) */
    0x95, 0x01,       /*     Report Count (1) */
    0x91, 0x02,       /*     Output (Data,Var,Abs) */
    0x09, 0x23,       /*     Usage (Parameter Block Offset) */
    0x15, 0x00,       /*     Logical Minimum (0) */
    0x25, 0x01,       /*     Logical Maximum (1) */
    0x75, 0x08,       /*     Report Size (8) */
    0x95, 0x01,       /*     Report Count (1) */
    0x91, 0x02,       /*     Output (Data,Var,Abs) */
    0x09, 0x60,       /*     Usage (CP Offset) */
    0x09, 0x61,       /*     Usage (Positive Coefficient) */
    0x09, 0x62,       /*     Usage (Negative Coefficient) */
    0x16, 0xF0, 0xD8, /*     Logical Minimum (-10000) */
    0x26, 0x10, 0x27, /*     Logical Maximum (10000) */
    0x75, 0x10,       /*     Report Size (16) */
    0x95, 0x03,       /*     Report Count (3) */
    0x91, 0x02,       /*     Output (Data,Var,Abs) */
    0x09, 0x63,       /*     Usage (Positive Saturation) */
    0x09, 0x64,       /*     Usage (Negative Saturation) */
    0x09, 0x65,       /*     Usage (Dead Band) */
    0x15, 0x00,       /*     Logical Minimum (0) */
    0x26, 0x10, 0x27, /*     Logical Maximum (10000) */
    0x75, 0x10,       /*     Report Size (16) */
    0x95, 0x03,       /*     Report Count (3) */
    0x91, 0x02,       /*     Output (Data,Var,Abs) */
    0xC0,             /*   End Collection */

    0x09, 0x77,       /*   Usage (Effect Operation Report) */
    0xA1, 0x02,       /*   Collection (Logical) */
    0x85, 0x04,       /*     Report ID 4 */
    0x09, 0x22,       /*     Usage (Effect Block Index) */
    0x15, 0x01,       /*     Logical Minimum (1) */
    0x25, 0x28,       /*     Logical Maximum (40) */
    0x75, 0x08,       /*     Report Size (8) */
    0x95, 0x01,       /*     Report Count (1) */
    0x91, 0x02,       /*     Output (Data,Var,Abs) */
    0x09, 0x78,       /*     Usage (Effect Operation) */
    0xA1, 0x04,       /*     Collection (Named Array) */
    0x09, 0x79,       /*       Usage (Op Effect Start) */
    0x09, 0x7A,       /*       Usage (Op Effect Start Solo) */
    0x09, 0x7B,       /*       Usage (Op Effect Stop) */
    0x15, 0x01,       /*       Logical Minimum (1) */
    0x25, 0x03,       /*       Logical Maximum (3) */
    0x75, 0x08,       /*       Report Size (8) */
    0x95, 0x01,       /*       Report Count (1) */
    0x91, 0x00,       /*       Output (Data,Array,Abs) */
    0xC0,             /*     End Collection */
    0x09, 0x7C,       /*     Usage (Loop Count) */
    0x15, 0x00,       /*     Logical Minimum (0) */
    0x26, 0xFF, 0x00, /*     Logical Maximum (255) */
    0x75, 0x08,       /*     Report Size (8) */
    0x95, 0x01,       /*     Report Count (1) */
    0x91, 0x02,       /*     Output (Data,Var,Abs) */
    0xC0,             /*   End Collection */

    0x09, 0x95,       /*   Usage (PID Device Control Report) */
    0xA1, 0x02,       /*   Collection (Logical) */
    0x85, 0x05,       /*     Report ID 5 */
    0x09, 0x96,       /*     Usage (PID Device Control) */
    0xA1, 0x04,       /*     Collection (Named Array) */
    0x09, 0x97,       /*       Usage (DC Enable Actuators) */
    0x09, 0x98,       /*       Usage (DC Disable Actuators) */
    0x09, 0x99,       /*       Usage (DC Stop All Effects) */
    0x09, 0x9A,       /*       Usage (DC Device Reset) */
    0x09, 0x9B,       /*       Usage (DC Device Pause) */
    0x09, 0x9C,       /*       Usage (DC Device Continue) */
    0x15, 0x01,       /*       Logical Minimum (1) */
    0x25, 0x06,       /*       Logical Maximum (6) */
    0x75, 0x08,       /*       Report Size (8) */
    0x95, 0x01,       /*       Report Count (1) */
    0x91, 0x00,       /*       Output (Data,Array,Abs) */
    0xC0,             /*     End Collection */
    0xC0,             /*   End Collection */

    0x09, 0x7D,       /*   Usage (Device Gain Report) */
    0xA1, 0x02,       /*   Collection (Logical) */
    0x85, 0x06,       /*     Report ID 6 */
    0x09, 0x7E,       /*     Usage (Device Gain) */
    0x15, 0x00,       /*     Logical Minimum (0) */
    0x26, 0xFF, 0x00, /*     Logical Maximum (255) */
    0x75, 0x08,       /*     Report Size (8) */
    0x95, 0x01,       /*     Report Count (1) */
    0x91, 0x02,       /*     Output (Data,Var,Abs) */
    0xC0,             /*   End Collection */

    0x09, 0x90,       /*   Usage (PID Block Free Report) */
    0xA1, 0x02,       /*   Collection (Logical) */
    0x85, 0x07,       /*     Report ID 7 */
    0x09, 0x22,       /*     Usage (Effect Block Index) */
    0x15, 0x01,       /*     Logical Minimum (1) */
    0x25, 0x28,       /*     Logical Maximum (40) */
    0x75, 0x08,       /*     Report Size (8) */
    0x95, 0x01,       /*     Report Count (1) */
    0x91, 0x02,       /*     Output (Data,Var,Abs) */
    0xC0,             /*   End Collection */
    0xC0,             /* End Collection */
};

/* Offsets in descriptorTail of the two counts that follow ffbAxes. */
#define TAIL_AXES_COUNT_AT 7
#define TAIL_PADDING_COUNT_AT 18

static void append(const UCHAR* bytes, ULONG length)
{
    ULONG i;
    for (i = 0; i < length && reportDescriptorLength < sizeof(reportDescriptor); ++i)
        reportDescriptor[reportDescriptorLength++] = bytes[i];
}

static void buildReportDescriptor(void)
{
    reportDescriptorLength = 0;
    append(descriptorHead, sizeof(descriptorHead));
    append(axisX, sizeof(axisX));
    if (ffbAxes == 2)
        append(axisY, sizeof(axisY));
    {
        const ULONG tailAt = reportDescriptorLength;
        append(descriptorTail, sizeof(descriptorTail));
        reportDescriptor[tailAt + TAIL_AXES_COUNT_AT] = (UCHAR)ffbAxes;
        reportDescriptor[tailAt + TAIL_PADDING_COUNT_AT] = (UCHAR)(7 - ffbAxes);
    }
}

/* Wine runs drivers in a user-mode process with real threads: requests from
 * hidclass's reader thread and from applications can meet, so shared state is
 * behind a small lock of our own. */
static volatile LONG stateLock;

static void lock(void)
{
    while (InterlockedCompareExchange(&stateLock, 1, 0) != 0)
        YieldProcessor();
}

static void unlock(void)
{
    InterlockedExchange(&stateLock, 0);
}

static UCHAR inputReport[INPUT_REPORT_BYTES] = {KVHID_REPORT_INPUT};

#define RECORD_CAPACITY 4096
static struct kvhid_output_record records[RECORD_CAPACITY];
static ULONG recordTotal;

static LARGE_INTEGER counterFrequency;

static void recordOutput(ULONG ioctl, const UCHAR* data, ULONG length)
{
    struct kvhid_output_record* r;
    ULONG i, kept = length < KVHID_RECORD_BYTES ? length : KVHID_RECORD_BYTES;

    lock();
    r = &records[recordTotal % RECORD_CAPACITY];
    r->sequence = recordTotal;
    r->ioctl = ioctl;
    r->length = length;
    r->reserved = 0;
    r->time = (uint64_t)KeQueryPerformanceCounter(&counterFrequency).QuadPart;
    for (i = 0; i < KVHID_RECORD_BYTES; ++i)
        r->data[i] = i < kept ? data[i] : 0;
    ++recordTotal;
    unlock();
}

/* The input as it was last read. A read that finds it changed is recorded
 * (with the request code that read it), so a test knows when DirectInput has
 * an input: from then until the next read, a poll period later. */
static UCHAR inputRead[INPUT_REPORT_BYTES];

static ULONG readInputReport(ULONG code, UCHAR* out, ULONG capacity)
{
    ULONG i, n = capacity < INPUT_REPORT_BYTES ? capacity : INPUT_REPORT_BYTES;
    UCHAR read[INPUT_REPORT_BYTES];
    BOOLEAN changed = FALSE;
    lock();
    for (i = 0; i < INPUT_REPORT_BYTES; ++i) {
        changed |= inputRead[i] != inputReport[i];
        read[i] = inputRead[i] = inputReport[i];
    }
    unlock();
    for (i = 0; i < n; ++i)
        out[i] = read[i];
    if (changed)
        recordOutput(code, read, INPUT_REPORT_BYTES);
    return n;
}

static void setInput(const struct kvhid_input* in)
{
    lock();
    inputReport[0] = KVHID_REPORT_INPUT;
    inputReport[1] = (UCHAR)(in->x & 0xFF);
    inputReport[2] = (UCHAR)((in->x >> 8) & 0xFF);
    inputReport[3] = (UCHAR)(in->y & 0xFF);
    inputReport[4] = (UCHAR)((in->y >> 8) & 0xFF);
    inputReport[5] = (UCHAR)(in->hat & 0x0F);
    inputReport[6] = (UCHAR)(in->buttons & 0xFF);
    inputReport[7] = (UCHAR)((in->buttons >> 8) & 0xFF);
    inputReport[8] = (UCHAR)((in->buttons >> 16) & 0xFF);
    inputReport[9] = (UCHAR)((in->buttons >> 24) & 0xFF);
    unlock();
}

static ULONG copyRecords(ULONG first, struct kvhid_outputs* out, ULONG capacity)
{
    ULONG room, oldest, i;

    if (capacity < offsetof(struct kvhid_outputs, records))
        return 0;
    room = (capacity - offsetof(struct kvhid_outputs, records)) / sizeof(struct kvhid_output_record);
    if (room > KVHID_MAX_RECORDS_PER_CALL)
        room = KVHID_MAX_RECORDS_PER_CALL;

    lock();
    oldest = recordTotal > RECORD_CAPACITY ? recordTotal - RECORD_CAPACITY : 0;
    if (first < oldest)
        first = oldest;
    out->total = recordTotal;
    out->frequency = (uint64_t)counterFrequency.QuadPart;
    out->count = 0;
    for (i = first; i < recordTotal && out->count < room; ++i)
        out->records[out->count++] = records[i % RECORD_CAPACITY];
    unlock();
    return offsetof(struct kvhid_outputs, records) + out->count * sizeof(struct kvhid_output_record);
}

static NTSTATUS complete(IRP* irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static ULONG copyBytes(void* to, ULONG capacity, const void* from, ULONG length)
{
    ULONG i, n = capacity < length ? capacity : length;
    for (i = 0; i < n; ++i)
        ((UCHAR*)to)[i] = ((const UCHAR*)from)[i];
    return n;
}

static NTSTATUS getString(IRP* irp, IO_STACK_LOCATION* stack)
{
    static const WCHAR manufacturer[] = L"Kestra";
    static const WCHAR product[] = KVHID_PRODUCT_NAME;
    static const WCHAR serial[] = L"0001";
    const ULONG capacity = stack->Parameters.DeviceIoControl.OutputBufferLength;
    const ULONG id = (ULONG)(ULONG_PTR)stack->Parameters.DeviceIoControl.Type3InputBuffer & 0xFFFF;
    const WCHAR* text;
    ULONG bytes;

    /* Windows asks with the DDK's string IDs; Wine 8's hidclass asks with
     * the USB string indices 1, 2 and 3 instead. */
    if (id == HID_STRING_ID_IMANUFACTURER || id == 1)
        text = manufacturer, bytes = sizeof(manufacturer);
    else if (id == HID_STRING_ID_IPRODUCT || id == 2)
        text = product, bytes = sizeof(product);
    else if (id == HID_STRING_ID_ISERIALNUMBER || id == 3)
        text = serial, bytes = sizeof(serial);
    else
        return complete(irp, STATUS_INVALID_PARAMETER, 0);
    if (capacity < bytes)
        return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    return complete(irp, STATUS_SUCCESS, copyBytes(irp->UserBuffer, capacity, text, bytes));
}

static NTSTATUS NTAPI internalIoctl(DEVICE_OBJECT* device, IRP* irp)
{
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG capacity = stack->Parameters.DeviceIoControl.OutputBufferLength;
    (void)device;

    switch (code) {
    case IOCTL_HID_GET_DEVICE_DESCRIPTOR: {
        HID_DESCRIPTOR d;
        d.bLength = sizeof(d);
        d.bDescriptorType = HID_HID_DESCRIPTOR_TYPE;
        d.bcdHID = 0x0100;
        d.bCountry = 0;
        d.bNumDescriptors = 1;
        d.DescriptorList[0].bReportType = HID_REPORT_DESCRIPTOR_TYPE;
        d.DescriptorList[0].wReportLength = (USHORT)reportDescriptorLength;
        if (capacity < sizeof(d))
            return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        return complete(irp, STATUS_SUCCESS, copyBytes(irp->UserBuffer, capacity, &d, sizeof(d)));
    }
    case IOCTL_HID_GET_REPORT_DESCRIPTOR:
        if (capacity < reportDescriptorLength)
            return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        return complete(irp, STATUS_SUCCESS,
                        copyBytes(irp->UserBuffer, capacity, reportDescriptor, reportDescriptorLength));
    case IOCTL_HID_GET_DEVICE_ATTRIBUTES: {
        HID_DEVICE_ATTRIBUTES a;
        ULONG i;
        a.Size = sizeof(a);
        a.VendorID = KVHID_VENDOR_ID;
        a.ProductID = KVHID_PRODUCT_ID;
        a.VersionNumber = KVHID_VERSION;
        for (i = 0; i < 11; ++i)
            a.Reserved[i] = 0;
        if (capacity < sizeof(a))
            return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        return complete(irp, STATUS_SUCCESS, copyBytes(irp->UserBuffer, capacity, &a, sizeof(a)));
    }
    case IOCTL_HID_GET_STRING:
        return getString(irp, stack);
    case IOCTL_HID_READ_REPORT:
        /* Polled device: hidclass asks on its own schedule, the state is current. */
        return complete(irp, STATUS_SUCCESS, readInputReport(code, irp->UserBuffer, capacity));
    case IOCTL_HID_GET_INPUT_REPORT: {
        HID_XFER_PACKET* packet = irp->UserBuffer;
        if (!packet || packet->reportId != KVHID_REPORT_INPUT)
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        return complete(irp, STATUS_SUCCESS, readInputReport(code, packet->reportBuffer, packet->reportBufferLen));
    }
    case IOCTL_HID_WRITE_REPORT:
    case IOCTL_HID_SET_OUTPUT_REPORT:
    case IOCTL_HID_SET_FEATURE: {
        HID_XFER_PACKET* packet = irp->UserBuffer;
        if (!packet || !packet->reportBuffer)
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        recordOutput(code, packet->reportBuffer, packet->reportBufferLen);
        return complete(irp, STATUS_SUCCESS, packet->reportBufferLen);
    }
    case IOCTL_HID_ACTIVATE_DEVICE:
    case IOCTL_HID_DEACTIVATE_DEVICE:
        return complete(irp, STATUS_SUCCESS, 0);
    default:
        return complete(irp, STATUS_NOT_SUPPORTED, 0);
    }
}

/* hidclass owns IRP_MJ_DEVICE_CONTROL for the HID device an application opens;
 * our two private codes are answered first and everything else goes on. */
static DRIVER_DISPATCH* hidclassIoctl;

static NTSTATUS NTAPI controlIoctl(DEVICE_OBJECT* device, IRP* irp)
{
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    void* buffer = irp->AssociatedIrp.SystemBuffer;

    if (code == KVHID_IOCTL_SET_INPUT) {
        if (inLength < sizeof(struct kvhid_input) || !buffer)
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        setInput(buffer);
        recordOutput(KVHID_IOCTL_SET_INPUT, inputReport, INPUT_REPORT_BYTES);
        return complete(irp, STATUS_SUCCESS, 0);
    }
    if (code == KVHID_IOCTL_GET_OUTPUTS) {
        ULONG first;
        if (inLength < sizeof(ULONG) || !buffer || outLength < offsetof(struct kvhid_outputs, records))
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        first = *(const ULONG*)buffer;
        return complete(irp, STATUS_SUCCESS, copyRecords(first, buffer, outLength));
    }
    return hidclassIoctl(device, irp);
}

static NTSTATUS NTAPI pnp(DEVICE_OBJECT* device, IRP* irp)
{
    HID_DEVICE_EXTENSION* ext = device->DeviceExtension;
    /* A stick plugged in (again) reads at rest, whatever it held when it was
     * pulled out. The records outlive it, as the driver stays loaded: one of
     * its own marks where each plug-in falls among the reports. */
    if (IoGetCurrentIrpStackLocation(irp)->MinorFunction == IRP_MN_START_DEVICE) {
        static const struct kvhid_input rest;
        setInput(&rest);
        recordOutput(KVHID_RECORD_PLUGGED_IN, NULL, 0);
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(ext->NextDeviceObject, irp);
}

static NTSTATUS NTAPI addDevice(DRIVER_OBJECT* driver, DEVICE_OBJECT* device)
{
    (void)driver;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static VOID NTAPI unload(DRIVER_OBJECT* driver)
{
    (void)driver;
}

static void readSettings(UNICODE_STRING* registryPath)
{
    OBJECT_ATTRIBUTES attributes;
    UNICODE_STRING name;
    HANDLE key;
    union {
        KEY_VALUE_PARTIAL_INFORMATION info;
        UCHAR bytes[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(ULONG)];
    } value;
    ULONG size;

    InitializeObjectAttributes(&attributes, registryPath, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes)))
        return;
    RtlInitUnicodeString(&name, L"FfbAxes");
    if (NT_SUCCESS(ZwQueryValueKey(key, &name, KeyValuePartialInformation, &value, sizeof(value), &size))
        && value.info.Type == REG_DWORD && value.info.DataLength == sizeof(ULONG)) {
        const ULONG axes = *(const ULONG*)value.info.Data;
        if (axes == 1 || axes == 2)
            ffbAxes = axes;
    }
    ZwClose(key);
}

NTSTATUS NTAPI DriverEntry(DRIVER_OBJECT* driver, UNICODE_STRING* registryPath)
{
    HID_MINIDRIVER_REGISTRATION registration;
    NTSTATUS status;

    readSettings(registryPath);
    buildReportDescriptor();
    KeQueryPerformanceCounter(&counterFrequency);

    driver->DriverExtension->AddDevice = addDevice;
    driver->DriverUnload = unload;
    driver->MajorFunction[IRP_MJ_PNP] = pnp;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = internalIoctl;

    registration.Revision = HID_REVISION;
    registration.DriverObject = driver;
    registration.RegistryPath = registryPath;
    registration.DeviceExtensionSize = 0;
    registration.DevicesArePolled = TRUE;
    registration.Reserved[0] = registration.Reserved[1] = registration.Reserved[2] = 0;
    status = HidRegisterMinidriver(&registration);
    if (!NT_SUCCESS(status))
        return status;

    hidclassIoctl = driver->MajorFunction[IRP_MJ_DEVICE_CONTROL];
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = controlIoctl;
    return STATUS_SUCCESS;
}
