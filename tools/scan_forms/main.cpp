// scan_forms [--first N] [--count N] [--threads N] [--split tune|measure] [--overlay] OUT_FOLDER:
// draws pre-printed forms as scanned or photographed, each with its true
// fields in a JSON file beside it (and with --overlay a small picture with
// the fields outlined). Form i is family i mod the number of
// families, seed i; the same numbers always give the same files.
#include "form_families.h"
#include "form_generator.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace ordavel::scanforms;

namespace {

// A small copy of the picture with the true fields outlined, colour by kind, for checking by eye.
bool writeOverlay(const GeneratedForm& form, const std::string& path)
{
    const double scale = std::min(1.0, 1400.0 / std::max(form.picture.width(), form.picture.height()));
    QImage small = form.picture.scaled(int(form.picture.width() * scale), int(form.picture.height() * scale),
                                       Qt::KeepAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB32);
    QPainter p(&small);
    for (const TruthField& f : form.truth.fields) {
        const QColor c = f.kind == "cell"        ? QColor(0, 160, 0)
                         : f.kind == "underline" ? QColor(200, 0, 200)
                         : f.kind == "blank"     ? QColor(0, 150, 220)
                         : f.kind == "checkbox"  ? QColor(255, 120, 0)
                                                 : QColor(220, 0, 0);
        p.setPen(QPen(c, 2));
        p.drawRect(QRectF(f.rect.x() * scale, f.rect.y() * scale, f.rect.width() * scale, f.rect.height() * scale));
    }
    p.end();
    return small.save(QString::fromStdString(path), "PNG");
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int first = 0;
    int count = 600;
    int threads = 2;
    std::string only;
    bool overlay = false;
    std::string folder;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--first" && hasValue)
            first = args[++i].toInt();
        else if (a == "--count" && hasValue)
            count = args[++i].toInt();
        else if (a == "--threads" && hasValue)
            threads = std::max(1, args[++i].toInt());
        else if (a == "--split" && hasValue)
            only = args[++i].toStdString();
        else if (a == "--overlay")
            overlay = true;
        else if (!a.startsWith("--") && folder.empty())
            folder = a.toStdString();
        else {
            std::fprintf(stderr, "usage: scan_forms [--first N] [--count N] [--threads N] [--split tune|measure] [--overlay] OUT_FOLDER\n");
            return 2;
        }
    }
    if (folder.empty() || count < 0 || first < 0) {
        std::fprintf(stderr, "usage: scan_forms [--first N] [--count N] [--threads N] [--split tune|measure] [--overlay] OUT_FOLDER\n");
        return 2;
    }
    if (!QDir().mkpath(QString::fromStdString(folder))) {
        std::fprintf(stderr, "scan_forms: cannot make %s\n", folder.c_str());
        return 1;
    }
    const int familyCount = static_cast<int>(families().size());
    std::atomic<int> next{first};
    std::atomic<int> failed{0};
    std::atomic<int> written{0};
    auto work = [&] {
        for (int i = next++; i < first + count; i = next++) {
            const int family = i % familyCount;
            const unsigned seed = static_cast<unsigned>(i);
            if (!only.empty() && splitOf(family, seed) != only)
                continue;
            GeneratedForm form = generateForm(family, seed);
            char name[64];
            std::snprintf(name, sizeof name, "%s_%05u", form.truth.split.c_str(), seed);
            if (writeForm(form, folder, name) &&
                (!overlay || writeOverlay(form, folder + "/" + name + ".truth.png")))
                ++written;
            else
                ++failed;
        }
    };
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back(work);
    for (std::thread& t : pool)
        t.join();
    std::fprintf(stderr, "scan_forms: %d forms written to %s\n", written.load(), folder.c_str());
    if (failed > 0) {
        std::fprintf(stderr, "scan_forms: %d forms could not be written\n", failed.load());
        return 1;
    }
    return 0;
}
