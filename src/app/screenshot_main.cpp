// ordavel-screenshot: opens the designer window with a template and saves one
// PNG per mode (design, edit, preview, and preview with the background picture)
// into a folder. scripts/screenshot runs it under Xvfb so that a person can look
// at the window.
#include "app/main_window.h"
#include "designer/work_area.h"
#include "platform/qt_prompter.h"
#include "platform/qt_translations.h"
#include "platform/screen_factors.h"

#include <QApplication>
#include <QCheckBox>
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
    ordavel::installQtTranslations(app);
    if (argc < 3) {
        std::fprintf(stderr, "usage: ordavel-screenshot OUT_DIR TEMPLATE.oxf\n");
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
    if (!window.openTemplate(argv[2])) {
        std::fprintf(stderr, "ordavel-screenshot: the template did not load\n");
        return 1;
    }

    const struct {
        const char* caption;
        const char* file;
        bool background;
    } modes[] = {{"设计", "design.png", false}, {"编辑", "edit.png", false}, {"预览", "preview.png", false},
                 {"预览", "preview-background.png", true}};
    for (const auto& mode : modes) {
        window.dispatch(*ordavel::commandCaptioned(QString::fromUtf8(mode.caption)));
        if (mode.background)
            window.workArea()->backgroundCheck()->setChecked(true);
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

    // The help tips window and the about window, each on its own.
    window.dispatch(ordavel::DesignerCommand::Help);
    window.dispatch(ordavel::DesignerCommand::About);
    settle();
    const std::pair<QWidget*, const char*> extras[] = {{window.helpWindow(), "help.png"},
                                                       {window.aboutWindow(), "about.png"}};
    for (const auto& [widget, file] : extras) {
        if (!widget)
            continue;
        const QString path = outDir + QLatin1Char('/') + QString::fromUtf8(file);
        if (widget->grab().save(path))
            std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
