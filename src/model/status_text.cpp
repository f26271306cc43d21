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

namespace {

// Appends the decimal text of `value`.
void appendInt(std::string& out, int value)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

} // namespace

void formatPlacedBoxStatus(std::string& out, int left, int top, int width, int height)
{
    out.assign("当前控件:上=");
    appendInt(out, top);
    out += "px,左=";
    appendInt(out, left);
    out += "px,宽=";
    appendInt(out, width);
    out += "px,高=";
    appendInt(out, height);
    out += "px";
}

void formatSelectedBoxStatus(std::string& out, int left, int top, int width, int height)
{
    out.assign("X:");
    appendInt(out, left);
    out += ",Y:";
    appendInt(out, top);
    out += ",W:";
    appendInt(out, width);
    out += ",H:";
    appendInt(out, height);
}

std::string placedBoxStatus(int left, int top, int width, int height)
{
    std::string text;
    formatPlacedBoxStatus(text, left, top, width, height);
    return text;
}

std::string selectedBoxStatus(int left, int top, int width, int height)
{
    std::string text;
    formatSelectedBoxStatus(text, left, top, width, height);
    return text;
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
