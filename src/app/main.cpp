// The designer's entry point.
#include "app/app_icon.h"
#include "app/command_line.h"
#include "app/startup.h"
#include "platform/qt_translations.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Asked for its version, the designer answers on stdout without a window,
    // so this works without a display too.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("ordavel %s\n", ORDAVEL_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ordavel"));
    QApplication::setApplicationVersion(QStringLiteral(ORDAVEL_VERSION));
    // Lets the desktop match the windows to the installed ordavel.desktop launcher.
    QGuiApplication::setDesktopFileName(QStringLiteral("ordavel"));
    QApplication::setWindowIcon(ordavel::applicationIcon());
    ordavel::installQtTranslations(app);
    return ordavel::runDesigner(ordavel::argumentsFromArgv(argc, argv));
}
