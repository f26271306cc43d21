// The designer's entry point.
#include "app/application_setup.h"
#include "app/command_line.h"
#include "app/startup.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

QtMessageHandler previousHandler = nullptr;

// Qt ends the program with abort() when no platform plugin can start (a
// display that is named but does not answer): say so and exit with 1 instead.
void noDisplayHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        if (previousHandler)
            previousHandler(type, context, message);
        else
            std::fprintf(stderr, "%s\n", qPrintable(message));
        return;
    }
    std::fprintf(stderr, "ordavel: %s\n%s", qPrintable(message), ordavel::kNoDisplayText);
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    // Asked for its version or its usage, the designer answers on stdout
    // without a window, so this works without a display too.
    if (const auto status = ordavel::answerWithoutWindow(argc, argv))
        return *status;
    if (!ordavel::displayNamed(std::getenv)) {
        std::fputs(ordavel::kNoDisplayText, stderr);
        return 1;
    }
    previousHandler = qInstallMessageHandler(noDisplayHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(previousHandler);
    ordavel::setUpApplication(app);
    return ordavel::runDesigner(ordavel::argumentsFromArgv(argc, argv));
}
