// The generator's truth agrees with what it drew: ruled fields have their
// rules on their rectangle's edges, on the page and after the paper is
// turned or photographed; the same family and seed give the same files.
#include "form_families.h"
#include "form_generator.h"
#include "scan_score.h"

#include "scan/scan_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace ordavel::scanforms {
namespace {

constexpr double kTestDpi = 150;

int familyCount()
{
    return static_cast<int>(families().size());
}

// How much darker than the paper the darkest pixel is within `reach` pixels of (x, y) across a line.
int darkness(const QImage& image, QPointF at, bool acrossVertically, int reach, int paper)
{
    int darkest = 255;
    for (int d = -reach; d <= reach; ++d) {
        const int x = static_cast<int>(std::lround(at.x())) + (acrossVertically ? 0 : d);
        const int y = static_cast<int>(std::lround(at.y())) + (acrossVertically ? d : 0);
        if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
            continue;
        darkest = std::min(darkest, qGray(image.pixel(x, y)));
    }
    return paper - darkest;
}

// The share of points along an edge (corners left out) where a rule is found;
// `along` pixels either side along the edge count too, so that the gaps of a
// dotted leader do not hide it.
double ruledShare(const QImage& image, QPointF from, QPointF to, int paper, int reach = 2, int along = 0)
{
    const bool horizontal = std::abs(to.x() - from.x()) > std::abs(to.y() - from.y());
    int ruled = 0;
    const int samples = 40;
    for (int i = 0; i < samples; ++i) {
        const double t = 0.1 + 0.8 * i / (samples - 1);
        const QPointF p = from + (to - from) * t;
        bool dark = false;
        for (int a = -along; a <= along && !dark; ++a)
            dark = darkness(image, p + (horizontal ? QPointF(a, 0) : QPointF(0, a)), horizontal, reach, paper) > 35;
        ruled += dark;
    }
    return static_cast<double>(ruled) / samples;
}

// The paper's shade: the lightest along the top edge, where little is printed.
int paperShade(const QImage& image)
{
    int lightest = 0;
    for (int x = 0; x < image.width(); ++x)
        lightest = std::max(lightest, qGray(image.pixel(x, 2)));
    return lightest;
}

TEST(FormGenerator, RulesLieOnTheEdgesOfTheFieldsTheyBound)
{
    std::set<std::string> kinds;
    for (int family = 0; family < familyCount(); ++family) {
        const GeneratedForm form = generateForm(family, 1000u + static_cast<unsigned>(family), kTestDpi, true);
        const QImage& page = form.picture;
        const int paper = paperShade(page);
        const std::string name = families()[static_cast<std::size_t>(family)].name;
        // A seal pressed over the printing may cross any field; where it is, no rule is looked for.
        const bool stamped = families()[static_cast<std::size_t>(family)].stamp;
        ASSERT_GE(form.truth.fields.size(), 5u) << name;
        for (const TruthField& f : form.truth.fields) {
            kinds.insert(f.kind);
            const QRectF r = f.rect;
            SCOPED_TRACE(name + " " + f.kind + " \"" + f.caption + "\"");
            EXPECT_FALSE(f.caption.empty());
            EXPECT_EQ(f.language, families()[static_cast<std::size_t>(family)].language);
            EXPECT_EQ(scaneval::isChinese(f.caption), f.language == "zh");
            EXPECT_TRUE(QRectF(0, 0, page.width(), page.height()).contains(r));
            const double bottom = ruledShare(page, r.bottomLeft(), r.bottomRight(), paper);
            const double right = ruledShare(page, r.topRight(), r.bottomRight(), paper);
            if (f.kind == "cell") {
                // Cells are closed below and at their right; the caption may take their left or top.
                EXPECT_GE(bottom, 0.9);
                EXPECT_GE(right, 0.9);
            } else if (f.kind == "checkbox" || f.kind == "digit_cells") {
                EXPECT_GE(bottom, 0.9);
                EXPECT_GE(right, 0.9);
                EXPECT_GE(ruledShare(page, r.topLeft(), r.topRight(), paper), 0.9);
                EXPECT_GE(ruledShare(page, r.topLeft(), r.bottomLeft(), paper), 0.9);
            } else if (f.kind == "underline") {
                // A solid line or a dotted leader along the bottom, open above.
                EXPECT_GE(ruledShare(page, r.bottomLeft(), r.bottomRight(), paper, 2, 4), 0.9);
                if (!stamped) {
                    EXPECT_LE(ruledShare(page, r.topLeft(), r.topRight(), paper), 0.5);
                }
            } else {
                ASSERT_EQ(f.kind, "blank");
                if (!stamped) {
                    EXPECT_LE(bottom, 0.5);
                }
            }
        }
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"blank", "cell", "checkbox", "digit_cells", "underline"}));
}

TEST(FormGenerator, DigitCellsAreDividedIntoOneCharacterBoxes)
{
    const int slip = 16; // a bank slip: eleven digit cells under 亿千百十万千百十元角分
    ASSERT_EQ(families()[slip].name, "bank_slip_black");
    const GeneratedForm form = generateForm(slip, 7, kTestDpi, true);
    const int paper = paperShade(form.picture);
    int rows = 0;
    for (const TruthField& f : form.truth.fields) {
        if (f.kind != "digit_cells")
            continue;
        ++rows;
        const QRectF r = f.rect;
        for (int i = 1; i < 11; ++i) {
            const double x = r.left() + r.width() * i / 11;
            EXPECT_GE(ruledShare(form.picture, {x, r.top()}, {x, r.bottom()}, paper), 0.9) << i;
        }
        // Halfway between two dividers there is no rule.
        const double x = r.left() + r.width() * 1.5 / 11;
        EXPECT_LE(ruledShare(form.picture, {x, r.top()}, {x, r.bottom()}, paper, 1), 0.2);
    }
    EXPECT_EQ(rows, 1);
}

TEST(FormGenerator, TheSameFamilyAndSeedGiveTheSamePictureAndTruth)
{
    const GeneratedForm a = generateForm(19, 42, kTestDpi);
    const GeneratedForm b = generateForm(19, 42, kTestDpi);
    EXPECT_EQ(a.picture, b.picture);
    EXPECT_EQ(truthJson(a.truth), truthJson(b.truth));
    const GeneratedForm c = generateForm(19, 43, kTestDpi);
    EXPECT_NE(truthJson(a.truth), truthJson(c.truth));
    // Without a resolution given, the seed chooses one of the scanning resolutions.
    std::set<double> dpis;
    for (unsigned seed = 0; seed < 12; ++seed)
        dpis.insert(generateForm(16, seed, 0, true).truth.dpi);
    for (const double dpi : dpis) {
        EXPECT_GE(dpi, 150);
        EXPECT_LE(dpi, 400);
    }
    EXPECT_GE(dpis.size(), 3u);
}

// A capture that only turns the paper, so that where each rule went can be worked out.
TEST(FormGenerator, TurnedPaperTakesItsFieldsAlong)
{
    const GeneratedForm clean = generateForm(14, 5, kTestDpi, true);
    for (const double skew : {2.5, -2.5}) {
        Capture how;
        how.skewDegrees = skew;
        Rng rng(1);
        std::vector<TruthField> fields = clean.truth.fields;
        const QImage turned = capture(clean.page, how, rng, fields);
        ASSERT_EQ(turned.size(), clean.page.size());
        ASSERT_EQ(fields.size(), clean.truth.fields.size());
        const QPointF middle(turned.width() / 2.0, turned.height() / 2.0);
        const double a = skew * M_PI / 180.0;
        const int paper = paperShade(turned);
        int boxes = 0;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const QRectF before = clean.truth.fields[i].rect;
            const QRectF after = fields[i].rect;
            EXPECT_NEAR(after.width(), before.width(), 0.5);
            EXPECT_NEAR(after.height(), before.height(), 0.5);
            // Turned clockwise by `skew` about the middle of the page (y grows downwards).
            const QPointF d = before.center() - middle;
            const QPointF want = middle + QPointF(d.x() * std::cos(a) - d.y() * std::sin(a),
                                                  d.x() * std::sin(a) + d.y() * std::cos(a));
            EXPECT_NEAR(after.center().x(), want.x(), 0.5);
            EXPECT_NEAR(after.center().y(), want.y(), 0.5);
            if (fields[i].kind != "checkbox")
                continue;
            ++boxes;
            // The box's bottom rule, turned with the paper, is found where the corners went.
            const QPointF c = after.center();
            const double hw = after.width() / 2, hh = after.height() / 2;
            const QPointF left = c + QPointF(-hw * std::cos(a) - hh * std::sin(a), -hw * std::sin(a) + hh * std::cos(a));
            const QPointF right = c + QPointF(hw * std::cos(a) - hh * std::sin(a), hw * std::sin(a) + hh * std::cos(a));
            EXPECT_GE(ruledShare(turned, left, right, paper), 0.9) << fields[i].caption;
        }
        EXPECT_GT(boxes, 0);
    }
}

TEST(FormGenerator, PhotographedFieldsKeepRoughlyTheirSize)
{
    const GeneratedForm clean = generateForm(25, 3, kTestDpi, true);
    Capture how;
    how.photo = true;
    how.perspective = 0.04;
    how.lightDrop = 0.3;
    Rng rng(9);
    std::vector<TruthField> fields = clean.truth.fields;
    const QImage photo = capture(clean.page, how, rng, fields);
    ASSERT_EQ(fields.size(), clean.truth.fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        // The corners move inwards by at most 4 % of the page, so sides shrink by at most 8 %.
        EXPECT_GE(fields[i].rect.width(), clean.truth.fields[i].rect.width() * 0.9);
        EXPECT_LE(fields[i].rect.width(), clean.truth.fields[i].rect.width() * 1.01);
        EXPECT_TRUE(QRectF(0, 0, photo.width(), photo.height()).contains(fields[i].rect));
    }
}

// Light, blur, noise, the fold and the back page change the look, never where the fields are.
TEST(FormGenerator, CaptureWithoutTurningLeavesFieldsInPlace)
{
    const GeneratedForm clean = generateForm(0, 8, kTestDpi, true);
    Capture how;
    how.blurSigmaPx = 1.0;
    how.noiseSigma = 6;
    how.lightDrop = 0.3;
    how.foldShadow = 0.3;
    how.bleed = 0.1;
    Rng rng(4);
    std::vector<TruthField> fields = clean.truth.fields;
    const QImage worn = capture(clean.page, how, rng, fields);
    ASSERT_EQ(worn.size(), clean.page.size());
    ASSERT_EQ(fields.size(), clean.truth.fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i)
        EXPECT_EQ(fields[i].rect, clean.truth.fields[i].rect);
    // Light lost towards one corner and at the fold: the page as a whole comes out darker.
    const auto mean = [](const QImage& image) {
        double sum = 0;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4)
                sum += qGray(image.pixel(x, y));
        return sum;
    };
    EXPECT_LT(mean(worn), mean(clean.page) * 0.97);
}

TEST(FormGenerator, FilesAreJpegOrPngAsCapturedAndFailuresAreReported)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    GeneratedForm form = generateForm(13, 2, kTestDpi, true);
    ASSERT_TRUE(writeForm(form, dir.path().toStdString(), "lossless"));
    EXPECT_EQ(form.truth.image, "lossless.png");
    form.how.jpegQuality = 30;
    ASSERT_TRUE(writeForm(form, dir.path().toStdString(), "lossy"));
    EXPECT_EQ(form.truth.image, "lossy.jpg");
    EXPECT_TRUE(QFile::exists(dir.filePath("lossy.jpg")));
    EXPECT_TRUE(QFile::exists(dir.filePath("lossy.json")));
    EXPECT_FALSE(writeForm(form, dir.filePath("no/such/folder").toStdString(), "lost"));
}

TEST(FormGenerator, WholeFamiliesAndSomeSeedsAreKeptForMeasuring)
{
    int measured = 0;
    for (unsigned seed = 0; seed < 1000; ++seed) {
        EXPECT_EQ(splitOf(3, seed), "measure");
        EXPECT_EQ(splitOf(31, seed), "measure");
        EXPECT_EQ(splitOf(2, seed), splitOf(2, seed));
        measured += splitOf(2, seed) == "measure";
    }
    EXPECT_GT(measured, 150);
    EXPECT_LT(measured, 250);
    // The families held out for measuring cover Chinese and English forms alike.
    std::set<std::string> languages;
    for (int family = 3; family < familyCount(); family += 4)
        languages.insert(families()[static_cast<std::size_t>(family)].language);
    EXPECT_EQ(languages, (std::set<std::string>{"en", "zh"}));
    EXPECT_GE(familyCount(), 30);
}

TEST(FormGenerator, WrittenFilesAreReadByTheEvaluationAndTheScanReader)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const unsigned seed : {11u, 12u, 13u, 14u}) {
        GeneratedForm form = generateForm(static_cast<int>(seed) % familyCount(), seed, kTestDpi);
        const std::string name = "form" + std::to_string(seed);
        ASSERT_TRUE(writeForm(form, dir.path().toStdString(), name));
        std::string error;
        const auto truth = scaneval::readTruth(dir.filePath(QString::fromStdString(name + ".json")).toStdString(), &error);
        ASSERT_TRUE(truth.has_value()) << error;
        EXPECT_EQ(truth->image, form.truth.image);
        EXPECT_EQ(truth->family, form.truth.familyName);
        EXPECT_EQ(truth->split, splitOf(form.truth.family, seed));
        ASSERT_EQ(truth->fields.size(), form.truth.fields.size());
        for (std::size_t i = 0; i < truth->fields.size(); ++i) {
            EXPECT_NEAR(truth->fields[i].rect.x, form.truth.fields[i].rect.x(), 0.5);
            EXPECT_NEAR(truth->fields[i].rect.h, form.truth.fields[i].rect.height(), 0.5);
            EXPECT_EQ(truth->fields[i].kind, form.truth.fields[i].kind);
        }
        const auto image = scan::readScanFile(dir.filePath(QString::fromStdString(truth->image)).toStdString(), &error);
        ASSERT_TRUE(image.has_value()) << error;
        EXPECT_EQ(image->picture.width, form.truth.width);
        EXPECT_NEAR(image->dpiX, kTestDpi, 1.0);
        EXPECT_NEAR(truth->paper.widthCm, form.truth.width / kTestDpi * 2.54, 0.05);
    }
}

} // namespace
} // namespace ordavel::scanforms
