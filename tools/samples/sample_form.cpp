#include "sample_form.h"

#include "file/template_writer.h"
#include "platform/painter_surface.h"
#include "print/print_job.h"

#include <QBuffer>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>

namespace ordavel::samples {

namespace {

// The page as printed with the background picture, to look at the result.
bool writePreview(const Document& doc, const char* path)
{
    Document withForm(doc.factors());
    withForm.page() = doc.page();
    withForm.page().isPrintBgPic = true;
    for (int index = 1; index <= doc.slotCount(); ++index) {
        withForm.ensureSlotCount(index);
        withForm.box(index) = doc.box(index);
    }
    constexpr int dpi = 150;
    QImage page(static_cast<int>(doc.page().pageWidth / 2.54f * dpi), static_cast<int>(doc.page().pageHeight / 2.54f * dpi),
                QImage::Format_RGB32);
    page.setDotsPerMeterX(static_cast<int>(dpi / 0.0254));
    page.setDotsPerMeterY(static_cast<int>(dpi / 0.0254));
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        PainterSurface surface(painter, PainterSurface::Units::TenthsMm);
        printPage(withForm, surface);
    }
    return page.save(QString::fromLocal8Bit(path), "PNG");
}

class StderrSink : public MessageSink {
public:
    MessageAnswer show(const Message& message) override
    {
        std::fprintf(stderr, "%s: %s\n", message.caption.c_str(), message.text.c_str());
        return MessageAnswer::Ok;
    }
};

} // namespace

void addPaperGrain(QImage& form, quint32 seed, int redOffset, int greenOffset, int blueOffset)
{
    QRandomGenerator grain(seed);
    for (int y = 0; y < form.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(form.scanLine(y));
        for (int x = 0; x < form.width(); ++x) {
            const int d = static_cast<int>(grain.bounded(13)) - 6;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + d + redOffset, 0, 255), std::clamp(qGreen(c) + d + greenOffset, 0, 255),
                           std::clamp(qBlue(c) + d + blueOffset, 0, 255));
        }
    }
}

std::string jpegBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 82);
    return bytes.toStdString();
}

int saveSample(Document& doc, int argc, char** argv)
{
    StderrSink sink;
    if (!saveDocument(doc, argv[1], sink))
        return 1;
    if (argc == 3 && !writePreview(doc, argv[2])) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}

} // namespace ordavel::samples
