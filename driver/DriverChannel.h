#pragma once

#include "Win32Api.h"

// The port driver's one control request: the serial port to use, as a 4-byte
// number (1 for COM1).
#define IOCTL_SET_COMM_PORT 0x1000

// Loads the port driver and opens its channel; INVALID_HANDLE_VALUE when the
// driver cannot be loaded.
HANDLE OpenDriverChannel();

// Tells the driver which serial port to use. Its answer changes nothing: the
// caller goes on either way.
void SendCommPort(HANDLE hDriver, DWORD dwPort);

// Closes the channel, which lets the system unload the driver.
void CloseDriverChannel(HANDLE hDriver);
