// Shell_NotifyIconA: adding, changing and removing the tray icon as the
// utility does, and the record checks the shell makes.

#include "Win32TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pervo::test {
namespace {

using test::PrintTo;

constexpr UINT kCallback = WM_USER + 101;

class Win32Shell : public Win32Test {
protected:
    Win32Shell()
    {
        m_window = HWND{Machine().Windows().CreateDialog(DialogWith({}, "Owner", WS_POPUP | WS_CAPTION), 0, m_log.Proc(), 0)};
    }

    NOTIFYICONDATAA Record(UINT id, UINT flags, const char* tip)
    {
        NOTIFYICONDATAA data{};
        data.cbSize = sizeof data;
        data.hWnd = m_window;
        data.uID = id;
        data.uFlags = flags;
        data.uCallbackMessage = kCallback;
        data.hIcon = HICON{0x20u};
        std::strncpy(data.szTip, tip, sizeof data.szTip);
        return data;
    }

    const std::vector<machine::TrayIcon>& Icons() { return Machine().Tray().Icons(); }

    DialogLog m_log;
    HWND m_window{};
};

TEST_F(Win32Shell, AddsAnIconWithWhatItsFlagsName)
{
    NOTIFYICONDATAA data = Record(132, NIF_MESSAGE | NIF_ICON | NIF_TIP, "KX-9 Pervola");
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    ASSERT_EQ(Icons().size(), 1u);
    EXPECT_EQ(Icons()[0].hwnd, m_window.value);
    EXPECT_EQ(Icons()[0].id, 132u);
    EXPECT_EQ(Icons()[0].callbackMessage, kCallback);
    EXPECT_EQ(Icons()[0].icon, 0x20u);
    EXPECT_EQ(Icons()[0].tip, "KX-9 Pervola");

    NOTIFYICONDATAA bare = Record(133, NIF_ICON, "ignored");
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &bare));
    EXPECT_EQ(Icons()[1].callbackMessage, 0u) << "without NIF_MESSAGE the icon tells its window nothing";
    EXPECT_EQ(Icons()[1].tip, "") << "without NIF_TIP the icon has no tip";
}

TEST_F(Win32Shell, AddingTheSameIconTwiceFails)
{
    NOTIFYICONDATAA data = Record(132, NIF_MESSAGE | NIF_ICON | NIF_TIP, "first");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    std::strcpy(data.szTip, "second");
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
    ASSERT_EQ(Icons().size(), 1u);
    EXPECT_EQ(Icons()[0].tip, "first");
}

struct SizeCase {
    const char* name;
    DWORD cbSize;
};

class RecordSize : public Win32Shell, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(RecordSize, OtherThanTheRecordsOwnFailsEveryRequest)
{
    NOTIFYICONDATAA data = Record(132, NIF_MESSAGE | NIF_ICON | NIF_TIP, "tip");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    data.cbSize = GetParam().cbSize;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &data));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data));
    data.uID = 200;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
    EXPECT_EQ(Icons().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordSize,
                         ::testing::Values(SizeCase{"Zero", 0}, SizeCase{"OneShort", 87}, SizeCase{"OneLong", 89},
                                           SizeCase{"ALaterVersionsSize", 504}),
                         CaseName());

TEST_F(Win32Shell, ATipOfSixtyFourCharactersWithoutTerminatorIsCutToSixtyThree)
{
    NOTIFYICONDATAA data = Record(132, NIF_TIP, "");
    std::memset(data.szTip, 'T', sizeof data.szTip);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    EXPECT_EQ(Icons()[0].tip, std::string(63, 'T'));
}

TEST_F(Win32Shell, ModifyChangesOnlyWhatItsFlagsNameAndDeleteRemovesTheIcon)
{
    NOTIFYICONDATAA data = Record(132, NIF_MESSAGE | NIF_ICON | NIF_TIP, "old");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    NOTIFYICONDATAA change = Record(132, NIF_TIP, "new");
    change.uCallbackMessage = 0;
    change.hIcon = {};
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &change));
    EXPECT_EQ(Icons()[0].tip, "new");
    EXPECT_EQ(Icons()[0].callbackMessage, kCallback);
    EXPECT_EQ(Icons()[0].icon, 0x20u);

    NOTIFYICONDATAA other = Record(133, NIF_TIP, "x");
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &other)) << "no such icon";
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &other));
    EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
    EXPECT_TRUE(Icons().empty());
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data)) << "an icon is deleted once";
}

TEST_F(Win32Shell, AnIconNeedsAWindowThatExists)
{
    NOTIFYICONDATAA data = Record(132, NIF_MESSAGE | NIF_TIP, "tip");
    data.hWnd = HWND{0xBAD0u};
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
    EXPECT_TRUE(Icons().empty());
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, nullptr));
    EXPECT_FALSE(Shell_NotifyIconA(7, &data)) << "an unknown request";
}

TEST_F(Win32Shell, AnIconGoesWithItsWindow)
{
    NOTIFYICONDATAA data = Record(132, NIF_MESSAGE | NIF_TIP, "tip");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    ASSERT_TRUE(DestroyWindow(m_window));
    EXPECT_TRUE(Icons().empty());
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data)) << "it went with the window already";
}

}  // namespace
}  // namespace pervo::test
