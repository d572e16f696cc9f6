// Message boxes: modal over their owner, answered from the keyboard or the
// frame, and given up when the session ends.

#include "CaseName.h"
#include "MachineFixture.h"

#include <gtest/gtest.h>

namespace pervo::test {
namespace {

using test::PrintTo;

using machine::Hwnd;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;
constexpr std::uint32_t kIconExclamation = 0x30;

class MessageBoxTest : public ::testing::Test {
protected:
    MessageBoxTest()
    {
        m_owner = Windows().CreateDialog(
            DialogWith({PushButton(kIdOk, "OK"), PushButton(kIdCancel, "Cancel"), PushButton(1000, "Close")}, "Owner"),
            0, m_log.Proc(), 0);
        Windows().SetFocus(Windows().GetDlgItem(m_owner, 1000));
    }

    machine::WindowManager& Windows() { return m_test.Windows(); }

    // The box that is up: the active window, which must be a message box.
    const machine::Window* Box()
    {
        const machine::Window* box = Windows().Find(Windows().ActiveWindow());
        return box && box->isMessageBox ? box : nullptr;
    }

    TestMachine m_test;
    DialogLog m_log;
    Hwnd m_owner = 0;
};

TEST_F(MessageBoxTest, DisablesItsOwnerWhileItRunsAndGivesEverythingBackAfter)
{
    bool sawBox = false;
    m_test.Input().Then([&](machine::Machine& machine) {
        const machine::Window* box = Box();
        ASSERT_NE(box, nullptr) << "the box is the active window";
        sawBox = true;
        EXPECT_EQ(box->text, "Pervo");
        EXPECT_EQ(box->messageBoxText, "Cannot open the port.");
        EXPECT_EQ(box->messageBoxType, kIconExclamation);
        EXPECT_EQ(box->owner, m_owner);
        EXPECT_FALSE(machine.Windows().Find(m_owner)->enabled);
        PressKey(machine.Windows(), msg::VkReturn);
    });

    EXPECT_EQ(Windows().MessageBox(Windows().GetDlgItem(m_owner, kIdOk), "Cannot open the port.", "Pervo", kIconExclamation),
              kIdOk);

    EXPECT_TRUE(sawBox);
    EXPECT_TRUE(Windows().Find(m_owner)->enabled);
    EXPECT_EQ(Windows().TopLevelWindows(), std::vector<Hwnd>{m_owner}) << "the box is gone";
    EXPECT_EQ(Windows().ActiveWindow(), m_owner);
    EXPECT_EQ(FocusId(Windows()), 1000) << "the owner's focus is where it was";
    EXPECT_EQ(m_test.Input().Calls(), 1);
    EXPECT_TRUE(m_log.Commands().empty()) << "the owner hears nothing of the box's buttons";
}

TEST_F(MessageBoxTest, AnOwnerThatWasDisabledAlreadyStaysDisabled)
{
    Windows().EnableWindow(m_owner, false);
    m_test.Input().Then([](machine::Machine& machine) { PressKey(machine.Windows(), msg::VkEscape); });
    EXPECT_EQ(Windows().MessageBox(m_owner, "text", "caption", 0), kIdOk);
    EXPECT_FALSE(Windows().Find(m_owner)->enabled);
}

TEST_F(MessageBoxTest, TheSessionEndingWhileItIsUpReturnsZero)
{
    EXPECT_EQ(Windows().MessageBox(m_owner, "text", "caption", 0), 0);
    EXPECT_EQ(m_test.Input().Calls(), 1);
    EXPECT_TRUE(Windows().Find(m_owner)->enabled);
    EXPECT_EQ(Windows().TopLevelWindows(), std::vector<Hwnd>{m_owner});
}

TEST(MessageBoxWithoutOwner, RunsAndComesDown)
{
    TestMachine test;
    test.Input().Then([](machine::Machine& machine) {
        ASSERT_NE(machine.Windows().ActiveWindow(), 0u);
        EXPECT_EQ(machine.Windows().Find(machine.Windows().ActiveWindow())->owner, 0u);
        PressKey(machine.Windows(), msg::VkReturn);
    });
    EXPECT_EQ(test.Windows().MessageBox(0, "text", "caption", 1 /* MB_OKCANCEL */), kIdOk);
    EXPECT_TRUE(test.Windows().TopLevelWindows().empty());
}

enum class Answer { Enter, Escape, CloseBox, AltF4, TabThenEnter, Mnemonic };

struct AnswerCase {
    const char* name;
    std::uint32_t type;
    std::vector<Answer> answers;  // one per time the machine asks for input
    int expected;                 // 0: the box was still up when the session ended
};

class AnsweringAMessageBox : public MessageBoxTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(AnsweringAMessageBox, ReturnsTheButtonThePersonChose)
{
    const AnswerCase& c = GetParam();
    for (Answer answer : c.answers) {
        m_test.Input().Then([answer](machine::Machine& machine) {
            machine::WindowManager& windows = machine.Windows();
            switch (answer) {
            case Answer::Enter:
                PressKey(windows, msg::VkReturn);
                break;
            case Answer::Escape:
                PressKey(windows, msg::VkEscape);
                break;
            case Answer::CloseBox:
                windows.PostInput({windows.ActiveWindow(), msg::NcLButtonUp, msg::HtClose, 0, machine::kNoModifier, {}});
                break;
            case Answer::AltF4:
                PressKey(windows, msg::VkF4, machine::kAlt);
                break;
            case Answer::TabThenEnter:
                PressKey(windows, msg::VkTab);
                PressKey(windows, msg::VkReturn);
                break;
            case Answer::Mnemonic:
                PressKey(windows, 'N', machine::kAlt);
                break;
            }
        });
    }
    EXPECT_EQ(Windows().MessageBox(m_owner, "Save the setting?", "Pervo", c.type), c.expected);
    EXPECT_EQ(m_test.Input().StepsLeft(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnsweringAMessageBox,
    ::testing::Values(AnswerCase{"OkByEnter", 0, {Answer::Enter}, kIdOk},
                      AnswerCase{"OkByEscape", 0, {Answer::Escape}, kIdOk},
                      AnswerCase{"OkByTheCloseBox", 0, {Answer::CloseBox}, kIdOk},
                      AnswerCase{"OkByAltF4", 0x30, {Answer::AltF4}, kIdOk},
                      AnswerCase{"OkCancelByEnter", 1, {Answer::Enter}, kIdOk},
                      AnswerCase{"OkCancelByEscape", 1, {Answer::Escape}, kIdCancel},
                      AnswerCase{"OkCancelByTheCloseBox", 1, {Answer::CloseBox}, kIdCancel},
                      AnswerCase{"OkCancelByTabAndEnter", 1, {Answer::TabThenEnter}, kIdCancel},
                      AnswerCase{"YesNoByEnterIsYes", 4, {Answer::Enter}, kIdYes},
                      AnswerCase{"YesNoByMnemonic", 4, {Answer::Mnemonic}, kIdNo},
                      AnswerCase{"YesNoIgnoresEscape", 4, {Answer::Escape, Answer::Mnemonic}, kIdNo},
                      AnswerCase{"YesNoIgnoresTheCloseBox", 4, {Answer::CloseBox, Answer::Enter}, kIdYes},
                      AnswerCase{"YesNoUnansweredWhenTheSessionEnds", 4, {Answer::Escape}, 0},
                      AnswerCase{"YesNoCancelByEscape", 3, {Answer::Escape}, kIdCancel},
                      AnswerCase{"RetryCancelByEscape", 5, {Answer::Escape}, kIdCancel}),
    CaseName());

}  // namespace
}  // namespace pervo::test
