// ordavel-screenshot: opens the designer window, optionally with a template,
// and saves one PNG per mode (design, edit, preview) into a folder. Used by
// scripts/screenshot under Xvfb so that a person can look at the window.
#include "app/main_window.h"
#include "designer/file_toolbar.h"
#include "platform/qt_prompter.h"
#include "platform/screen_factors.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include <cstdio>

namespace {

void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(25);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: ordavel-screenshot OUT_DIR [TEMPLATE.oxf]\n");
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);

    ordavel::QtPrompter prompter;
    ordavel::MainWindow window(prompter, ordavel::screenFactors());
    prompter.setParent(&window);
    window.placeOnScreen();
    window.show();
    window.placeOnScreen();
    settle();
    if (argc > 2 && !window.openTemplate(argv[2])) {
        std::fprintf(stderr, "ordavel-screenshot: %s did not load\n", argv[2]);
        return 1;
    }

    const struct {
        const char* caption;
        const char* file;
    } modes[] = {{"设计", "design.png"}, {"编辑", "edit.png"}, {"预览", "preview.png"}};
    for (const auto& mode : modes) {
        window.dispatch(QString::fromUtf8(mode.caption));
        settle();
        QPixmap shot = window.screen()->grabWindow(window.winId());
        if (shot.isNull() || shot.width() < 10)
            shot = window.grab();
        const QString path = outDir + QLatin1Char('/') + QString::fromUtf8(mode.file);
        if (!shot.save(path)) {
            std::fprintf(stderr, "ordavel-screenshot: cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
