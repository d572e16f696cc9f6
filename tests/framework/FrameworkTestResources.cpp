// The test program's resource section: a few strings, among them some longer
// than the framework's first buffer, the application title, and two small
// dialog templates.

#include "FrameworkTestSupport.h"

#include <array>

namespace {

using pervo::test::kAppTitle;

template <std::size_t Length>
constexpr std::array<char, Length + 1> LetterArray()
{
    std::array<char, Length + 1> text{};
    for (std::size_t i = 0; i < Length; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    return text;
}

constexpr auto kText255 = LetterArray<255>();
constexpr auto kText256 = LetterArray<256>();
constexpr auto kText600 = LetterArray<600>();

const StringResource kStrings[] = {
    {pervo::test::kShortString, "Short"},
    {pervo::test::kString255, kText255.data()},
    {pervo::test::kString256, kText256.data()},
    {pervo::test::kString600, kText600.data()},
    {AFX_IDS_APP_TITLE, kAppTitle},
};

const DialogItemTemplate kOkCancel[] = {
    {DialogControlClass::Button, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 10, 10, 50, 14, IDOK, "OK", 0},
    {DialogControlClass::Button, BS_PUSHBUTTON | WS_TABSTOP, 0, 10, 30, 50, 14, IDCANCEL, "Cancel", 0},
};

const DialogTemplate kSimple = {static_cast<WORD>(pervo::test::kSimpleDialog), false,
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME, 0, 0, 0, 100, 60,
                                "Simple", 8, "MS Sans Serif", kOkCancel, std::size(kOkCancel)};
const DialogTemplate kHidden = {static_cast<WORD>(pervo::test::kHiddenDialog), false,
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 0, 100, 60,
                                "Hidden", 8, "MS Sans Serif", kOkCancel, std::size(kOkCancel)};
const DialogTemplate* const kDialogs[] = {&kSimple, &kHidden};

}  // namespace

extern const ResourceSection g_imageResources = {kDialogs, std::size(kDialogs), kStrings, std::size(kStrings), nullptr, 0, nullptr};
