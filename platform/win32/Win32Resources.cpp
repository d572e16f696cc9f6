// The resource loader and dialog creation from templates.

#include "Win32Internal.h"

#include <cstring>

using namespace pervo;
using namespace pervo::win32;

namespace {

const ResourceSection* Image(HINSTANCE instance)
{
    if (instance != kImageBase || &g_imageResources == nullptr)
        return nullptr;
    return &g_imageResources;
}

const IconResource* FindIconResource(const ResourceSection& image, WORD id)
{
    for (std::size_t i = 0; i < image.iconCount; ++i) {
        if (image.icons[i].id == id)
            return &image.icons[i];
    }
    return nullptr;
}

// One handle per icon resource, as the loader shares icons it has loaded.
HICON IconFor(const IconResource& resource)
{
    machine::Machine& machine = CurrentMachine();
    if (std::uint32_t existing = machine.FindIconByResource(resource.id))
        return HICON{existing};
    machine::IconImage image;
    image.width = resource.width;
    image.height = resource.height;
    image.resourceId = resource.id;
    for (std::size_t row = 0; row < resource.pictureRows; ++row)
        image.picture.emplace_back(resource.picture[row]);
    return HICON{machine.AddIcon(std::move(image))};
}

// The resource handle packs the type in the high byte and the index below it.
constexpr DWORD kDialogHandle = 0x05000000u;
constexpr DWORD kVersionHandle = 0x10000000u;

machine::WindowClass ClassOf(DialogControlClass control)
{
    switch (control) {
    case DialogControlClass::Button:
        return machine::WindowClass::Button;
    case DialogControlClass::ComboBox:
        return machine::WindowClass::ComboBox;
    case DialogControlClass::Static:
        break;
    }
    return machine::WindowClass::Static;
}

}  // namespace

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType)
{
    const ResourceSection* image = Image(hModule ? hModule : kImageBase);
    if (!image || !IS_INTRESOURCE(lpType) || !IS_INTRESOURCE(lpName)) {
        SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return {};
    }
    const auto type = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(lpType));
    const auto name = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(lpName));
    if (type == RT_DIALOG_ID) {
        for (std::size_t i = 0; i < image->dialogCount; ++i) {
            if (image->dialogs[i]->resourceId == name)
                return HRSRC{kDialogHandle | static_cast<DWORD>(i + 1)};
        }
    } else if (type == RT_VERSION_ID && image->version && name == 1) {
        return HRSRC{kVersionHandle | 1u};
    } else {
        SetError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return {};
    }
    SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return {};
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo)
{
    return hResInfo;
}

LPCVOID WINAPI LockResource(HGLOBAL hResData)
{
    const ResourceSection* image = Image(kImageBase);
    if (!image || !hResData)
        return nullptr;
    const DWORD kind = hResData.value & 0xFF000000u;
    const DWORD index = (hResData.value & 0x00FFFFFFu) - 1;
    if (kind == kDialogHandle && index < image->dialogCount)
        return image->dialogs[index];
    if (kind == kVersionHandle)
        return image->version;
    return nullptr;
}

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax)
{
    int length = 0;
    const ResourceSection* image = Image(hInstance);
    if (lpBuffer && cchBufferMax > 0) {
        lpBuffer[0] = '\0';
        for (std::size_t i = 0; image && i < image->stringCount; ++i) {
            if (image->strings[i].id != uID)
                continue;
            const std::size_t size = std::strlen(image->strings[i].text);
            length = static_cast<int>(std::min<std::size_t>(size, static_cast<std::size_t>(cchBufferMax - 1)));
            std::memcpy(lpBuffer, image->strings[i].text, static_cast<std::size_t>(length));
            lpBuffer[length] = '\0';
        }
        if (length == 0)
            SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    TracedCall call("LoadStringA");
    call.Arg(hInstance.value).Arg(uID).Arg(Pointer(lpBuffer)).Arg(cchBufferMax);
    if (lpBuffer && cchBufferMax > 0)
        call.Out("lpBuffer", lpBuffer);
    call.Return(length);
    return length;
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName)
{
    HICON icon{};
    const ResourceSection* image = Image(hInstance);
    if (image && IS_INTRESOURCE(lpIconName)) {
        const auto id = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(lpIconName));
        if (const IconResource* resource = FindIconResource(*image, id))
            icon = IconFor(*resource);
    }
    if (!icon)
        SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    TracedCall("LoadIconA")
        .Arg(hInstance.value)
        .Arg(IS_INTRESOURCE(lpIconName) ? Json(reinterpret_cast<std::uintptr_t>(lpIconName)) : Text(lpIconName))
        .Return(icon.value);
    return icon;
}

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA lpTemplate, HWND hWndParent,
                                       DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    if (!lpTemplate) {
        SetError(ERROR_INVALID_PARAMETER);
        return {};
    }
    const ResourceSection* image = Image(hInstance);
    machine::DialogLayout layout;
    layout.style = lpTemplate->style;
    layout.exStyle = lpTemplate->exStyle;
    layout.x = lpTemplate->x;
    layout.y = lpTemplate->y;
    layout.cx = lpTemplate->cx;
    layout.cy = lpTemplate->cy;
    layout.caption = lpTemplate->caption ? lpTemplate->caption : "";
    layout.templateId = lpTemplate->resourceId;
    for (std::size_t i = 0; i < lpTemplate->itemCount; ++i) {
        const DialogItemTemplate& item = lpTemplate->items[i];
        machine::DialogItemLayout control;
        control.windowClass = ClassOf(item.windowClass);
        // Controls of a template are visible unless it says otherwise.
        control.style = item.style | WS_CHILD | WS_VISIBLE;
        control.exStyle = item.exStyle;
        control.x = item.x;
        control.y = item.y;
        control.cx = item.cx;
        control.cy = item.cy;
        control.id = item.id;
        control.text = item.text ? item.text : "";
        if (item.iconResource && image) {
            // A static that names an icon the program lacks shows the program's
            // own icon, the first of its icon groups, as the shell would.
            const IconResource* resource = FindIconResource(*image, item.iconResource);
            if (!resource && image->iconCount > 0)
                resource = &image->icons[0];
            if (resource)
                control.icon = IconFor(*resource).value;
        }
        layout.items.push_back(std::move(control));
    }
    const machine::Hwnd hwnd = CurrentMachine().Windows().CreateDialog(
        layout, hWndParent.value, lpDialogFunc ? WrapDialogProc(lpDialogFunc) : machine::WindowProc{}, dwInitParam);
    return HWND{hwnd};
}
