// The notification area: icons keyed by their window and id, kept in the
// order they were added, and the mouse messages a person's clicks make.

#include "CaseName.h"
#include "Shell.h"
#include "WindowMessages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pervo::test {
namespace {

using test::PrintTo;

namespace msg = machine::msg;
using machine::NotificationArea;
using machine::TrayEvent;
using machine::TrayIcon;

constexpr machine::Hwnd kWindow = 0x10004;
constexpr machine::Hwnd kOtherWindow = 0x10020;
constexpr std::uint32_t kCallback = msg::User + 101;

std::vector<std::string> Tips(const NotificationArea& tray)
{
    std::vector<std::string> tips;
    for (const TrayIcon& icon : tray.Icons())
        tips.push_back(icon.tip);
    return tips;
}

TEST(NotificationArea, AddsIconsKeyedByWindowAndIdInTheOrderAdded)
{
    NotificationArea tray;
    EXPECT_TRUE(tray.Add({kWindow, 132, kCallback, 0x20, "first"}));
    EXPECT_TRUE(tray.Add({kOtherWindow, 132, kCallback, 0x20, "same id, other window"}));
    EXPECT_TRUE(tray.Add({kWindow, 133, kCallback, 0x20, "other id"}));
    EXPECT_FALSE(tray.Add({kWindow, 132, 0, 0, "again"})) << "a window's id is added once";
    EXPECT_EQ(Tips(tray), (std::vector<std::string>{"first", "same id, other window", "other id"}));
    ASSERT_NE(tray.Find(kOtherWindow, 132), nullptr);
    EXPECT_EQ(tray.Find(kOtherWindow, 132)->tip, "same id, other window");
    EXPECT_EQ(tray.Find(kOtherWindow, 133), nullptr);
}

struct ModifyCase {
    const char* name;
    bool setMessage, setIcon, setTip;
    std::uint32_t expectedMessage, expectedIcon;
    const char* expectedTip;
};

class ModifyingAnIcon : public ::testing::TestWithParam<ModifyCase> {};

TEST_P(ModifyingAnIcon, ChangesOnlyWhatItsFlagsName)
{
    const ModifyCase& c = GetParam();
    NotificationArea tray;
    ASSERT_TRUE(tray.Add({kWindow, 132, kCallback, 0x20, "old tip"}));
    ASSERT_TRUE(tray.Add({kOtherWindow, 132, kCallback, 0x20, "other"}));
    EXPECT_TRUE(tray.Modify({kWindow, 132, kCallback + 1, 0x24, "new tip"}, c.setMessage, c.setIcon, c.setTip));
    const TrayIcon* icon = tray.Find(kWindow, 132);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->callbackMessage, c.expectedMessage);
    EXPECT_EQ(icon->icon, c.expectedIcon);
    EXPECT_EQ(icon->tip, c.expectedTip);
    EXPECT_EQ(tray.Find(kOtherWindow, 132)->tip, "other") << "another window's icon of the same id is untouched";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModifyingAnIcon,
    ::testing::Values(ModifyCase{"Nothing", false, false, false, kCallback, 0x20, "old tip"},
                      ModifyCase{"Message", true, false, false, kCallback + 1, 0x20, "old tip"},
                      ModifyCase{"Icon", false, true, false, kCallback, 0x24, "old tip"},
                      ModifyCase{"Tip", false, false, true, kCallback, 0x20, "new tip"},
                      ModifyCase{"All", true, true, true, kCallback + 1, 0x24, "new tip"}),
    CaseName());

TEST(NotificationArea, ModifyAndDeleteOfAnIconThatIsNotThereFail)
{
    NotificationArea tray;
    ASSERT_TRUE(tray.Add({kWindow, 132, kCallback, 0x20, "tip"}));
    EXPECT_FALSE(tray.Modify({kWindow, 133, 0, 0, "x"}, true, true, true));
    EXPECT_FALSE(tray.Modify({kOtherWindow, 132, 0, 0, "x"}, true, true, true));
    EXPECT_FALSE(tray.Delete(kOtherWindow, 132));
    EXPECT_FALSE(tray.Delete(kWindow, 133));
    EXPECT_EQ(Tips(tray), std::vector<std::string>{"tip"});
}

TEST(NotificationArea, DeleteRemovesOneIconAndKeepsTheOrderOfTheRest)
{
    NotificationArea tray;
    tray.Add({kWindow, 1, 0, 0, "a"});
    tray.Add({kOtherWindow, 1, 0, 0, "b"});
    tray.Add({kWindow, 2, 0, 0, "c"});
    EXPECT_TRUE(tray.Delete(kWindow, 1));
    EXPECT_FALSE(tray.Delete(kWindow, 1)) << "an icon is deleted once";
    EXPECT_EQ(Tips(tray), (std::vector<std::string>{"b", "c"}));
    EXPECT_TRUE(tray.Add({kWindow, 1, 0, 0, "a again"})) << "a deleted id can be added again, at the end";
    EXPECT_EQ(Tips(tray), (std::vector<std::string>{"b", "c", "a again"}));
    tray.RemoveAllOf(kWindow);
    EXPECT_EQ(Tips(tray), std::vector<std::string>{"b"});
}

struct MouseCase {
    const char* name;
    TrayEvent event;
    std::vector<std::uint32_t> messages;
};

class TrayMouse : public ::testing::TestWithParam<MouseCase> {};

TEST_P(TrayMouse, MakesTheMessagesARealMouseMakes)
{
    EXPECT_EQ(NotificationArea::MouseMessagesFor(GetParam().event), GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrayMouse,
    ::testing::Values(
        MouseCase{"Click", TrayEvent::Click, {msg::LButtonDown, msg::LButtonUp}},
        MouseCase{"DoubleClick", TrayEvent::DoubleClick,
                  {msg::LButtonDown, msg::LButtonUp, msg::LButtonDoubleClick, msg::LButtonUp}},
        MouseCase{"RightClick", TrayEvent::RightClick, {msg::RButtonDown, msg::RButtonUp}},
        MouseCase{"RightDoubleClick", TrayEvent::RightDoubleClick,
                  {msg::RButtonDown, msg::RButtonUp, msg::RButtonDoubleClick, msg::RButtonUp}},
        MouseCase{"Move", TrayEvent::Move, {msg::MouseMove}}),
    CaseName());

}  // namespace
}  // namespace pervo::test
