#include "shell/WindowLayout.h"

#include <algorithm>
#include <set>

namespace windowlayout {

namespace {

// A window's smallest lengths along a line of tiled windows and across it.
struct Extent {
    int along;
    int across;
};

// Lengths along one line for windows whose smallest lengths are `least`,
// filling `along`: as equal as they can be, none below its smallest.
std::vector<int> ShareLine(const std::vector<int>& least, int along) {
    const int n = static_cast<int>(least.size());
    std::vector<bool> atLeast(n, false);
    int rest = along, open = n;
    // A window whose smallest length exceeds an equal share gets that
    // length; the others share what remains, until no more are raised.
    for (bool raised = true; raised && open > 0;) {
        raised = false;
        for (int i = 0; i < n; ++i)
            if (!atLeast[i] && least[i] * open > rest) {
                atLeast[i] = true;
                rest -= least[i];
                --open;
                raised = true;
            }
    }
    std::vector<int> lengths(n);
    int shared = 0;
    for (int i = 0; i < n; ++i) {
        if (atLeast[i]) {
            lengths[i] = least[i];
        } else {
            lengths[i] = rest * (shared + 1) / open - rest * shared / open;
            ++shared;
        }
    }
    return lengths;
}

// How many of `count` windows each of `lines` lines holds: as even as it
// goes, the first lines taking one more.
std::vector<int> LineSizes(int count, int lines) {
    std::vector<int> sizes(lines, count / lines);
    for (int i = 0; i < count % lines; ++i) ++sizes[i];
    return sizes;
}

// Each line's thickness: its thickest window's smallest.
std::vector<int> Thicknesses(const std::vector<Extent>& least, const std::vector<int>& sizes) {
    std::vector<int> thick;
    for (int line = 0, first = 0; line < int(sizes.size()); first += sizes[line++]) {
        int t = 0;
        for (int i = first; i < first + sizes[line]; ++i) t = std::max(t, least[i].across);
        thick.push_back(t);
    }
    return thick;
}

// The fewest lines in which the windows, in order, fit at their smallest
// sizes: each line's lengths within `along`, the lines' thicknesses within
// `across`. 0 when none does. A grid has no more lines than windows in its
// longest line, so tiled one above the other it has at least as many rows
// as columns, side by side at least as many columns as rows: the two
// arrangements keep their shapes also when the area holds fewer windows
// than there are.
int FewestLines(const std::vector<Extent>& least, int along, int across) {
    const int count = static_cast<int>(least.size());
    for (int lines = 1; lines <= count; ++lines) {
        const std::vector<int> sizes = LineSizes(count, lines);
        if (lines > sizes.front()) break;
        const std::vector<int> thick = Thicknesses(least, sizes);
        bool fits = true;
        for (int line = 0, first = 0; line < lines; first += sizes[line++]) {
            int length = 0;
            for (int i = first; i < first + sizes[line]; ++i) length += least[i].along;
            fits = fits && length <= along;
        }
        int thickness = 0;
        for (int t : thick) thickness += t;
        if (fits && thickness <= across) return lines;
    }
    return 0;
}

// The cells of the windows laid in `lines` lines filling the area.
std::vector<QRect> LayLines(const QRect& area, const std::vector<Extent>& least, int lines, bool stacked) {
    const int along = stacked ? area.height() : area.width();
    const int across = stacked ? area.width() : area.height();
    const std::vector<int> sizes = LineSizes(static_cast<int>(least.size()), lines);
    const std::vector<int> thickness = ShareLine(Thicknesses(least, sizes), across);
    std::vector<QRect> cells;
    for (int line = 0, first = 0, b0 = 0; line < lines; first += sizes[line], b0 += thickness[line++]) {
        std::vector<int> inLine;
        for (int i = first; i < first + sizes[line]; ++i) inLine.push_back(least[i].along);
        const std::vector<int> lengths = ShareLine(inLine, along);
        for (int k = 0, a0 = 0; k < sizes[line]; a0 += lengths[k++]) {
            const QRect cell =
                stacked ? QRect(b0, a0, thickness[line], lengths[k]) : QRect(a0, b0, lengths[k], thickness[line]);
            cells.push_back(cell.translated(area.topLeft()));
        }
    }
    return cells;
}

// The room a diagonal of windows of `sizes` takes, each `step` lower and to
// the right of the one before.
QSize DiagonalExtent(const std::vector<QSize>& sizes, int step) {
    QSize room(0, 0);
    for (int i = 0; i < int(sizes.size()); ++i) room = room.expandedTo(sizes[i] + QSize(i * step, i * step));
    return room;
}

// The title bar of a window at `place`.
QRect TitleBar(const QRect& place, int step) { return QRect(place.topLeft(), QSize(place.width(), step)); }

// How many of the title bars `bars` a window at `place` covers.
int Covered(const QRect& place, const std::vector<QRect>& bars) {
    return static_cast<int>(
        std::count_if(bars.begin(), bars.end(), [&](const QRect& bar) { return bar.intersects(place); }));
}

// Where a window of `size` goes in front of windows whose title bars are
// `bars`: at `at` when it covers none of them, else at the first place that
// covers none, column by column from the area's left. A column starts at the
// area's left, a step further or just right of a title bar, and a place in
// it at the top, a step lower or just below a title bar. With no such place
// it goes where it covers the fewest, and `clear` turns false.
QRect ClearPlace(const QRect& area, const std::vector<QRect>& bars, const QSize& size, const QPoint& at, int step,
                 bool& clear) {
    QRect best(area.topLeft(), size);
    int fewest = -1;
    auto consider = [&](const QPoint& from) {
        const QRect place(from, size);
        if (!area.contains(place)) return;
        const int covered = Covered(place, bars);
        if (fewest < 0 || covered < fewest) {
            fewest = covered;
            best = place;
        }
    };
    consider(at);
    std::set<int> lefts, tops;
    for (int x = area.left(); x + size.width() <= area.right() + 1; x += step) lefts.insert(x);
    for (int y = area.top(); y + size.height() <= area.bottom() + 1; y += step) tops.insert(y);
    for (const QRect& bar : bars) {
        lefts.insert(bar.right() + 1);
        tops.insert(bar.bottom() + 1);
    }
    for (auto x = lefts.begin(); fewest != 0 && x != lefts.end(); ++x)
        for (auto y = tops.begin(); fewest != 0 && y != tops.end(); ++y) consider({*x, *y});
    clear = clear && fewest == 0;
    return best;
}

// Windows of `sizes` (back first) put in front of windows whose title bars
// are `bars`, each where it covers no title bar behind it: `onward` from
// the window before when it can, else at the first such place (ClearPlace).
std::vector<QRect> PlaceInFront(const QRect& area, std::vector<QRect> bars, const std::vector<QSize>& sizes,
                                const QPoint& start, const QPoint& onward, int step, bool& clear) {
    std::vector<QRect> places;
    QPoint next = start;
    for (const QSize& size : sizes) {
        const QRect best = ClearPlace(area, bars, size, next, step, clear);
        places.push_back(best);
        bars.push_back(TitleBar(best, step));
        next = best.topLeft() + onward;
    }
    return places;
}

}  // namespace

std::vector<QRect> Cascade(const QRect& area, const std::vector<QSize>& least, const QSize& preferred, int step) {
    const int n = static_cast<int>(least.size());
    if (n == 0) return {};
    // One diagonal when it holds them all: each window the preferred size,
    // less where the diagonal needs the room, never below its smallest.
    const QSize room = area.size() - QSize((n - 1) * step, (n - 1) * step);
    std::vector<QSize> sizes;
    for (const QSize& l : least) sizes.push_back(preferred.boundedTo(room).expandedTo(l));
    const QSize extent = DiagonalExtent(sizes, step);
    bool clear = true;
    if (extent.width() <= area.width() && extent.height() <= area.height())
        return PlaceInFront(area, {}, sizes, area.topLeft(), QPoint(step, step), step, clear);
    // Else at their smallest sizes in columns, each window a title bar lower
    // than the one before: a diagonal would take a step of the width too.
    return PlaceInFront(area, {}, least, area.topLeft(), QPoint(0, step), step, clear);
}

std::vector<QRect> Tile(const QRect& area, const std::vector<QSize>& least, bool stacked, int step, int* tiledOut) {
    if (tiledOut) *tiledOut = 0;
    const int n = static_cast<int>(least.size());
    const int along = stacked ? area.height() : area.width();
    const int across = stacked ? area.width() : area.height();
    // As many as the area holds, from the back of the stack, each in a cell
    // of its own; the rest are cascaded at their smallest sizes in front of
    // them, clear of every title bar. Fewer are tiled while that leaves one
    // covered, none when even that does not help.
    for (int tiled = n; tiled > 0; --tiled) {
        std::vector<Extent> cells;
        for (int i = 0; i < tiled; ++i)
            cells.push_back(stacked ? Extent{least[i].height(), least[i].width()}
                                    : Extent{least[i].width(), least[i].height()});
        const int lines = FewestLines(cells, along, across);
        if (lines == 0) continue;
        std::vector<QRect> places = LayLines(area, cells, lines, stacked);
        std::vector<QRect> bars;
        for (const QRect& place : places) bars.push_back(TitleBar(place, step));
        bool clear = true;
        const std::vector<QSize> rest(least.begin() + tiled, least.end());
        for (const QRect& place : PlaceInFront(area, bars, rest, area.topLeft(), QPoint(0, step), step, clear))
            places.push_back(place);
        if (clear) {
            if (tiledOut) *tiledOut = tiled;
            return places;
        }
    }
    return Cascade(area, least, QSize(0, 0), step);
}

int CoveredTitleBars(const std::vector<QRect>& places, int step) {
    int covered = 0;
    for (size_t i = 0; i < places.size(); ++i)
        if (Covered(TitleBar(places[i], step), std::vector<QRect>(places.begin() + i + 1, places.end())) > 0) ++covered;
    return covered;
}

bool TitleBarsShow(const std::vector<QRect>& places, int step) { return CoveredTitleBars(places, step) == 0; }

QRect InFront(const QRect& area, const std::vector<QRect>& behind, const QSize& size, const QPoint& at, int step) {
    std::vector<QRect> bars;
    for (const QRect& place : behind) bars.push_back(TitleBar(place, step));
    bool clear = true;
    return ClearPlace(area, bars, size, at, step, clear);
}

IconRows Icons(const QRect& area, const std::vector<QSize>& sizes) {
    IconRows rows;
    int x = 0, rowHeight = 0;
    std::vector<int> rowOf;
    std::vector<int> heights;
    for (const QSize& size : sizes) {
        if (x > 0 && x + size.width() > area.width()) {
            heights.push_back(rowHeight);
            x = rowHeight = 0;
        }
        rows.places.emplace_back(x, 0);
        rowOf.push_back(static_cast<int>(heights.size()));
        x += size.width();
        rowHeight = std::max(rowHeight, size.height());
    }
    if (!sizes.empty()) heights.push_back(rowHeight);
    // The first row along the bottom, each next one above it.
    for (int h : heights) rows.height += h;
    for (size_t i = 0; i < sizes.size(); ++i) {
        int top = area.bottom() + 1;
        for (int r = 0; r <= rowOf[i]; ++r) top -= heights[r];
        rows.places[i] += QPoint(area.left(), top);
    }
    return rows;
}

}  // namespace windowlayout
