// Files and devices: the driver's channel under \\.\ and the serial ports
// under COMn, the only names this machine's programs open.

#include "Win32Internal.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string>

using namespace pervo;
using namespace pervo::win32;

namespace {

std::string Upper(std::string_view text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

// "COM3", "COM3:" or "\\.\COM3" name serial port 3; anything else is no port.
std::optional<unsigned> SerialPortNumber(std::string_view name)
{
    if (name.starts_with("\\\\.\\"))
        name.remove_prefix(4);
    if (name.ends_with(':'))
        name.remove_suffix(1);
    if (name.size() < 4 || Upper(name.substr(0, 3)) != "COM")
        return std::nullopt;
    unsigned number = 0;
    for (char c : name.substr(3)) {
        if (!std::isdigit(static_cast<unsigned char>(c)) || number > 255)
            return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number == 0 || name[3] == '0')
        return std::nullopt;
    return number;
}

HANDLE OpenFile(LPCSTR lpFileName, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    machine::Machine& machine = CurrentMachine();
    if (!lpFileName || !*lpFileName) {
        SetError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const std::string_view name(lpFileName);
    if (auto port = SerialPortNumber(name)) {
        // Serial ports exist already and are never shared, whatever is asked.
        if (disposition != OPEN_EXISTING) {
            SetError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        auto opened = machine.Ports().Open(*port);
        if (!opened) {
            SetError(ErrorFor(opened.GetStatus().GetError()));
            return INVALID_HANDLE_VALUE;
        }
        machine::KernelObject object;
        object.kind = machine::KernelObject::Kind::SerialPort;
        object.serialPort = std::move(opened.Value());
        object.portNumber = *port;
        SetError(ERROR_SUCCESS);
        return HANDLE{machine.Handles().Add(std::move(object))};
    }
    if (name.starts_with("\\\\.\\")) {
        machine::Device* device = machine.Devices().Find(Upper(name.substr(4)));
        if (!device) {
            SetError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        const machine::Status accepted = device->Accept({access, share, disposition, flags});
        if (!accepted) {
            SetError(ErrorFor(accepted.GetError()));
            return INVALID_HANDLE_VALUE;
        }
        machine.Devices().AddReference(*device);
        machine::KernelObject object;
        object.kind = machine::KernelObject::Kind::DeviceChannel;
        object.device = device;
        SetError(ERROR_SUCCESS);
        return HANDLE{machine.Handles().Add(std::move(object))};
    }
    // This machine has no disk of its own for programs to open files on.
    SetError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    const HANDLE handle = OpenFile(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition, dwFlagsAndAttributes);
    TracedCall("CreateFileA")
        .Arg(Text(lpFileName))
        .Arg(dwDesiredAccess)
        .Arg(dwShareMode)
        .Arg(Pointer(lpSecurityAttributes))
        .Arg(dwCreationDisposition)
        .Arg(dwFlagsAndAttributes)
        .Arg(hTemplateFile ? Json(hTemplateFile.value) : Json(nullptr))
        .Return(handle.value);
    return handle;
}

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                            LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                            LPOVERLAPPED lpOverlapped)
{
    TracedCall call("DeviceIoControl");
    call.Arg(hDevice.value)
        .Arg(dwIoControlCode)
        .Arg(Hex(lpInBuffer, lpInBuffer ? nInBufferSize : 0))
        .Arg(nInBufferSize)
        .Arg(Pointer(lpOutBuffer))
        .Arg(nOutBufferSize)
        .Arg(Pointer(lpBytesReturned))
        .Arg(Pointer(lpOverlapped));
    auto fail = [&](DWORD error) {
        SetError(error);
        call.Return(0);
        return FALSE;
    };
    machine::KernelObject* object = CurrentMachine().Handles().Find(hDevice.value);
    if (!object)
        return fail(ERROR_INVALID_HANDLE);
    if (object->kind != machine::KernelObject::Kind::DeviceChannel || !object->device)
        return fail(ERROR_INVALID_FUNCTION);
    // Without an overlapped record the caller must give a place for the count.
    if (!lpBytesReturned && !lpOverlapped)
        return fail(ERROR_INVALID_PARAMETER);
    if ((!lpInBuffer && nInBufferSize) || (!lpOutBuffer && nOutBufferSize))
        return fail(ERROR_INVALID_PARAMETER);
    std::uint32_t returned = 0;
    const machine::Status status = object->device->Control(
        dwIoControlCode,
        std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(lpInBuffer), lpInBuffer ? nInBufferSize : 0),
        std::span<std::uint8_t>(static_cast<std::uint8_t*>(lpOutBuffer), lpOutBuffer ? nOutBufferSize : 0), returned);
    if (lpBytesReturned)
        *lpBytesReturned = returned;
    if (!status)
        return fail(ErrorFor(status.GetError()));
    SetError(ERROR_SUCCESS);
    call.Return(1);
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    machine::Machine& machine = CurrentMachine();
    auto object = machine.Handles().Find(hObject.value);
    BOOL result = FALSE;
    if (!object || object->kind == machine::KernelObject::Kind::RegistryKey) {
        SetError(ERROR_INVALID_HANDLE);
    } else {
        auto removed = machine.Handles().Remove(hObject.value);
        if (removed->kind == machine::KernelObject::Kind::DeviceChannel && removed->device)
            machine.Devices().Release(*removed->device);
        result = TRUE;
    }
    TracedCall("CloseHandle").Arg(hObject.value).Return(result);
    return result;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    if (hModule && hModule != kImageBase) {
        SetError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!lpFilename || nSize == 0) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::string& path = CurrentMachine().Config().executablePath;
    // As on the original platform: a path that does not fit is cut, still
    // terminated, and the size given comes back with ERROR_INSUFFICIENT_BUFFER.
    if (path.size() >= nSize) {
        path.copy(lpFilename, nSize - 1);
        lpFilename[nSize - 1] = '\0';
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    path.copy(lpFilename, path.size());
    lpFilename[path.size()] = '\0';
    SetError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    return lpModuleName ? HMODULE{} : kImageBase;
}
