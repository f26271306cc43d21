#include "print/calibration_page.h"

#include <cmath>
#include <cstdio>

namespace ordavel {

namespace {

constexpr int kCrossArm = 30;       // 0.1 mm: 3 mm each way from the centre
constexpr int kCrossPen = 2;        // 0.2 mm
constexpr int kTickMm = 15;         // ruler tick lengths in 0.1 mm
constexpr int kTickHalfCm = 25;
constexpr int kTickCm = 40;
constexpr int kRulerLabelGap = 45;  // labels start 4.5 mm in from the edge
constexpr int kCrossLabelGap = 40;  // 4 mm beside the cross
constexpr int kRightLabelWidth = 300;

int tenths(double mm) { return static_cast<int>(std::lround(mm * 10.0)); }
double toTenthMm(double mm) { return std::round(mm * 10.0) / 10.0; }

std::string number(double value, const char* format)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

void rulers(Surface& surface, int width, int height)
{
    surface.setPenStyle(PenSolid);
    surface.setPenWidth(1);
    surface.setPenColor(kBlack);
    surface.setFont(FontSpec{"宋体", 7});
    for (int at = 0; at <= width; at += 10) {
        const int length = at % 100 == 0 ? kTickCm : at % 50 == 0 ? kTickHalfCm : kTickMm;
        surface.drawLine(at, 0, at, length);
        if (at % 100 == 0 && at > 0)
            surface.drawTextLine(at + 5, kRulerLabelGap, std::to_string(at / 100));
    }
    for (int at = 0; at <= height; at += 10) {
        const int length = at % 100 == 0 ? kTickCm : at % 50 == 0 ? kTickHalfCm : kTickMm;
        surface.drawLine(0, at, length, at);
        if (at % 100 == 0 && at > 0)
            surface.drawTextLine(kRulerLabelGap, at + 5, std::to_string(at / 100));
    }
}

} // namespace

std::vector<PointMm> calibrationCrosses(double widthMm, double heightMm)
{
    const double left = kCrossInsetMm;
    const double top = kCrossInsetMm;
    const double right = toTenthMm(widthMm - kCrossInsetMm);
    const double bottom = toTenthMm(heightMm - kCrossInsetMm);
    return {{left, top}, {right, top}, {left, bottom}, {right, bottom},
            {toTenthMm(widthMm / 2.0), toTenthMm(heightMm / 2.0)}};
}

std::string crossLabel(PointMm cross)
{
    return "(" + number(cross.x, "%.1f") + ", " + number(cross.y, "%.1f") + ") mm";
}

void drawCalibrationPage(const CalibrationPage& page, Surface& surface)
{
    const int width = tenths(page.widthMm);
    const int height = tenths(page.heightMm);
    surface.setTextColor(kBlack);
    rulers(surface, width, height);

    const std::vector<PointMm> crosses = calibrationCrosses(page.widthMm, page.heightMm);
    surface.setFont(FontSpec{"宋体", 8});
    const int lineHeight = static_cast<int>(std::lround(surface.textLineHeight()));
    for (std::size_t i = 0; i < crosses.size(); ++i) {
        const int x = tenths(crosses[i].x);
        const int y = tenths(crosses[i].y);
        surface.setPenWidth(kCrossPen);
        surface.drawLine(x - kCrossArm, y, x + kCrossArm, y);
        surface.drawLine(x, y - kCrossArm, x, y + kCrossArm);
        // Beside the cross, inside the page: right crosses get their label on
        // the left, bottom crosses above.
        const bool right = i == 1 || i == 3;
        const bool bottom = i == 2 || i == 3;
        const int labelX = right ? x - kCrossLabelGap - kRightLabelWidth : x + kCrossLabelGap;
        const int labelY = bottom ? y - kCrossLabelGap / 2 - lineHeight : y + kCrossLabelGap / 2;
        surface.drawTextLine(labelX, labelY, crossLabel(crosses[i]));
    }
    surface.setPenWidth(1);

    const std::vector<std::string> lines{
        "打印机校准页",
        "打印机：" + page.printerName,
        "日期：" + page.date,
        "纸张：" + number(page.widthMm, "%.1f") + " × " + number(page.heightMm, "%.1f") + " 毫米",
        "本页不使用校准打印。用尺量出左上和右下十字的中心",
        "到纸张左边和上边的距离（毫米），在“打印机校准”中输入。",
    };
    surface.setFont(FontSpec{"宋体", 10});
    const int step = static_cast<int>(std::lround(surface.textLineHeight() * 1.4));
    int y = 250;
    for (const std::string& line : lines) {
        surface.drawTextLine(250, y, line);
        y += step;
    }
}

} // namespace ordavel
