#include "model/snapping.h"

#include "model/units.h"

#include <cmath>

namespace ordavel {

namespace {

// One axis of a rectangle: its start and its length.
struct Span {
    int start = 0;
    int length = 0;
    int end() const { return start + length; }
};

struct AxisSnap {
    Span span;
    std::optional<int> guide;
};

int nearestGridLine(double value, double step)
{
    return static_cast<int>(roundTo(roundTo(value / step, 0) * step, 0));
}

// `low` and `high` say which ends of `span` move; both for a move.
AxisSnap snapAxis(Span span, bool low, bool high, const std::vector<Span>& others, double grid,
                  double threshold, bool toBoxes)
{
    AxisSnap out{span, std::nullopt};
    if (!low && !high)
        return out;
    const bool move = low && high;
    // The points of this span that may snap, as offsets from its start.
    std::vector<double> points;
    if (low)
        points.push_back(0.0);
    if (move)
        points.push_back(span.length / 2.0);
    if (high)
        points.push_back(span.length);

    std::optional<double> bestShift;
    double bestTarget = 0.0;
    if (toBoxes) {
        for (const Span& other : others) {
            const double targets[] = {double(other.start), other.start + other.length / 2.0,
                                      double(other.end())};
            for (double target : targets)
                for (double point : points) {
                    const double shift = target - (span.start + point);
                    if (std::fabs(shift) <= threshold
                        && (!bestShift || std::fabs(shift) < std::fabs(*bestShift))) {
                        bestShift = shift;
                        bestTarget = target;
                    }
                }
        }
    }
    int shift = 0;
    int guide = 0;
    if (bestShift) {
        shift = static_cast<int>(roundTo(*bestShift, 0));
        guide = static_cast<int>(roundTo(bestTarget, 0));
    } else if (grid > 0.0) {
        // The edge that leads: the start for a move and a low edge, else the end.
        const int edge = low ? span.start : span.end();
        guide = nearestGridLine(edge, grid);
        shift = guide - edge;
    } else {
        return out;
    }
    if (move) {
        out.span.start += shift;
    } else if (low) {
        const int end = span.end();
        out.span.start = std::min(span.start + shift, end - 1);
        out.span.length = end - out.span.start;
    } else {
        out.span.length = std::max(span.length + shift, 1);
    }
    out.guide = guide;
    return out;
}

} // namespace

double gridStep(double millimetres, double pxPerCm) { return millimetres / 10.0 * pxPerCm; }

SnapResult snapRect(const Rect& proposed, MovingEdges edges, const std::vector<Rect>& others,
                    const SnapOptions& options)
{
    std::vector<Span> xs, ys;
    xs.reserve(others.size());
    ys.reserve(others.size());
    for (const Rect& r : others) {
        xs.push_back({r.left, r.width});
        ys.push_back({r.top, r.height});
    }
    const AxisSnap x = snapAxis({proposed.left, proposed.width}, edges.left, edges.right, xs, options.gridX,
                                options.threshold, options.toBoxes);
    const AxisSnap y = snapAxis({proposed.top, proposed.height}, edges.top, edges.bottom, ys, options.gridY,
                                options.threshold, options.toBoxes);
    return SnapResult{Rect{x.span.start, y.span.start, x.span.length, y.span.length}, x.guide, y.guide};
}

} // namespace ordavel
