#include "model/status_text.h"

#include <charconv>

namespace ordavel {

std::string windowTitle(const std::string& fileName, bool modified)
{
    std::string title = kApplicationName;
    title += " - ";
    title += fileName.empty() ? kUntitledName : fileName;
    if (modified)
        title += " *";
    return title;
}

std::string shortestFloat(float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string paperStatus(float widthCm, float heightCm)
{
    return "纸张:" + shortestFloat(widthCm) + "x" + shortestFloat(heightCm) + "厘米";
}

std::string boardStatus(int widthPx, int heightPx)
{
    return "画板:" + std::to_string(widthPx) + "x" + std::to_string(heightPx) + "像素";
}

std::string placedBoxStatus(int left, int top, int width, int height)
{
    return "当前控件:上=" + std::to_string(top) + "px,左=" + std::to_string(left) + "px,宽=" +
           std::to_string(width) + "px,高=" + std::to_string(height) + "px";
}

std::string selectedBoxStatus(int left, int top, int width, int height)
{
    return "X:" + std::to_string(left) + ",Y:" + std::to_string(top) + ",W:" + std::to_string(width) +
           ",H:" + std::to_string(height);
}

std::string mouseStatus(int x, int y)
{
    return "鼠标位置:X=" + std::to_string(x) + ",Y=" + std::to_string(y);
}

std::string mouseOutOfBoundsStatus() { return "鼠标位置:出界"; }

std::string initialStatus(int panel)
{
    switch (panel) {
    case PanelPaper: return "纸张:";
    case PanelBoard: return "画板:";
    case PanelMouse: return "X:    Y:";
    default: return kNoBoxSelected;
    }
}

} // namespace ordavel
