#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pervo::desktop {

// How a cell is drawn, as bits; a terminal without one of them shows the text plain.
enum CellAttribute : std::uint8_t {
    kPlain = 0,
    kBold = 1,
    kUnderline = 2,
    kReverse = 4,
    kDim = 8,
};

struct Cell {
    char32_t glyph = U' ';
    std::uint8_t attributes = kPlain;
    bool operator==(const Cell&) const = default;
};

struct CellPoint {
    int column = 0;
    int row = 0;
    bool operator==(const CellPoint&) const = default;
};

// A rectangle of cells; right and bottom are one past the last cell.
struct CellRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(CellPoint p) const { return p.column >= left && p.column < right && p.row >= top && p.row < bottom; }
    CellRect Intersect(const CellRect& other) const;
    bool operator==(const CellRect&) const = default;
};

// The screen as the desktop draws it: a grid of cells in memory, drawn
// completely for every frame and handed whole to the terminal. Everything
// written outside the grid, or outside the clip rectangle, is dropped, so the
// drawing code never has to check its own bounds.
class ScreenGrid {
public:
    ScreenGrid(int columns, int rows);

    int Columns() const { return m_columns; }
    int Rows() const { return m_rows; }
    CellRect Bounds() const { return {0, 0, m_columns, m_rows}; }
    const Cell& At(int column, int row) const;

    // Drawing is limited to the clip rectangle (the whole grid by default).
    void SetClip(const CellRect& clip) { m_clip = clip.Intersect(Bounds()); }
    void ResetClip() { m_clip = Bounds(); }

    void Put(int column, int row, char32_t glyph, std::uint8_t attributes);
    // Writes text from left to right, at most `width` cells; returns the
    // column after the last cell written.
    int Text(int column, int row, std::string_view text, std::uint8_t attributes, int width = 1 << 20);
    void Fill(const CellRect& rect, char32_t glyph, std::uint8_t attributes);
    void AddAttributes(const CellRect& rect, std::uint8_t attributes);
    void RemoveAttributes(const CellRect& rect, std::uint8_t attributes);

    // Where the terminal's cursor stands; none hides it.
    std::optional<CellPoint> cursor;

    // A row's glyphs as UTF-8, trailing blanks removed; Dump() is every row,
    // one a line: what a text snapshot compares.
    std::string RowText(int row) const;
    std::string Dump() const;

private:
    int m_columns;
    int m_rows;
    CellRect m_clip;
    std::vector<Cell> m_cells;
};

}  // namespace pervo::desktop
