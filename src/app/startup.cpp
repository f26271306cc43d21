#include "app/startup.h"

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/resume_offer.h"
#include "app/splash_window.h"
#include "platform/qt_prompter.h"
#include "platform/screen_factors.h"

#include <QApplication>

namespace ordavel {

Startup startDesigner(Prompter& prompter, const std::vector<std::string>& args,
                      const std::function<void(QWidget*)>& windowMade)
{
    auto* splash = new SplashWindow(false);
    splash->show();
    splash->setStatus(QStringLiteral("启动 Ordavel..."));
    splash->setStatus(QStringLiteral("检查运行环境..."));
    splash->setStatus(QStringLiteral("检查完成,加载主窗口..."));

    Startup started;
    started.window = std::make_unique<MainWindow>(prompter, screenFactors());
    MainWindow& window = *started.window;
    if (windowMade)
        windowMade(&window);
    window.placeOnScreen();
    window.show();
    window.placeOnScreen(); // the frame is known once the window is shown
    splash->close();

    started.exitStatus = runCommandLine(window, args);
    if (started.exitStatus) {
        // The program ends without the window's close, which would delete it.
        window.removeBackgroundTempFile();
    } else {
        // A batch the designer left unfinished (killed, switched off) is offered again.
        offerResume(prompter, &window, window.journalSession());
    }
    return started;
}

int runDesigner(const std::vector<std::string>& args)
{
    QtPrompter prompter;
    const Startup started = startDesigner(prompter, args, [&](QWidget* window) { prompter.setParent(window); });
    if (started.exitStatus)
        return *started.exitStatus;
    return QApplication::exec();
}

} // namespace ordavel
