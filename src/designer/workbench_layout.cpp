#include "designer/workbench_layout.h"

#include "model/units.h"

#include <algorithm>

namespace ordavel {

namespace {
constexpr double kEpsilon = 1e-7;
}

Rect backgroundPanelRect(const FrameMetrics& f)
{
    const int bars = f.fileBarHeight + (f.controlBarVisible ? f.controlBarHeight : 0);
    return Rect{1, bars + 1, f.clientWidth - 2, f.clientHeight - bars - 2 - f.statusBarHeight};
}

ContentLayout layOutContents(const ContentInput& in)
{
    ContentLayout out;
    const int visibleWidth = in.clientWidth - in.vBarWidth;
    const int visibleHeight = in.clientHeight - in.hBarHeight;

    // A board narrower than the visible width is centred; the others start at 5.
    if (double(in.paperWidth) - double(visibleWidth) < -kEpsilon)
        out.paperLeft = int(roundTo((visibleWidth - in.paperWidth) / 2.0, 0));
    else
        out.paperLeft = kPaperMargin;
    out.paperTop = kPaperMargin;

    if (double(out.paperLeft + in.paperWidth - visibleWidth) > kEpsilon) {
        out.hBar.visible = true;
        out.hBar.rect = Rect{0, in.clientHeight - in.hBarHeight, in.clientWidth - in.fillerWidth,
                             in.hBarHeight};
        out.hBar.maximum = out.paperLeft + in.paperWidth + in.vBarWidth - in.clientWidth + 10;
    }
    if (double(out.paperTop + in.paperHeight - visibleHeight) > kEpsilon) {
        out.vBar.visible = true;
        out.vBar.rect = Rect{in.clientWidth - in.vBarWidth, 0, in.vBarWidth,
                             in.clientHeight - in.fillerHeight};
        out.vBar.maximum = out.paperTop + in.paperHeight + in.hBarHeight - in.clientHeight + 10;
    }
    out.filler = Rect{in.clientWidth - in.vBarWidth, in.clientHeight - in.hBarHeight, in.vBarWidth,
                      in.hBarHeight};
    out.fillerVisible = out.hBar.visible && out.vBar.visible;
    return out;
}

int wheelStep(int position, int minimum, int maximum, int delta)
{
    if (delta > 0 && position > minimum)
        return std::max(position - kWheelPixels, minimum);
    if (delta < 0 && position < maximum)
        return std::min(position + kWheelPixels, maximum);
    return position;
}

} // namespace ordavel
