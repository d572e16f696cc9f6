#pragma once

// The basic types of the 32-bit desktop API, as the utility and the framework
// use them. Handles are 32-bit values, as on the original platform, so that
// records such as the tray record keep their sizes; message parameters and
// results are pointer-sized, because some messages carry a pointer to text.

#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;
using ATOM = WORD;
using REGSAM = DWORD;

#define CALLBACK
#define WINAPI

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// A handle of one kind: 32 bits, zero meaning none, comparable with NULL.
template <typename Tag>
struct Handle32 {
    std::uint32_t value = 0;

    constexpr Handle32() = default;
    constexpr Handle32(std::nullptr_t) {}
    constexpr explicit Handle32(std::uint32_t v) : value(v) {}

    constexpr bool operator==(const Handle32&) const = default;
    constexpr bool operator==(std::nullptr_t) const { return value == 0; }
    constexpr explicit operator bool() const { return value != 0; }
};

struct HandleTag;
struct WindowTag;
struct KeyTag;
struct IconTag;
struct MenuTag;
struct InstanceTag;
struct DeviceContextTag;
struct BrushTag;
struct CursorTag;

using HANDLE = Handle32<HandleTag>;
using HWND = Handle32<WindowTag>;
using HKEY = Handle32<KeyTag>;
using HICON = Handle32<IconTag>;
using HMENU = Handle32<MenuTag>;
using HINSTANCE = Handle32<InstanceTag>;
using HMODULE = HINSTANCE;
using HDC = Handle32<DeviceContextTag>;
using HBRUSH = Handle32<BrushTag>;
using HCURSOR = Handle32<CursorTag>;
using PHKEY = HKEY*;

static_assert(sizeof(HANDLE) == 4 && sizeof(HWND) == 4 && sizeof(HICON) == 4);

constexpr HANDLE INVALID_HANDLE_VALUE{0xFFFFFFFFu};
constexpr HKEY HKEY_CLASSES_ROOT{0x80000000u};
constexpr HKEY HKEY_CURRENT_USER{0x80000001u};
constexpr HKEY HKEY_LOCAL_MACHINE{0x80000002u};
constexpr HKEY HKEY_USERS{0x80000003u};
constexpr HKEY HKEY_CURRENT_CONFIG{0x80000005u};

struct POINT {
    LONG x;
    LONG y;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

constexpr WORD LOWORD(std::uintptr_t value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return static_cast<WPARAM>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16)); }
constexpr LPARAM MAKELPARAM(WORD low, WORD high) { return static_cast<LPARAM>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16)); }

// Resource names are either text or a small number smuggled in a pointer.
inline LPCSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(id)); }
inline bool IS_INTRESOURCE(LPCSTR name) { return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0; }
