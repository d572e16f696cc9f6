// What the desktop draws, as text snapshots of the frame and, where the look
// is in the attributes (focus, default button, mnemonics, disabled), as the
// attributes of the cells that carry it.

#include "DesktopRenderer.h"
#include "DesktopTestSupport.h"

namespace pervo::desktop {
namespace {
using namespace testing_support;

std::string Rows(const std::string& dump, int first, int last)
{
    std::string rows;
    int row = 0;
    std::size_t start = 0;
    while (start < dump.size()) {
        const std::size_t end = dump.find('\n', start);
        if (row >= first && row <= last)
            rows += dump.substr(start, end - start + 1);
        start = end + 1;
        ++row;
    }
    return rows;
}

// The column of the first cell of `text` in a row of the frame.
int ColumnOf(const ScreenGrid& grid, int row, std::string_view text)
{
    std::string line;
    for (int column = 0; column < grid.Columns(); ++column) {
        const char32_t glyph = grid.At(column, row).glyph;
        line.push_back(glyph < 0x80 ? static_cast<char>(glyph) : '#');
    }
    const std::size_t at = line.find(text);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

// The text of `width` cells of a row, from `column` on, trailing blanks removed.
std::string Slice(const ScreenGrid& grid, int row, int column, int width)
{
    ScreenGrid part(width, 1);
    for (int i = 0; i < width; ++i)
        part.Put(i, 0, grid.At(column + i, row).glyph, kPlain);
    return part.RowText(0);
}

bool Has(const ScreenGrid& grid, CellPoint at, std::uint8_t attribute)
{
    return (grid.At(at.column, at.row).attributes & attribute) != 0;
}

TEST_F(DesktopTest, PortSetupDialogIsCentredInTheWorkAreaWithItsControls)
{
    ShowPortSetup();
    AddTrayIcon();
    EXPECT_EQ(session->Frame().Dump(),
              "\n\n\n\n\n"
              "               [-] KX-9 Pervola                               [X]\n"
              "               │                                                │\n"
              "               │                                <    OK     >   │\n"
              "               │                                                │\n"
              "               │    Comm Port: [COM2:     ▼]    [  Cancel   ]   │\n"
              "               │                                                │\n"
              "               │                                                │\n"
              "               │                                                │\n"
              "               │                                                │\n"
              "               │                                                │\n"
              "               │                                [   Close   ]   │\n"
              "               │                                                │\n"
              "               │                                                │\n"
              "               └────────────────────────────────────────────────┘\n"
              "\n\n\n\n\n"
              "[KX-9 Pervola]                              F9 Tray icon  Ctrl+Q Log off │ /KX\\\n");
}

TEST_F(DesktopTest, DefaultButtonFocusAndMnemonicsAreMarked)
{
    ShowPortSetup();
    ScreenGrid frame = session->Frame();
    // The focus starts on OK, which is also the default button.
    const int ok = ColumnOf(frame, 7, "OK");
    EXPECT_TRUE(Has(frame, {ok, 7}, kReverse));
    EXPECT_TRUE(Has(frame, {ok, 7}, kBold));
    EXPECT_TRUE(Has(frame, {ok, 7}, kUnderline)) << "O is OK's mnemonic";
    EXPECT_FALSE(Has(frame, {ok + 1, 7}, kUnderline));
    EXPECT_EQ(frame.cursor, (CellPoint{ok, 7}));
    const int cancel = ColumnOf(frame, 9, "Cancel");
    EXPECT_TRUE(Has(frame, {cancel + 1, 9}, kUnderline)) << "a is Cancel's mnemonic";
    EXPECT_FALSE(Has(frame, {cancel, 9}, kReverse));
    const int label = ColumnOf(frame, 9, "Comm Port:");
    EXPECT_TRUE(Has(frame, {label + 5, 9}, kUnderline)) << "P is the label's mnemonic";
    // The caption of the active window is reversed and bold.
    EXPECT_TRUE(Has(frame, {20, 5}, kReverse));
    EXPECT_TRUE(Has(frame, {20, 5}, kBold));

    // A focused push button is the one Enter presses, so it takes the default look.
    Windows().SetFocus(Windows().GetDlgItem(dialog, msg::IdCancel));
    frame = session->Frame();
    EXPECT_EQ(Slice(frame, 7, 48, 13), "[    OK     ]");
    EXPECT_EQ(Slice(frame, 9, 48, 13), "<  Cancel   >");
    EXPECT_TRUE(Has(frame, {cancel, 9}, kReverse));
    EXPECT_FALSE(Has(frame, {ok, 7}, kReverse));

    // The list with the focus shows its text reversed; the cursor stands in it.
    Windows().SetFocus(Windows().GetDlgItem(dialog, kListId));
    frame = session->Frame();
    EXPECT_TRUE(Has(frame, {ColumnOf(frame, 9, "COM2:"), 9}, kReverse));
    EXPECT_EQ(frame.cursor, (CellPoint{ColumnOf(frame, 9, "COM2:"), 9}));
    EXPECT_EQ(Slice(frame, 7, 48, 13), "<    OK     >") << "without a focused button, the default is OK again";
}

TEST_F(DesktopTest, DisabledControlIsDim)
{
    ShowPortSetup();
    Windows().EnableWindow(Windows().GetDlgItem(dialog, kCloseId), false);
    const ScreenGrid frame = session->Frame();
    EXPECT_TRUE(Has(frame, {ColumnOf(frame, 15, "Close"), 15}, kDim));
    EXPECT_FALSE(Has(frame, {ColumnOf(frame, 9, "Cancel"), 9}, kDim));
}

TEST_F(DesktopTest, DroppedListShowsItsEntriesBelowItsField)
{
    ShowPortSetup();
    Windows().Send(Windows().GetDlgItem(dialog, kListId), msg::ComboShowDropDown, 1, 0);
    const ScreenGrid frame = session->Frame();
    EXPECT_EQ(Rows(frame.Dump(), 9, 13),
              "               │    Comm Port: [COM2:     ▼]    [  Cancel   ]   │\n"
              "               │               │COM1:      │                    │\n"
              "               │               │COM2:      │                    │\n"
              "               │               │COM3:      │                    │\n"
              "               │               └───────────┘                    │\n");
    EXPECT_TRUE(Has(frame, {32, 11}, kReverse)) << "the selected entry";
    EXPECT_FALSE(Has(frame, {32, 10}, kReverse));
}

TEST_F(DesktopTest, DroppedListScrollsToKeepTheSelectionInSight)
{
    std::vector<std::string> ports;
    for (int n = 1; n <= 9; ++n)
        ports.push_back("COM" + std::to_string(n) + ":");
    ShowPortSetup(ports, 7);
    const machine::Hwnd list = Windows().GetDlgItem(dialog, kListId);
    Windows().Send(list, msg::ComboShowDropDown, 1, 0);
    // The list reaches as far as its rectangle: five entries and the border.
    EXPECT_EQ(Rows(session->Frame().Dump(), 10, 15),
              "               │               │COM4:      │                    │\n"
              "               │               │COM5:      │                    │\n"
              "               │               │COM6:      │                    │\n"
              "               │               │COM7:      │                    │\n"
              "               │               │COM8:      │                    │\n"
              "               │               └───────────┘    [   Close   ]   │\n");
    Windows().Send(list, msg::ComboSetCurSel, 0, 0);
    EXPECT_EQ(Rows(session->Frame().Dump(), 10, 10), "               │               │COM1:      │                    │\n");
    Windows().Send(list, msg::ComboSetCurSel, 8, 0);
    EXPECT_EQ(Rows(session->Frame().Dump(), 14, 14), "               │               │COM9:      │                    │\n");
}

TEST_F(DesktopTest, MessageBoxStandsOverItsDimmedOwner)
{
    ShowPortSetup();
    terminal.reads.push_back({KeyPress{msg::VkReturn}});
    const int answer = Windows().MessageBox(dialog, "The port is busy.", "Port Setup", msg::MbOk);
    EXPECT_EQ(answer, msg::IdOk);
    ASSERT_FALSE(terminal.frames.empty());
    const std::string shown = terminal.frames.back();
    EXPECT_EQ(Rows(shown, 8, 15),
              "               │          [-] Port Setup           [X]          │\n"
              "               │    Comm P│                          │cel   ]   │\n"
              "               │          │  The port is busy.       │          │\n"
              "               │          │                          │          │\n"
              "               │          │                          │          │\n"
              "               │          │      <    OK     >       │          │\n"
              "               │          │                          │          │\n"
              "               │          └──────────────────────────┘ose   ]   │\n");
    // Drawn again from the same state: the owner is dim and its caption not bold.
    // (The box is gone now, so look at a frame of the owner disabled by hand.)
    Windows().EnableWindow(dialog, false);
    const ScreenGrid frame = session->Frame();
    EXPECT_TRUE(Has(frame, {20, 5}, kDim));
    EXPECT_FALSE(Has(frame, {20, 5}, kBold));
    EXPECT_TRUE(Has(frame, {ColumnOf(frame, 7, "OK"), 7}, kDim));
}

TEST_F(DesktopTest, StaticIconShowsItsPictureAndOwnedWindowsHaveNoTaskbarButton)
{
    machine::IconImage image;
    image.picture = {"/KX\\", "\\-9/"};
    const std::uint32_t icon = machine->AddIcon(image);
    machine::DialogLayout layout;
    layout.style = msg::WsPopup | msg::WsCaption | msg::WsSysMenu | msg::DsModalFrame | msg::DsCenter;
    layout.cx = 217;
    layout.cy = 55;
    layout.caption = "About Pervo";
    machine::DialogItemLayout picture;
    picture.style = msg::WsVisible | msg::SsIcon;
    picture.x = 11;
    picture.y = 17;
    picture.cx = 20;
    picture.cy = 20;
    picture.icon = icon;
    machine::DialogItemLayout version;
    version.style = msg::WsVisible | msg::SsNoPrefix;
    version.x = 40;
    version.y = 10;
    version.cx = 119;
    version.cy = 8;
    version.text = "Pervo & Co";
    layout.items = {picture, version};
    const machine::Hwnd about = Windows().CreateDialog(layout, 0, {}, 0);
    Windows().ShowWindow(about, 1);
    const std::string shown = session->Frame().Dump();
    EXPECT_EQ(Rows(shown, 7, 11),
              "           [-] About Pervo                                        [X]\n"
              "           │                                                        │\n"
              "           │          Pervo & Co                                    │\n"
              "           │  /KX\\                                                  │\n"
              "           │  \\-9/                                                  │\n");
    EXPECT_EQ(Rows(shown, 24, 24), std::string(51, ' ') + "F9 Tray icon  Ctrl+Q Log off\n");
}

TEST_F(DesktopTest, HiddenDialogLeavesTheTrayIconAndItsTipOnHover)
{
    ShowPortSetup();
    AddTrayIcon();
    Windows().ShowWindow(dialog, 0);
    Do(MouseEvent{MouseAction::Move, MouseButton::None, kTrayIconCell.column, kTrayIconCell.row, 0, 0});
    const ScreenGrid frame = session->Frame();
    EXPECT_EQ(Rows(frame.Dump(), 0, 22), std::string(23, '\n'));
    EXPECT_EQ(frame.RowText(23), std::string(66, ' ') + "KX-9 Pervola");
    EXPECT_TRUE(Has(frame, {65, 23}, kReverse)) << "the tip is a reversed box";
    EXPECT_EQ(frame.RowText(24), std::string(44, ' ') + "F9 Tray icon  Ctrl+Q Log off │ /KX\\");
    EXPECT_FALSE(frame.cursor) << "nothing has the focus";
    // The tip goes when the pointer leaves the icon.
    Do(MouseEvent{MouseAction::Move, MouseButton::None, 10, 10, 0, 0});
    EXPECT_EQ(session->Frame().RowText(23), "");
}

TEST_F(DesktopTest, TrayIconWithoutPictureShowsTheStartOfItsTip)
{
    ShowPortSetup();
    machine->Tray().Add({dialog, 7, kTrayCallback, 0, "Serial ports"});
    AddTrayIcon("Second");
    const ScreenGrid frame = session->Frame();
    EXPECT_EQ(Slice(frame, 24, 65, 15), "ff │ Seri /KX\\");
}

TEST_F(DesktopTest, SystemMenuOpensUnderItsBox)
{
    ShowPortSetup();
    Key(msg::VkSpace, machine::kAlt, ' ');
    Key(msg::VkDown);
    const ScreenGrid frame = session->Frame();
    EXPECT_EQ(Rows(frame.Dump(), 5, 9),
              "               [-] KX-9 Pervola                               [X]\n"
              "               ┌────────────────┐                               │\n"
              "               │ Move           │               <    OK     >   │\n"
              "               │ Close   Alt+F4 │                               │\n"
              "               └────────────────┘OM2:     ▼]    [  Cancel   ]   │\n");
    EXPECT_TRUE(Has(frame, {17, 8}, kReverse)) << "Close is highlighted";
    EXPECT_TRUE(Has(frame, {17, 8}, kUnderline)) << "C is its mnemonic";
    EXPECT_FALSE(Has(frame, {17, 7}, kReverse));
}

TEST_F(DesktopTest, WindowsStayWhereTheyAreWhenTheTerminalGrows)
{
    ShowPortSetup();
    const machine::Rect before = Windows().Find(dialog)->rect;
    Do(ResizeEvent{120, 40});
    EXPECT_EQ(Windows().Find(dialog)->rect, before);
    Do(ResizeEvent{60, 20});
    const machine::Rect after = Windows().Find(dialog)->rect;
    EXPECT_EQ(after.Width(), before.Width());
    EXPECT_LE(after.right, 60 * 8);
    EXPECT_LE(after.bottom, 19 * 16) << "inside the work area, above the taskbar";
}

TEST_F(DesktopTest, SmallTerminalClipsWindowsAndKeepsTheTaskbarOnItsLastRow)
{
    ShowPortSetup();
    AddTrayIcon();
    Do(ResizeEvent{30, 8});
    const ScreenGrid frame = session->Frame();
    EXPECT_EQ(frame.Columns(), 30);
    EXPECT_EQ(frame.Rows(), 8);
    // The dialog moved to the top left to stay in reach; what does not fit is cut.
    EXPECT_EQ(frame.RowText(0), "[-] KX-9 Pervola");
    EXPECT_EQ(frame.RowText(4), "│    Comm Port: [COM2:     ▼]");
    EXPECT_EQ(frame.RowText(7), "[KX-9 Pervola]         │ /KX\\") << "no room for the desktop keys";
    EXPECT_EQ(Windows().Screen(), (machine::Rect{0, 0, 30 * 8, 8 * 16}));
    EXPECT_EQ(Windows().WorkArea().bottom, 7 * 16);
}

}  // namespace
}  // namespace pervo::desktop
