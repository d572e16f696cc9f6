#include "DesktopRenderer.h"

#include "UserActions.h"
#include "WindowMessages.h"

#include <algorithm>

namespace pervo::desktop {
namespace msg = machine::msg;

void RenderDesktop(machine::Machine& machine, const DesktopView& view, ScreenGrid& grid)
{
    DesktopRenderer(machine, view, grid).Render();
}

DesktopRenderer::DesktopRenderer(machine::Machine& machine, const DesktopView& view, ScreenGrid& grid)
    : m_machine(machine), m_view(view), m_grid(grid), m_layout(machine, view, grid.Columns(), grid.Rows())
{
}

void DesktopRenderer::Render()
{
    m_grid.ResetClip();
    m_grid.Fill(m_grid.Bounds(), U' ', kPlain);
    const auto shown = m_layout.ShownWindows();
    for (auto it = shown.rbegin(); it != shown.rend(); ++it)
        DrawWindow(*it);
    m_grid.ResetClip();
    if (const machine::Hwnd combo = m_layout.DroppedCombo())
        DrawDroppedList(combo);
    DrawTaskbar();
    DrawSystemMenu();
    DrawTip();
    PlaceCursor();
}

void DesktopRenderer::DrawFrame(const CellRect& rect, std::uint8_t attributes)
{
    if (rect.Width() < 2 || rect.Height() < 2)
        return;
    for (int column = rect.left + 1; column < rect.right - 1; ++column) {
        m_grid.Put(column, rect.top, glyph::kHorizontal, attributes);
        m_grid.Put(column, rect.bottom - 1, glyph::kHorizontal, attributes);
    }
    for (int row = rect.top + 1; row < rect.bottom - 1; ++row) {
        m_grid.Put(rect.left, row, glyph::kVertical, attributes);
        m_grid.Put(rect.right - 1, row, glyph::kVertical, attributes);
    }
    m_grid.Put(rect.left, rect.top, glyph::kTopLeft, attributes);
    m_grid.Put(rect.right - 1, rect.top, glyph::kTopRight, attributes);
    m_grid.Put(rect.left, rect.bottom - 1, glyph::kBottomLeft, attributes);
    m_grid.Put(rect.right - 1, rect.bottom - 1, glyph::kBottomRight, attributes);
}

void DesktopRenderer::DrawLabel(int column, int row, std::string_view text, std::uint8_t attributes, int width)
{
    const std::string plain = UserActions::PlainText(text);
    m_grid.Text(column, row, plain, attributes, width);
    // The mnemonic's place in the plain text: count the characters before its '&'.
    int shown = 0;
    for (std::size_t i = 0; i < text.size() && text[i] != '\t'; ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != '&') {
                if (shown < width && shown < static_cast<int>(plain.size()))
                    m_grid.Put(column + shown, row, static_cast<unsigned char>(text[i]), static_cast<std::uint8_t>(attributes | kUnderline));
                return;
            }
        }
        ++shown;
    }
}

void DesktopRenderer::DrawWindow(machine::Hwnd hwnd)
{
    const machine::WindowManager& windows = m_machine.Windows();
    const machine::Window& window = *windows.Find(hwnd);
    const CellRect frame = m_layout.WindowCells(hwnd);
    m_grid.ResetClip();
    m_grid.Fill(frame, U' ', kPlain);
    DrawFrame(frame, kPlain);

    // The caption bar: the system menu's box, the caption, the close box.
    const bool active = windows.ActiveWindow() == hwnd;
    const auto caption = static_cast<std::uint8_t>(active ? kReverse | kBold : kReverse);
    m_grid.Fill({frame.left, frame.top, frame.right, frame.top + 1}, U' ', caption);
    const CellRect menuBox = m_layout.SystemMenuBox(hwnd);
    const CellRect closeBox = m_layout.CloseBox(hwnd);
    if (!menuBox.Empty())
        m_grid.Text(menuBox.left, menuBox.top, "[-]", caption);
    if (!closeBox.Empty())
        m_grid.Text(closeBox.left, closeBox.top, "[X]", caption);
    const int textLeft = menuBox.Empty() ? frame.left + 1 : menuBox.right + 1;
    const int textRight = closeBox.Empty() ? frame.right - 1 : closeBox.left - 1;
    m_grid.Text(textLeft, frame.top, window.text, caption, textRight - textLeft);

    m_grid.SetClip(m_layout.ClientCells(hwnd));
    for (machine::Hwnd child : window.children) {
        if (const machine::Window* control = windows.Find(child); control && control->visible)
            DrawControl(*control, hwnd);
    }
    m_grid.ResetClip();
    if (!window.enabled)
        m_grid.AddAttributes(frame, kDim);
}

void DesktopRenderer::DrawControl(const machine::Window& control, machine::Hwnd dialog)
{
    const CellRect cells = m_layout.ControlCells(control.hwnd);
    if (cells.Empty())
        return;
    switch (control.windowClass) {
    case machine::WindowClass::Button:
        DrawButton(control, cells, dialog);
        break;
    case machine::WindowClass::Static:
        DrawStatic(control, cells);
        break;
    case machine::WindowClass::ComboBox:
        DrawComboField(control, cells);
        break;
    case machine::WindowClass::Dialog:
        break;
    }
    if (!control.enabled)
        m_grid.AddAttributes(cells, kDim);
}

void DesktopRenderer::DrawButton(const machine::Window& button, const CellRect& cells, machine::Hwnd dialog)
{
    // A push button is its label between brackets; the button Enter would
    // press shows angle brackets and bold, the focused one its label reversed.
    const machine::WindowManager& windows = m_machine.Windows();
    const bool isDefault = windows.ShownDefaultButton(dialog) == button.hwnd;
    const std::uint8_t attributes = isDefault ? kBold : kPlain;
    m_grid.Put(cells.left, cells.top, isDefault ? U'<' : U'[', attributes);
    m_grid.Put(cells.right - 1, cells.top, isDefault ? U'>' : U']', attributes);
    const int inner = cells.Width() - 2;
    const int length = static_cast<int>(UserActions::PlainText(button.text).size());
    const int column = cells.left + 1 + std::max(0, (inner - length) / 2);
    const bool focused = windows.Focus() == button.hwnd;
    const auto labelAttributes = static_cast<std::uint8_t>(attributes | (focused || button.pressed ? kReverse : kPlain));
    DrawLabel(column, cells.top, button.text, labelAttributes, std::min(length, inner));
}

void DesktopRenderer::DrawStatic(const machine::Window& label, const CellRect& cells)
{
    if ((label.style & msg::SsTypeMask) == msg::SsIcon) {
        const machine::IconImage* image = m_machine.FindIcon(label.icon);
        if (!image)
            return;
        for (std::size_t row = 0; row < image->picture.size(); ++row)
            m_grid.Text(cells.left, cells.top + static_cast<int>(row), image->picture[row], kBold);
        return;
    }
    if (label.style & msg::SsNoPrefix)
        m_grid.Text(cells.left, cells.top, label.text, kPlain, cells.Width());
    else
        DrawLabel(cells.left, cells.top, label.text, kPlain, cells.Width());
}

void DesktopRenderer::DrawComboField(const machine::Window& combo, const CellRect& cells)
{
    // [COM2:    v] : the current entry, the arrow that opens the list.
    const bool focused = m_machine.Windows().Focus() == combo.hwnd;
    m_grid.Put(cells.left, cells.top, U'[', kPlain);
    m_grid.Put(cells.right - 1, cells.top, U']', kPlain);
    m_grid.Put(cells.right - 2, cells.top, glyph::kDownArrow, kPlain);
    const CellRect text{cells.left + 1, cells.top, cells.right - 2, cells.top + 1};
    m_grid.Fill(text, U' ', focused ? kReverse : kPlain);
    if (combo.currentSelection >= 0 && combo.currentSelection < static_cast<int>(combo.items.size()))
        m_grid.Text(text.left, text.top, combo.items[static_cast<std::size_t>(combo.currentSelection)],
                    focused ? kReverse : kPlain, text.Width());
}

void DesktopRenderer::DrawDroppedList(machine::Hwnd combo)
{
    const machine::Window& window = *m_machine.Windows().Find(combo);
    const CellRect list = m_layout.DroppedListCells(combo);
    const int first = m_layout.FirstShownEntry(combo);
    const int shown = m_layout.ShownEntries(combo);
    m_grid.Fill(list, U' ', kPlain);
    for (int i = 0; i < shown; ++i) {
        const int row = list.top + i;
        const int entry = first + i;
        const std::uint8_t attributes = entry == window.currentSelection ? kReverse : kPlain;
        m_grid.Put(list.left, row, glyph::kVertical, kPlain);
        m_grid.Put(list.right - 1, row, glyph::kVertical, kPlain);
        m_grid.Fill({list.left + 1, row, list.right - 1, row + 1}, U' ', attributes);
        m_grid.Text(list.left + 1, row, window.items[static_cast<std::size_t>(entry)], attributes, list.Width() - 2);
    }
    const int bottom = list.bottom - 1;
    for (int column = list.left + 1; column < list.right - 1; ++column)
        m_grid.Put(column, bottom, glyph::kHorizontal, kPlain);
    m_grid.Put(list.left, bottom, glyph::kBottomLeft, kPlain);
    m_grid.Put(list.right - 1, bottom, glyph::kBottomRight, kPlain);
}

void DesktopRenderer::DrawTaskbar()
{
    const int row = m_layout.TaskbarRow();
    if (row < 0)
        return;
    m_grid.Fill({0, row, m_grid.Columns(), row + 1}, U' ', kReverse);
    const machine::Hwnd active = m_machine.Windows().ActiveWindow();
    for (const TaskbarItem& button : m_layout.TaskbarButtons()) {
        // The active window's button looks pressed in.
        m_grid.Text(button.cells.left, row, button.label, button.hwnd == active ? kBold : kReverse);
    }
    if (const CellRect hint = m_layout.KeyHintCells(); !hint.Empty())
        m_grid.Text(hint.left, row, DesktopLayout::KeyHintText(), kReverse);
    const auto icons = m_layout.TrayIcons();
    if (!icons.empty())
        m_grid.Put(icons.front().cells.left - 2, row, glyph::kVertical, kReverse);
    for (const TaskbarItem& icon : icons)
        m_grid.Text(icon.cells.left, row, icon.label, static_cast<std::uint8_t>(kReverse | kBold));
}

void DesktopRenderer::DrawSystemMenu()
{
    const machine::Menu* menu = m_layout.OpenMenu();
    const CellRect cells = m_layout.SystemMenuCells();
    if (!menu || cells.Empty())
        return;
    m_grid.Fill(cells, U' ', kPlain);
    DrawFrame(cells, kPlain);
    for (std::size_t i = 0; i < menu->items.size(); ++i) {
        const machine::MenuItem& item = menu->items[i];
        const int row = cells.top + 1 + static_cast<int>(i);
        if (item.IsSeparator()) {
            m_grid.Put(cells.left, row, glyph::kTeeRight, kPlain);
            for (int column = cells.left + 1; column < cells.right - 1; ++column)
                m_grid.Put(column, row, glyph::kHorizontal, kPlain);
            m_grid.Put(cells.right - 1, row, glyph::kTeeLeft, kPlain);
            continue;
        }
        const bool highlighted = static_cast<int>(i) == m_view.menuHighlight;
        auto attributes = static_cast<std::uint8_t>((highlighted ? kReverse : kPlain) | (item.IsGrayed() ? kDim : kPlain));
        m_grid.Fill({cells.left + 1, row, cells.right - 1, row + 1}, U' ', attributes);
        DrawLabel(cells.left + 2, row, item.text, attributes, cells.Width() - 4);
        if (const std::size_t tab = item.text.find('\t'); tab != std::string::npos) {
            const std::string accelerator = item.text.substr(tab + 1);
            m_grid.Text(cells.right - 2 - static_cast<int>(accelerator.size()), row, accelerator, attributes);
        }
    }
}

void DesktopRenderer::DrawTip()
{
    if (!m_view.pointer || m_layout.SystemMenuCells().Contains(*m_view.pointer))
        return;
    const Hit hit = m_layout.HitTest(*m_view.pointer);
    if (hit.kind != HitKind::TrayIcon)
        return;
    const std::string& tip = m_machine.Tray().Icons()[static_cast<std::size_t>(hit.index)].tip;
    if (tip.empty())
        return;
    // The tip stands just above the taskbar, its right end over the icon's.
    const std::string text = " " + tip + " ";
    int right = m_view.pointer->column + 1;
    for (const TaskbarItem& icon : m_layout.TrayIcons()) {
        if (icon.icon == hit.index)
            right = icon.cells.right;
    }
    m_grid.Text(std::max(0, right - static_cast<int>(text.size())), m_layout.TaskbarRow() - 1, text, kReverse);
}

void DesktopRenderer::PlaceCursor()
{
    m_grid.cursor.reset();
    const machine::WindowManager& windows = m_machine.Windows();
    if (const CellRect menu = m_layout.SystemMenuCells(); !menu.Empty()) {
        if (m_view.menuHighlight >= 0)
            m_grid.cursor = CellPoint{menu.left + 2, menu.top + 1 + m_view.menuHighlight};
        return;
    }
    const machine::Window* focus = windows.Find(windows.Focus());
    if (!focus || focus->IsTopLevel())
        return;
    const CellRect cells = m_layout.ControlCells(focus->hwnd);
    if (cells.Empty())
        return;
    if (focus->windowClass == machine::WindowClass::ComboBox && focus->dropped) {
        const CellRect list = m_layout.DroppedListCells(focus->hwnd);
        const int entry = std::max(focus->currentSelection - m_layout.FirstShownEntry(focus->hwnd), 0);
        m_grid.cursor = CellPoint{list.left + 1, list.top + entry};
        return;
    }
    if (focus->windowClass == machine::WindowClass::Button) {
        const int length = static_cast<int>(UserActions::PlainText(focus->text).size());
        m_grid.cursor = CellPoint{cells.left + 1 + std::max(0, (cells.Width() - 2 - length) / 2), cells.top};
        return;
    }
    m_grid.cursor = CellPoint{cells.left + 1, cells.top};
}

}  // namespace pervo::desktop
