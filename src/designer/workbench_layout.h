#pragma once
// The arithmetic of the work area's layout, apart from the widgets so that it
// can be checked case by case. All values are pixels.

#include "model/box.h"

namespace ordavel {

// What the main window reads before laying out (its client coordinates).
struct FrameMetrics {
    int clientWidth = 0;       // W
    int clientHeight = 0;      // H
    int fileBarHeight = 0;     // Hf
    bool controlBarVisible = false; // V
    int controlBarHeight = 0;  // Hc
    int statusBarHeight = 0;   // Hs
};

// The background panel `画板_背景`: left 1, top under the visible toolbars + 1,
// filling the rest of the client area less one pixel each side and the status bar.
Rect backgroundPanelRect(const FrameMetrics& frame);

// Inside the background panel (its client coordinates).
struct ContentInput {
    int clientWidth = 0;   // CW
    int clientHeight = 0;  // CH
    int paperWidth = 0;    // paper panel outer size (the board)
    int paperHeight = 0;
    int vBarWidth = 18;    // VW
    int hBarHeight = 18;   // HH
    int fillerWidth = 18;  // the filler's size before this layout
    int fillerHeight = 18;
};

struct ScrollBarPlacement {
    bool visible = false;
    Rect rect;        // only meaningful when visible
    int maximum = 0;  // only meaningful when visible
};

struct ContentLayout {
    int paperLeft = 5; // centred when narrower than the visible width, else 5
    int paperTop = 5;
    ScrollBarPlacement hBar;
    ScrollBarPlacement vBar;
    Rect filler;       // the corner label, VW x HH
    bool fillerVisible = false; // only when both bars show
};

ContentLayout layOutContents(const ContentInput& in);

// One wheel event: 12 pixels up (delta > 0) or down (delta < 0), kept within
// [minimum, maximum]. Returns the new scroll position.
int wheelStep(int position, int minimum, int maximum, int delta);

inline constexpr int kWheelPixels = 12;
inline constexpr int kPaperMargin = 5;

} // namespace ordavel
