#include "scan_capture.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace ordavel::scanforms {

namespace {

double uniform(Rng& rng, double lo, double hi)
{
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

bool chance(Rng& rng, double p)
{
    return uniform(rng, 0, 1) < p;
}

// A field warped by `h` is given as the axis-aligned rectangle of its own
// width and height centred where its corners went, as fields are annotated on
// turned scans.
bool moveField(TruthField& f, const cv::Matx33d& h, int width, int height)
{
    std::vector<cv::Point2d> corners = {{f.rect.left(), f.rect.top()},
                                        {f.rect.right(), f.rect.top()},
                                        {f.rect.right(), f.rect.bottom()},
                                        {f.rect.left(), f.rect.bottom()}};
    std::vector<cv::Point2d> moved;
    cv::perspectiveTransform(corners, moved, cv::Mat(h));
    const cv::Point2d centre = (moved[0] + moved[1] + moved[2] + moved[3]) * 0.25;
    const double w = (cv::norm(moved[1] - moved[0]) + cv::norm(moved[2] - moved[3])) / 2.0;
    const double hgt = (cv::norm(moved[3] - moved[0]) + cv::norm(moved[2] - moved[1])) / 2.0;
    const QRectF placed(centre.x - w / 2.0, centre.y - hgt / 2.0, w, hgt);
    const QRectF inside = placed.intersected(QRectF(0, 0, width, height));
    if (inside.width() * inside.height() < 0.9 * w * hgt)
        return false;
    f.rect = inside;
    return true;
}

} // namespace

Capture randomCapture(Rng& rng, double dpi)
{
    Capture c;
    c.photo = chance(rng, 0.25);
    const double skew = chance(rng, 0.5) ? uniform(rng, -1.0, 1.0) : uniform(rng, -3.0, 3.0);
    c.skewDegrees = c.photo ? skew / 2 : skew;
    c.perspective = c.photo ? uniform(rng, 0.01, 0.045) : 0;
    c.blurSigmaPx = uniform(rng, 0.0, c.photo ? 1.6 : 1.0) * dpi / 300.0;
    c.noiseSigma = uniform(rng, 0.0, c.photo ? 10.0 : 6.0);
    c.lightDrop = c.photo ? uniform(rng, 0.1, 0.35) : (chance(rng, 0.3) ? uniform(rng, 0.03, 0.15) : 0);
    c.foldShadow = chance(rng, 0.2) ? uniform(rng, 0.1, 0.35) : 0;
    c.bleed = chance(rng, 0.2) ? uniform(rng, 0.04, 0.12) : 0;
    // Lossless files come from flatbed scanners that leave little noise.
    c.jpegQuality = chance(rng, 0.85) ? static_cast<int>(uniform(rng, 25, 92)) : 0;
    if (c.jpegQuality == 0)
        c.noiseSigma = std::min(c.noiseSigma, 1.5);
    return c;
}

QImage capture(const QImage& page, const Capture& how, Rng& rng, std::vector<TruthField>& fields)
{
    const QImage rgb = page.convertToFormat(QImage::Format_RGB888);
    const int width = rgb.width();
    const int height = rgb.height();
    cv::Mat img(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y)
        std::copy_n(rgb.constScanLine(y), static_cast<std::size_t>(width) * 3, img.ptr<std::uint8_t>(y));

    if (how.bleed > 0) {
        // The back page: the same kind of printing mirrored, soft and faint.
        cv::Mat back;
        cv::flip(img, back, 1);
        cv::GaussianBlur(back, back, cv::Size(0, 0), std::max(1.0, width / 800.0));
        cv::Mat ink;
        cv::subtract(cv::Scalar::all(255), back, ink);
        cv::subtract(img, ink * how.bleed, img);
    }

    cv::Matx33d h = cv::Matx33d::eye();
    const cv::Point2f centre(static_cast<float>(width) / 2.0f, static_cast<float>(height) / 2.0f);
    const cv::Mat turn = cv::getRotationMatrix2D(centre, -how.skewDegrees, 1.0);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            h(r, c) = turn.at<double>(r, c);
    if (how.photo) {
        const std::vector<cv::Point2f> from = {{0, 0}, {float(width), 0}, {float(width), float(height)}, {0, float(height)}};
        std::vector<cv::Point2f> to;
        for (const cv::Point2f& p : from) {
            const float dx = float(uniform(rng, 0.005, how.perspective) * width);
            const float dy = float(uniform(rng, 0.005, how.perspective) * height);
            to.push_back({p.x == 0 ? dx : p.x - dx, p.y == 0 ? dy : p.y - dy});
        }
        const cv::Mat persp = cv::getPerspectiveTransform(from, to);
        h = cv::Matx33d(persp) * h;
    }
    cv::Mat warped;
    const cv::Scalar outside = how.photo ? cv::Scalar(70, 62, 55) : cv::Scalar(236, 236, 232);
    cv::warpPerspective(img, warped, cv::Mat(h), img.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, outside);
    img.release();

    if (how.lightDrop > 0 || how.foldShadow > 0 || how.photo) {
        // Light falls off towards one corner; a photo takes a colour cast; a fold casts a narrow shadow.
        cv::Mat small(16, 16, CV_32FC1);
        const double ax = uniform(rng, -1, 1);
        const double ay = uniform(rng, -1, 1);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const double t = ((x / 15.0 - 0.5) * ax + (y / 15.0 - 0.5) * ay + 1.0) / 2.0;
                small.at<float>(y, x) = float(1.0 - how.lightDrop * std::clamp(t, 0.0, 1.0));
            }
        cv::Mat gain;
        cv::resize(small, gain, warped.size(), 0, 0, cv::INTER_LINEAR);
        if (how.foldShadow > 0) {
            const bool across = chance(rng, 0.5);
            const int length = across ? height : width;
            const double at = uniform(rng, 0.35, 0.65) * length;
            const double spread = length * uniform(rng, 0.01, 0.03);
            cv::Mat profile(across ? cv::Size(1, length) : cv::Size(length, 1), CV_32FC1);
            for (int i = 0; i < length; ++i) {
                const double d = (i - at) / spread;
                profile.at<float>(across ? i : 0, across ? 0 : i) = float(1.0 - how.foldShadow * std::exp(-d * d));
            }
            cv::Mat band;
            cv::repeat(profile, across ? 1 : height, across ? width : 1, band);
            cv::multiply(gain, band, gain);
        }
        cv::Mat gain8;
        gain.convertTo(gain8, CV_8U, 255.0);
        gain.release();
        std::vector<cv::Mat> planes;
        cv::split(warped, planes);
        const double cast[3] = {uniform(rng, 0.93, 1.0), uniform(rng, 0.95, 1.0), uniform(rng, 0.9, 1.0)};
        for (int c = 0; c < 3; ++c)
            cv::multiply(planes[c], gain8, planes[c], (how.photo ? cast[c] : 1.0) / 255.0);
        cv::merge(planes, warped);
    }
    if (how.blurSigmaPx > 0.3)
        cv::GaussianBlur(warped, warped, cv::Size(0, 0), how.blurSigmaPx);
    if (how.noiseSigma > 0.5) {
        cv::Mat noise(warped.size(), CV_16SC3);
        cv::RNG cvRng(rng());
        cvRng.fill(noise, cv::RNG::NORMAL, 0, how.noiseSigma);
        cv::Mat sum;
        cv::add(warped, noise, sum, cv::noArray(), CV_16SC3);
        sum.convertTo(warped, CV_8UC3);
    }

    std::vector<TruthField> kept;
    for (TruthField f : fields)
        if (moveField(f, h, width, height))
            kept.push_back(std::move(f));
    fields = std::move(kept);

    QImage out(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        std::copy_n(warped.ptr<std::uint8_t>(y), static_cast<std::size_t>(width) * 3, out.scanLine(y));
    out.setDotsPerMeterX(page.dotsPerMeterX());
    out.setDotsPerMeterY(page.dotsPerMeterY());
    return out;
}

} // namespace ordavel::scanforms
