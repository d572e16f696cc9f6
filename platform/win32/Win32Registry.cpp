// The registry functions over the machine's hive. They return their error
// code instead of setting the last error, as the originals do.

#include "Win32Internal.h"

#include <cstring>
#include <optional>
#include <string>

using namespace pervo;
using namespace pervo::win32;

namespace {

constexpr REGSAM kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | 0x00010000u /* DELETE */ |
                                0x00040000u /* WRITE_DAC */ | 0x00080000u /* WRITE_OWNER */;

std::optional<std::string> PathOf(HKEY key)
{
    switch (key.value) {
    case 0x80000000u:
        return "HKEY_CLASSES_ROOT";
    case 0x80000001u:
        return "HKEY_CURRENT_USER";
    case 0x80000002u:
        return "HKEY_LOCAL_MACHINE";
    case 0x80000003u:
        return "HKEY_USERS";
    case 0x80000005u:
        return "HKEY_CURRENT_CONFIG";
    default:
        break;
    }
    const machine::KernelObject* object = CurrentMachine().Handles().Find(key.value);
    if (!object || object->kind != machine::KernelObject::Kind::RegistryKey)
        return std::nullopt;
    return object->keyPath;
}

bool IsPredefined(HKEY key)
{
    return key.value >= 0x80000000u && key.value <= 0x80000006u;
}

// A subkey path must not begin with a backslash; empty means the key itself.
std::optional<std::string> Join(const std::string& parent, LPCSTR subKey)
{
    if (!subKey || !*subKey)
        return parent;
    if (subKey[0] == '\\')
        return std::nullopt;
    std::string path = parent + "\\" + subKey;
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

bool StartsWithNoCase(const std::string& text, std::string_view prefix)
{
    return text.size() >= prefix.size() && strncasecmp(text.c_str(), prefix.data(), prefix.size()) == 0;
}

// A user without rights may read the machine's keys but not open them for writing.
bool AccessDenied(const std::string& path, REGSAM sam)
{
    return CurrentMachine().Config().registryAccess == machine::RegistryAccess::Denied && (sam & kWriteAccess) &&
           StartsWithNoCase(path, "HKEY_LOCAL_MACHINE");
}

HKEY NewKeyHandle(const std::string& path, REGSAM sam)
{
    machine::KernelObject object;
    object.kind = machine::KernelObject::Kind::RegistryKey;
    object.keyPath = path;
    object.writable = (sam & KEY_SET_VALUE) != 0;
    return HKEY{CurrentMachine().Handles().Add(std::move(object))};
}

LONG OpenKey(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult)
{
    if (!phkResult)
        return static_cast<LONG>(ERROR_INVALID_PARAMETER);
    auto parent = PathOf(hKey);
    if (!parent)
        return static_cast<LONG>(ERROR_INVALID_HANDLE);
    auto path = Join(*parent, lpSubKey);
    if (!path)
        return static_cast<LONG>(ERROR_BAD_PATHNAME);
    if (!CurrentMachine().GetRegistry().KeyExists(*path))
        return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    if (AccessDenied(*path, samDesired))
        return static_cast<LONG>(ERROR_ACCESS_DENIED);
    *phkResult = NewKeyHandle(*path, samDesired);
    return static_cast<LONG>(ERROR_SUCCESS);
}

}  // namespace

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    const LONG result = OpenKey(hKey, lpSubKey, samDesired, phkResult);
    TracedCall call("RegOpenKeyExA");
    call.Arg(hKey.value).Arg(Text(lpSubKey)).Arg(ulOptions).Arg(samDesired).Arg(Pointer(phkResult));
    if (result == 0)
        call.Out("phkResult", phkResult->value);
    call.Return(result);
    return result;
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition)
{
    TracedCall call("RegCreateKeyExA");
    call.Arg(hKey.value)
        .Arg(Text(lpSubKey))
        .Arg(Reserved)
        .Arg(Text(lpClass))
        .Arg(dwOptions)
        .Arg(samDesired)
        .Arg(Pointer(lpSecurityAttributes))
        .Arg(Pointer(phkResult))
        .Arg(Pointer(lpdwDisposition));
    auto finish = [&](DWORD result) {
        call.Return(result);
        return static_cast<LONG>(result);
    };
    if (!phkResult || !lpSubKey)
        return finish(ERROR_INVALID_PARAMETER);
    auto parent = PathOf(hKey);
    if (!parent)
        return finish(ERROR_INVALID_HANDLE);
    auto path = Join(*parent, lpSubKey);
    if (!path)
        return finish(ERROR_BAD_PATHNAME);
    machine::Registry& registry = CurrentMachine().GetRegistry();
    const bool exists = registry.KeyExists(*path);
    if (AccessDenied(*path, exists ? samDesired : samDesired | KEY_CREATE_SUB_KEY))
        return finish(ERROR_ACCESS_DENIED);
    if (!exists) {
        bool created = false;
        const machine::Status status = registry.CreateKey(*path, &created);
        if (!status)
            return finish(ErrorFor(status.GetError()) == ERROR_GEN_FAILURE ? ERROR_REGISTRY_IO_FAILED
                                                                            : ErrorFor(status.GetError()));
    }
    *phkResult = NewKeyHandle(*path, samDesired);
    const DWORD disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    if (lpdwDisposition)
        *lpdwDisposition = disposition;
    call.Out("phkResult", phkResult->value);
    if (lpdwDisposition)
        call.Out("lpdwDisposition", disposition);
    return finish(ERROR_SUCCESS);
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData)
{
    TracedCall call("RegQueryValueExA");
    call.Arg(hKey.value)
        .Arg(Text(lpValueName))
        .Arg(Pointer(lpReserved))
        .Arg(Pointer(lpType))
        .Arg(Pointer(lpData))
        .Arg(lpcbData ? Json(*lpcbData) : Json(nullptr));
    auto finish = [&](DWORD result) {
        call.Return(result);
        return static_cast<LONG>(result);
    };
    if (lpReserved || (lpData && !lpcbData))
        return finish(ERROR_INVALID_PARAMETER);
    auto path = PathOf(hKey);
    if (!path)
        return finish(ERROR_INVALID_HANDLE);
    auto value = CurrentMachine().GetRegistry().QueryValue(*path, lpValueName ? lpValueName : "");
    if (!value)
        return finish(ERROR_FILE_NOT_FOUND);
    const auto size = static_cast<DWORD>(value->data.size());
    if (lpType) {
        *lpType = value->type;
        call.Out("lpType", value->type);
    }
    DWORD result = ERROR_SUCCESS;
    if (lpData) {
        if (*lpcbData < size) {
            // The buffer is left as it was; the caller learns the size it needs.
            result = ERROR_MORE_DATA;
        } else {
            std::memcpy(lpData, value->data.data(), size);
            call.Out("lpData", Hex(lpData, size));
        }
    }
    if (lpcbData) {
        *lpcbData = size;
        call.Out("lpcbData", size);
    }
    return finish(result);
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                           DWORD cbData)
{
    TracedCall call("RegSetValueExA");
    call.Arg(hKey.value).Arg(Text(lpValueName)).Arg(Reserved).Arg(dwType).Arg(Hex(lpData, lpData ? cbData : 0)).Arg(cbData);
    auto finish = [&](DWORD result) {
        call.Return(result);
        return static_cast<LONG>(result);
    };
    if (!lpData && cbData)
        return finish(ERROR_INVALID_PARAMETER);
    const machine::KernelObject* object = CurrentMachine().Handles().Find(hKey.value);
    if (IsPredefined(hKey)) {
        if (AccessDenied(*PathOf(hKey), KEY_SET_VALUE))
            return finish(ERROR_ACCESS_DENIED);
    } else if (!object || object->kind != machine::KernelObject::Kind::RegistryKey) {
        return finish(ERROR_INVALID_HANDLE);
    } else if (!object->writable) {
        return finish(ERROR_ACCESS_DENIED);
    }
    machine::RegistryValue value;
    value.type = dwType;
    if (lpData)
        value.data.assign(lpData, lpData + cbData);
    const machine::Status status =
        CurrentMachine().GetRegistry().SetValue(*PathOf(hKey), lpValueName ? lpValueName : "", value);
    if (!status) {
        const DWORD error = ErrorFor(status.GetError());
        return finish(error == ERROR_GEN_FAILURE ? ERROR_REGISTRY_IO_FAILED : error);
    }
    return finish(ERROR_SUCCESS);
}

LONG WINAPI RegCloseKey(HKEY hKey)
{
    DWORD result = ERROR_SUCCESS;
    if (!IsPredefined(hKey)) {
        const machine::KernelObject* object = CurrentMachine().Handles().Find(hKey.value);
        if (!object || object->kind != machine::KernelObject::Kind::RegistryKey)
            result = ERROR_INVALID_HANDLE;
        else
            CurrentMachine().Handles().Remove(hKey.value);
    }
    TracedCall("RegCloseKey").Arg(hKey.value).Return(result);
    return static_cast<LONG>(result);
}
