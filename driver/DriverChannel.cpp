#include "DriverChannel.h"

HANDLE OpenDriverChannel()
{
    // Opening a dynamically loadable driver by its file name under \\.\ with
    // CREATE_NEW loads it; FILE_FLAG_DELETE_ON_CLOSE lets the system unload
    // it again when the last handle is closed.
    return CreateFileA("\\\\.\\QUORVEX.VXD", 0, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

void SendCommPort(HANDLE hDriver, DWORD dwPort)
{
    DWORD cbReturned = 0;
    DeviceIoControl(hDriver, IOCTL_SET_COMM_PORT, &dwPort, sizeof(dwPort), nullptr, 0, &cbReturned, nullptr);
}

void CloseDriverChannel(HANDLE hDriver)
{
    CloseHandle(hDriver);
}
