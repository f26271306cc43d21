#include "model/status_text.h"

#include <charconv>
#include <cstring>
#include <string_view>

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

// Builds a text of literal pieces and decimal numbers in a stack buffer, so
// that the target string is written once.
class StatusBuilder {
public:
    StatusBuilder& operator<<(std::string_view piece)
    {
        std::memcpy(m_end, piece.data(), piece.size());
        m_end += piece.size();
        return *this;
    }
    StatusBuilder& operator<<(int value)
    {
        m_end = std::to_chars(m_end, m_buffer + sizeof m_buffer, value).ptr;
        return *this;
    }
    void writeTo(std::string& out) const { out.assign(m_buffer, static_cast<std::size_t>(m_end - m_buffer)); }

private:
    // Ample: the longest text, the placed-box status, needs at most 84 bytes.
    char m_buffer[128];
    char* m_end = m_buffer;
};

} // namespace

void formatPlacedBoxStatus(std::string& out, int left, int top, int width, int height)
{
    (StatusBuilder() << "当前控件:上=" << top << "px,左=" << left << "px,宽=" << width << "px,高=" << height << "px")
            .writeTo(out);
}

void formatSelectedBoxStatus(std::string& out, int left, int top, int width, int height)
{
    (StatusBuilder() << "X:" << left << ",Y:" << top << ",W:" << width << ",H:" << height).writeTo(out);
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
