#pragma once

#include "Win32Types.h"

#include <cstddef>

// The program's resource section. The original platform keeps resources as
// binary records inside the executable; this platform keeps them as typed,
// constant data that the program's res/ folder defines under the one symbol
// below, so the loader (FindResourceA, LoadStringA, LoadIconA) finds them the
// same way: by module, type and number.

// Window classes a dialog template may name for its controls.
enum class DialogControlClass { Button, Static, ComboBox };

struct DialogItemTemplate {
    DialogControlClass windowClass;
    DWORD style;
    DWORD exStyle;
    short x;
    short y;
    short cx;
    short cy;
    int id;
    LPCSTR text;         // the control's text
    WORD iconResource;   // static icons (SS_ICON): the icon resource to show; 0 otherwise
};

struct DialogTemplate {
    WORD resourceId;
    bool extended;       // the extended template form
    DWORD style;
    DWORD exStyle;
    short x;
    short y;
    short cx;
    short cy;
    LPCSTR caption;
    WORD pointSize;
    LPCSTR typeface;
    const DialogItemTemplate* items;
    std::size_t itemCount;
};
using LPCDLGTEMPLATEA = const DialogTemplate*;

struct StringResource {
    UINT id;
    LPCSTR text;
};

// An icon group: one image of the given size and colour count, with a picture
// a text screen can draw (rows of equal length).
struct IconResource {
    WORD id;
    int width;
    int height;
    int colors;
    const char* const* picture;
    std::size_t pictureRows;
};

struct VersionString {
    LPCSTR name;
    LPCSTR value;
};

struct VersionResource {
    WORD fileVersion[4];
    WORD productVersion[4];
    DWORD fileOS;
    DWORD fileType;
    LPCSTR block;          // the string block's language and code page, e.g. "040904b0"
    WORD translationLanguage;
    WORD translationCodePage;
    const VersionString* strings;
    std::size_t stringCount;
};

struct ResourceSection {
    const DialogTemplate* const* dialogs;
    std::size_t dialogCount;
    const StringResource* strings;
    std::size_t stringCount;
    const IconResource* icons;
    std::size_t iconCount;
    const VersionResource* version;
};

// Defined by the program's resources; a program without any leaves it undefined.
extern const ResourceSection g_imageResources __attribute__((weak));

// The module handle of the program itself.
constexpr HINSTANCE kImageBase{0x00400000u};

struct RESOURCE_HANDLE_TAG;
using HRSRC = Handle32<RESOURCE_HANDLE_TAG>;
using HGLOBAL = HRSRC;
