// Where the Window menu's arrangements put the child windows of the frame:
// geometry only, over the document area, for windows given in stacking order
// (the one at the back first) by their smallest sizes. Every arrangement
// keeps each window's title bar clear of the windows in front of it.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

namespace windowlayout {

// Tiled without overlap in the fewest lines that hold the windows at their
// smallest sizes: `stacked` lines of windows one above the other, else lines
// of windows side by side. Windows the area cannot hold tiled are cascaded
// in front of the tiles as Cascade does beyond one diagonal. `step` is a
// title bar's height; `tiled`, when given, is set to how many were tiled
// (the first of the places), 0 when all were cascaded.
std::vector<QRect> Tile(const QRect& area, const std::vector<QSize>& least, bool stacked, int step,
                        int* tiled = nullptr);

// Cascaded from the area's corner, each window `step` lower and to the right
// of the one before, `preferred` in size where the area allows (never below
// a window's smallest size). When one diagonal cannot hold them, each at its
// smallest size goes where it covers no title bar behind it: `step` below
// the window before when it can, else at the first such place column by
// column from the left.
std::vector<QRect> Cascade(const QRect& area, const std::vector<QSize>& least, const QSize& preferred, int step);

// How many windows of `places` (back first) have their title bar, `step`
// high, covered by a window in front of them; TitleBarsShow when none.
int CoveredTitleBars(const std::vector<QRect>& places, int step);
bool TitleBarsShow(const std::vector<QRect>& places, int step);

// Where a window of `size` goes in front of windows at `behind`: at `at`
// when it covers none of their title bars there, else at the first place
// in the area, column by column, that covers none; else where it covers the
// fewest.
QRect InFront(const QRect& area, const std::vector<QRect>& behind, const QSize& size, const QPoint& at, int step);

// Minimised windows of `sizes` in rows along the area's bottom, from the left,
// the next row above a full one; their places, and the height of the rows.
struct IconRows {
    std::vector<QPoint> places;
    int height = 0;
};
IconRows Icons(const QRect& area, const std::vector<QSize>& sizes);

}  // namespace windowlayout
