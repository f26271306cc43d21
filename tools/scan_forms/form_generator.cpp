#include "form_generator.h"

#include "form_families.h"

#include <QFile>
#include <QSaveFile>

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

template <typename T>
const T& pick(Rng& rng, const std::vector<T>& from)
{
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
}

std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

QColor lighter(const QColor& ink, double keep)
{
    return QColor(int(255 - (255 - ink.red()) * keep), int(255 - (255 - ink.green()) * keep),
                  int(255 - (255 - ink.blue()) * keep));
}

} // namespace

std::string splitOf(int family, unsigned seed)
{
    if (family % 4 == 3)
        return "measure";
    return mix((std::uint64_t(unsigned(family)) << 32) | seed) % 5 == 0 ? "measure" : "tune";
}

GeneratedForm generateForm(int family, unsigned seed, double dpi, bool clean)
{
    const Family& f = families().at(static_cast<std::size_t>(family));
    std::seed_seq seq{static_cast<unsigned>(family), seed, 0x5ca7u};
    Rng rng(seq);
    if (dpi <= 0)
        dpi = pick(rng, std::vector<double>{150, 200, 200, 240, 300, 300, 300, 400});

    SheetStyle style;
    style.language = f.language;
    style.rule = f.ink;
    style.text = chance(rng, 0.7) ? f.ink : QColor(30, 30, 30);
    static const std::vector<QString> chinese = {"WenQuanYi Zen Hei", "Noto Sans CJK SC", "Noto Serif CJK SC"};
    static const std::vector<QString> latin = {"DejaVu Sans", "DejaVu Serif", "Nimbus Sans", "Nimbus Roman"};
    style.captionFont = pick(rng, f.language == "zh" ? chinese : latin);
    style.titleFont = pick(rng, f.language == "zh" ? chinese : latin);
    style.captionPt = f.language == "zh" ? uniform(rng, 9, 12) : uniform(rng, 8.5, 11);
    style.ruleCm = uniform(rng, 0.015, 0.04);
    style.frameCm = chance(rng, 0.5) ? style.ruleCm * 2.5 : style.ruleCm;
    style.colonAfterCaption = chance(rng, f.language == "zh" ? 0.75 : 0.6);
    if (f.tinted)
        style.paper = lighter(f.ink, uniform(rng, 0.06, 0.12));
    else {
        const int v = int(uniform(rng, 244, 255));
        style.paper = QColor(v, v, std::max(0, v - int(uniform(rng, 0, 6))));
    }

    Sheet sheet(f.paperWidthCm, f.paperHeightCm, dpi, style);
    if (f.watermark)
        sheet.watermark(f.language == "zh" ? QStringLiteral("专用票据") : QStringLiteral("ORIGINAL"), rng);
    f.layout(sheet, rng, f);
    if (f.stamp || chance(rng, 0.08))
        sheet.stamp(uniform(rng, 0.55, 0.85) * f.paperWidthCm, uniform(rng, 0.2, 0.85) * f.paperHeightCm,
                    std::min(2.0, f.paperHeightCm / 5), QStringLiteral("财务专用章"), rng);
    if (chance(rng, 0.35)) {
        const bool byHand = chance(rng, 0.5);
        for (const TruthField& field : sheet.fields())
            if (field.kind != "checkbox" && chance(rng, 0.5))
                sheet.fillValue(field.rect, QString::fromStdString(pick(rng, fillValues(f.language))), byHand, rng);
            else if (field.kind == "checkbox" && chance(rng, 0.3))
                sheet.fillValue(field.rect, QStringLiteral("✓"), true, rng);
    }

    GeneratedForm out;
    out.truth.fields = sheet.fields();
    out.page = sheet.finish();
    if (clean) {
        out.picture = out.page.convertToFormat(QImage::Format_RGB888);
    } else {
        out.how = randomCapture(rng, dpi);
        out.picture = capture(out.page, out.how, rng, out.truth.fields);
    }
    FormTruth& t = out.truth;
    t.family = family;
    t.familyName = f.name;
    t.seed = seed;
    t.split = splitOf(family, seed);
    t.width = out.picture.width();
    t.height = out.picture.height();
    t.dpi = dpi;
    t.paperWidthCm = f.paperWidthCm;
    t.paperHeightCm = f.paperHeightCm;
    t.skewDegrees = out.how.skewDegrees;
    t.capture = clean ? "clean" : out.how.photo ? "photo" : "scan";
    return out;
}

bool writeForm(GeneratedForm& form, const std::string& folder, const std::string& name)
{
    const bool jpeg = form.how.jpegQuality > 0;
    form.truth.image = name + (jpeg ? ".jpg" : ".png");
    const QString base = QString::fromStdString(folder + "/");
    if (!form.picture.save(base + QString::fromStdString(form.truth.image), jpeg ? "JPEG" : "PNG",
                           jpeg ? form.how.jpegQuality : 70))
        return false;
    QSaveFile file(base + QString::fromStdString(name + ".json"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const std::string json = truthJson(form.truth);
    file.write(json.data(), static_cast<qint64>(json.size()));
    return file.commit();
}

} // namespace ordavel::scanforms
