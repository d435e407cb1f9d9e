#include "shell/WindowLayout.h"

#include <algorithm>

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
// `across`. 0 when none does.
int FewestLines(const std::vector<Extent>& least, int along, int across) {
    const int count = static_cast<int>(least.size());
    for (int lines = 1; lines <= count; ++lines) {
        const std::vector<int> sizes = LineSizes(count, lines);
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

// Windows of `sizes` (back first) put in front of windows whose title bars
// are `bars`, each where it covers no title bar behind it: a title bar lower
// and to the right of the window before it when it can, else at the first
// such place, row by row. One that has no such place goes where it covers
// the fewest, and `clear` turns false.
std::vector<QRect> PlaceInFront(const QRect& area, std::vector<QRect> bars, const std::vector<QSize>& sizes,
                                const QPoint& start, int step, bool& clear) {
    std::vector<QRect> places;
    QPoint next = start;
    for (const QSize& size : sizes) {
        QRect best(area.topLeft(), size);
        int fewest = -1;
        auto consider = [&](const QPoint& at) {
            const QRect place(at, size);
            if (!area.contains(place)) return;
            const int covered = Covered(place, bars);
            if (fewest < 0 || covered < fewest) {
                fewest = covered;
                best = place;
            }
        };
        consider(next);
        for (int y = area.top(); fewest != 0 && y + size.height() <= area.bottom() + 1; y += step)
            for (int x = area.left(); fewest != 0 && x + size.width() <= area.right() + 1; x += step) consider({x, y});
        clear = clear && fewest == 0;
        places.push_back(best);
        bars.push_back(TitleBar(best, step));
        next = best.topLeft() + QPoint(step, step);
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
    // Else at their smallest sizes, on from the diagonal where it ends.
    const QSize extent = DiagonalExtent(sizes, step);
    if (extent.width() > area.width() || extent.height() > area.height()) sizes = least;
    bool clear = true;
    return PlaceInFront(area, {}, sizes, area.topLeft(), step, clear);
}

std::vector<QRect> Tile(const QRect& area, const std::vector<QSize>& least, bool stacked, int step) {
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
        for (const QRect& place : PlaceInFront(area, bars, rest, area.topLeft(), step, clear)) places.push_back(place);
        if (clear) return places;
    }
    return Cascade(area, least, QSize(0, 0), step);
}

bool TitleBarsShow(const std::vector<QRect>& places, int step) {
    for (size_t i = 0; i < places.size(); ++i)
        if (Covered(TitleBar(places[i], step), std::vector<QRect>(places.begin() + i + 1, places.end())) > 0)
            return false;
    return true;
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
