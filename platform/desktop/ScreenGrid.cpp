#include "ScreenGrid.h"

#include <algorithm>
#include <cassert>

namespace pervo::desktop {
namespace {

void AppendUtf8(std::string& out, char32_t glyph)
{
    const auto code = static_cast<std::uint32_t>(glyph);
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace

CellRect CellRect::Intersect(const CellRect& other) const
{
    CellRect result{std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                    std::min(bottom, other.bottom)};
    if (result.Empty())
        return {};
    return result;
}

ScreenGrid::ScreenGrid(int columns, int rows)
    : m_columns(std::max(columns, 0)),
      m_rows(std::max(rows, 0)),
      m_clip{0, 0, m_columns, m_rows},
      m_cells(static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows))
{
}

const Cell& ScreenGrid::At(int column, int row) const
{
    assert(column >= 0 && column < m_columns && row >= 0 && row < m_rows && "a cell outside the grid was read");
    return m_cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) + static_cast<std::size_t>(column)];
}

void ScreenGrid::Put(int column, int row, char32_t glyph, std::uint8_t attributes)
{
    if (!m_clip.Contains({column, row}))
        return;
    Cell& cell = m_cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) + static_cast<std::size_t>(column)];
    cell.glyph = glyph;
    cell.attributes = attributes;
}

int ScreenGrid::Text(int column, int row, std::string_view text, std::uint8_t attributes, int width)
{
    const int count = std::min(static_cast<int>(text.size()), std::max(width, 0));
    for (int i = 0; i < count; ++i) {
        // The dialogs' texts are plain ASCII; anything else shows as a mark
        // rather than as the pieces of a character.
        const auto byte = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
        Put(column + i, row, byte >= 0x20 && byte < 0x7F ? char32_t{byte} : U'?', attributes);
    }
    return column + count;
}

void ScreenGrid::Fill(const CellRect& rect, char32_t glyph, std::uint8_t attributes)
{
    for (int row = rect.top; row < rect.bottom; ++row) {
        for (int column = rect.left; column < rect.right; ++column)
            Put(column, row, glyph, attributes);
    }
}

void ScreenGrid::AddAttributes(const CellRect& rect, std::uint8_t attributes)
{
    const CellRect area = rect.Intersect(m_clip);
    for (int row = area.top; row < area.bottom; ++row) {
        for (int column = area.left; column < area.right; ++column) {
            Cell& cell = m_cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) + static_cast<std::size_t>(column)];
            cell.attributes = static_cast<std::uint8_t>(cell.attributes | attributes);
        }
    }
}

void ScreenGrid::RemoveAttributes(const CellRect& rect, std::uint8_t attributes)
{
    const CellRect area = rect.Intersect(m_clip);
    for (int row = area.top; row < area.bottom; ++row) {
        for (int column = area.left; column < area.right; ++column) {
            Cell& cell = m_cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) + static_cast<std::size_t>(column)];
            cell.attributes = static_cast<std::uint8_t>(cell.attributes & ~attributes);
        }
    }
}

std::string ScreenGrid::RowText(int row) const
{
    std::string text;
    if (row < 0 || row >= m_rows)
        return text;
    int last = m_columns;
    while (last > 0 && At(last - 1, row).glyph == U' ')
        --last;
    for (int column = 0; column < last; ++column)
        AppendUtf8(text, At(column, row).glyph);
    return text;
}

std::string ScreenGrid::Dump() const
{
    std::string text;
    for (int row = 0; row < m_rows; ++row) {
        text += RowText(row);
        text.push_back('\n');
    }
    return text;
}

}  // namespace pervo::desktop
