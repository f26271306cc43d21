// The designer's entry point.
#include "app/app_icon.h"
#include "app/command_line.h"
#include "app/startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ordavel"));
    QApplication::setApplicationVersion(QStringLiteral("1.65"));
    QApplication::setWindowIcon(ordavel::applicationIcon());
    return ordavel::runDesigner(ordavel::argumentsFromArgv(argc, argv));
}
