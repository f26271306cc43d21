#include "app/startup.h"

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/splash_window.h"
#include "platform/qt_prompter.h"
#include "platform/screen_factors.h"

#include <QApplication>

namespace ordavel {

int runDesigner(const std::vector<std::string>& args)
{
    auto* splash = new SplashWindow(false);
    splash->show();
    splash->setStatus(QStringLiteral("启动 Ordavel..."));
    splash->setStatus(QStringLiteral("检查运行环境..."));
    splash->setStatus(QStringLiteral("检查完成,加载主窗口..."));

    QtPrompter prompter;
    MainWindow window(prompter, screenFactors());
    prompter.setParent(&window);
    window.placeOnScreen();
    window.show();
    window.placeOnScreen(); // the frame is known once the window is shown
    splash->close();

    (void)args; // HOLD
    return QApplication::exec();
}

} // namespace ordavel
