#include "model/board_zoom.h"

#include <algorithm>
#include <cmath>

namespace ordavel {

namespace {

// Floor and ceiling of a / b for b > 0, for either sign of a.
long long floorDiv(long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
long long ceilDiv(long long a, long long b) { return -floorDiv(-a, b); }

} // namespace

bool BoardZoom::setPercent(int percent)
{
    const int clamped = std::clamp(percent, kZoomMinPercent, kZoomMaxPercent);
    if (clamped == m_percent)
        return false;
    m_percent = clamped;
    return true;
}

int BoardZoom::toView(int board) const
{
    return static_cast<int>(ceilDiv(static_cast<long long>(board) * m_percent, 100));
}

int BoardZoom::toBoard(int view) const
{
    return static_cast<int>(floorDiv(static_cast<long long>(view) * 100, m_percent));
}

int BoardZoom::toBoard(double view) const { return toBoard(static_cast<int>(std::floor(view))); }

Rect BoardZoom::toView(const Rect& board) const
{
    const int left = toView(board.left);
    const int top = toView(board.top);
    return Rect{left, top, toView(board.left + board.width) - left, toView(board.top + board.height) - top};
}

const std::vector<int>& zoomSteps()
{
    static const std::vector<int> steps{25, 33, 50, 67, 75, 100, 125, 150, 200, 300, 400, 600, 800};
    return steps;
}

int nextZoomStep(int percent)
{
    for (int step : zoomSteps())
        if (step > percent)
            return step;
    return kZoomMaxPercent;
}

int previousZoomStep(int percent)
{
    const std::vector<int>& steps = zoomSteps();
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        if (*it < percent)
            return *it;
    return kZoomMinPercent;
}

} // namespace ordavel
