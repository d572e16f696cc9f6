#pragma once

namespace pervo::machine {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    Rect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    bool operator==(const Rect&) const = default;
};

// The screen is measured in pixels of a character cell 8 wide and 16 high, the
// cell a terminal shows. Dialog units are a quarter of the font's average
// character width and an eighth of its height, so one dialog unit is 2 pixels
// each way and one text cell holds 4 by 8 dialog units.
constexpr int kCellWidth = 8;
constexpr int kCellHeight = 16;
constexpr int kPixelsPerDialogUnitX = 2;
constexpr int kPixelsPerDialogUnitY = 2;

// A top-level window's frame: one cell of border at each side, the caption in
// the top one.
constexpr int kFrameX = kCellWidth;
constexpr int kCaptionHeight = kCellHeight;
constexpr int kFrameBottom = kCellHeight;

constexpr int kIconSize = 32;

}  // namespace pervo::machine
