#pragma once

#include "DesktopLayout.h"
#include "DesktopView.h"
#include "Machine.h"
#include "ScreenGrid.h"

namespace pervo::desktop {

// The glyphs the desktop draws with beyond ASCII; the terminal shows them
// with its line-drawing set.
namespace glyph {
constexpr char32_t kHorizontal = U'\u2500';
constexpr char32_t kVertical = U'\u2502';
constexpr char32_t kTopLeft = U'\u250C';
constexpr char32_t kTopRight = U'\u2510';
constexpr char32_t kBottomLeft = U'\u2514';
constexpr char32_t kBottomRight = U'\u2518';
constexpr char32_t kTeeRight = U'\u251C';
constexpr char32_t kTeeLeft = U'\u2524';
constexpr char32_t kDownArrow = U'\u25BC';
}  // namespace glyph

// Draws the machine's screen into a grid: every shown top-level window from
// the bottom of the z-order up with its frame, caption and controls, a dropped
// list's entries, the taskbar with its buttons, the desktop keys and the tray
// icons, then the open system menu and the tip of the icon under the pointer.
// It reads the machine and changes nothing, so a frame is a pure function of
// the machine's state and the view.
class DesktopRenderer {
public:
    DesktopRenderer(machine::Machine& machine, const DesktopView& view, ScreenGrid& grid);

    void Render();

private:
    void DrawWindow(machine::Hwnd hwnd);
    void DrawControl(const machine::Window& control, machine::Hwnd dialog);
    void DrawButton(const machine::Window& button, const CellRect& cells, machine::Hwnd dialog);
    void DrawStatic(const machine::Window& label, const CellRect& cells);
    void DrawComboField(const machine::Window& combo, const CellRect& cells);
    void DrawDroppedList(machine::Hwnd combo);
    void DrawTaskbar();
    void DrawSystemMenu();
    void DrawTip();
    void DrawFrame(const CellRect& rect, std::uint8_t attributes);
    // Text with its '&' marks taken out and the mnemonic letter underlined.
    void DrawLabel(int column, int row, std::string_view text, std::uint8_t attributes, int width);
    void PlaceCursor();

    machine::Machine& m_machine;
    const DesktopView& m_view;
    ScreenGrid& m_grid;
    DesktopLayout m_layout;
};

// The whole frame in one call.
void RenderDesktop(machine::Machine& machine, const DesktopView& view, ScreenGrid& grid);

}  // namespace pervo::desktop
