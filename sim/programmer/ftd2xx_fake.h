// The fake D2XX library (libftd2xx.so built in the tree) that stands for the
// USB link: the ten entry points the program binds, with the Linux D2XX
// types (DWORD and ULONG are 32 bits, FT_STATUS is a ULONG, FT_HANDLE a
// pointer), and a control interface for tests, all with C linkage.
//
// Devices are added by tests (zsim_ftd2xx_add_device), each with a peer that
// carries its bytes: an in-process simulated programmer (see usb_adapter.h)
// or nothing. With no device added, the library looks at the environment
// variable ZOLVEK_SIM_USB: a serial device (a zolvek-sim pty, started with
// --any-rate) becomes one device described "USB driver for Brenlab".
//
// What the fake does where the library's documentation leaves room:
//  - Handles are tracked: FT_Close of a handle that is not open (a double
//    close) is FT_INVALID_HANDLE and is counted; every call on such a handle
//    is FT_INVALID_HANDLE. FT_Open of a device already open is
//    FT_DEVICE_NOT_OPENED, of an index past the list FT_DEVICE_NOT_FOUND.
//  - FT_Read waits, on the peer's clock, until the bytes asked for are there
//    or the read time-out has passed, then gives what there is (FT_OK). A
//    read time-out of 0 (the library's default: wait for ever) waits at most
//    60 s and is counted, so a test can assert no read was unbounded.
//  - FT_Write hands every byte to the device at once: the transmit queue is
//    then empty, unless a test made it stick (it then never empties and
//    FT_Write takes nothing after the write time-out).
//  - A pulled cable: the device leaves the list and every I/O call on its
//    handle is FT_IO_ERROR.
//  - FT_ListDevices knows the number-only mode (0x80000000) and listing by
//    index (0x40000000) with the description (2) or the serial number (1);
//    other flags are FT_INVALID_PARAMETER.
#pragma once

#include <stdint.h>

extern "C" {

typedef uint32_t ZsimFtStatus;  // FT_STATUS
typedef void* ZsimFtHandle;  // FT_HANDLE

// The statuses the fake gives.
enum {
  ZSIM_FT_OK = 0,
  ZSIM_FT_INVALID_HANDLE = 1,
  ZSIM_FT_DEVICE_NOT_FOUND = 2,
  ZSIM_FT_DEVICE_NOT_OPENED = 3,
  ZSIM_FT_IO_ERROR = 4,
  ZSIM_FT_INVALID_PARAMETER = 6,
};

// The peer of one fake device. Every function is called with `context`.
struct ZsimUsbPeer {
  void* context;
  void (*write)(void* context, const uint8_t* data, uint32_t n);
  uint32_t (*available)(void* context);
  uint32_t (*read)(void* context, uint8_t* out, uint32_t max);
  int (*cable_pulled)(void* context);
  // The peer's clock: milliseconds, and a wait on it.
  uint32_t (*now_ms)(void* context);
  void (*sleep_ms)(void* context, uint32_t ms);
};

// Control, for tests (resolve with dlsym on the same library).
void zsim_ftd2xx_reset(void);
// Forgets every device and reads ZOLVEK_SIM_USB again, as at first use.
void zsim_ftd2xx_from_environment(void);
// Adds a device; returns its index. peer may be null (a device that never answers).
int zsim_ftd2xx_add_device(const char* description, const char* serial, const struct ZsimUsbPeer* peer);
void zsim_ftd2xx_set_openable(int index, int openable);
void zsim_ftd2xx_set_tx_stuck(int index, int stuck);
int zsim_ftd2xx_is_open(int index);
uint32_t zsim_ftd2xx_bad_closes(void);
uint32_t zsim_ftd2xx_unbounded_reads(void);
// Calls of an entry point by its name ("FT_Open").
uint32_t zsim_ftd2xx_calls(const char* name);

}  // extern "C"
