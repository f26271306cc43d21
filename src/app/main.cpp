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
bool helpAsked = false; // the command line is a help switch alone

// Qt ends the program with abort() when no platform plugin can start (a
// display that is named but does not answer): say so and exit with 1 instead.
// A help switch then gets the usage on stdout, as without any display.
void noDisplayHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        if (previousHandler)
            previousHandler(type, context, message);
        else
            std::fprintf(stderr, "%s\n", qPrintable(message));
        return;
    }
    if (helpAsked) {
        std::fputs(ordavel::kUsageText, stdout);
        std::_Exit(std::fflush(stdout) == 0 ? 0 : 1);
    }
    std::fprintf(stderr, "ordavel: %s\n%s", qPrintable(message), ordavel::kNoDisplayText);
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    // Asked for its version or its usage, the designer answers on stdout
    // without a window, so this works without a display too. With a display,
    // -h and /h show the help in a message box and the designer goes on.
    const bool display = ordavel::displayNamed(std::getenv);
    if (const auto status = ordavel::answerWithoutWindow(argc, argv, display))
        return *status;
    if (!display) {
        std::fputs(ordavel::kNoDisplayText, stderr);
        return 1;
    }
    helpAsked = argc == 2 && ordavel::isHelpSwitch(argv[1]);
    previousHandler = qInstallMessageHandler(noDisplayHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(previousHandler);
    ordavel::setUpApplication(app);
    return ordavel::runDesigner(ordavel::argumentsFromArgv(argc, argv));
}
