#pragma once

// What the framework's tests share: the ids of the small resource section the
// test program carries (FrameworkTestResources.cpp), a machine per test, and
// dialogs created from a template the way DoModal creates them.

#include "Afx.h"
#include "CaseName.h"
#include "MachineFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace pervo::test {

// Strings of the test program's string table.
constexpr UINT kShortString = 1;
constexpr UINT kString255 = 2;   // 255 characters: fits a 256-character buffer with its terminator
constexpr UINT kString256 = 3;   // one more than fits
constexpr UINT kString600 = 4;   // needs the buffer to grow twice
constexpr UINT kMissingString = 99;
constexpr const char* kAppTitle = "Framework Test Title";  // AFX_IDS_APP_TITLE

// Dialog templates.
constexpr UINT kSimpleDialog = 101;  // OK and Cancel, visible
constexpr UINT kHiddenDialog = 102;  // OK and Cancel, hidden until its loop is idle

// The text of the long strings: letters a..z over and over, `length` of them.
inline std::string Letters(std::size_t length)
{
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    return text;
}

// Creates `dialog`'s window from the test program's template `id`, owned by
// `owner`, as CDialog::DoModal does, without running its loop.
inline HWND CreateFromTemplate(CDialog& dialog, UINT id, HWND owner = {})
{
    const HRSRC found = FindResourceA(kImageBase, MAKEINTRESOURCEA(static_cast<WORD>(id)), MAKEINTRESOURCEA(RT_DIALOG_ID));
    const auto* dialogTemplate = static_cast<const DialogTemplate*>(LockResource(LoadResource(kImageBase, found)));
    EXPECT_NE(dialogTemplate, nullptr) << "template " << id;
    return CreateDialogIndirectParamA(kImageBase, dialogTemplate, owner, AfxDlgProc, reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace pervo::test
