#include "designer/recent_menu.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

namespace ordavel {

namespace {

QAction* addFile(QMenu& menu, const QString& caption, const std::string& file,
                 const std::function<void(const std::string&)>& open)
{
    QAction* action = menu.addAction(caption);
    action->setToolTip(QString::fromStdString(file));
    action->setStatusTip(QString::fromStdString(file));
    QObject::connect(action, &QAction::triggered, &menu, [open, file] { open(file); });
    return action;
}

QString fileNameOf(const std::string& file)
{
    // A '&' in a name would underline the next letter instead of showing.
    return QFileInfo(QString::fromStdString(file)).fileName().replace(QStringLiteral("&"), QStringLiteral("&&"));
}

} // namespace

void fillOpenMenu(QMenu& menu, const std::vector<std::string>& recent, const std::vector<std::string>& samples,
                  const std::function<void(const std::string&)>& open)
{
    menu.clear();
    menu.setToolTipsVisible(true);
    menu.addSection(QStringLiteral("最近打开"));
    int number = 0;
    for (const std::string& file : recent) {
        ++number;
        const QString key = number < 10 ? QStringLiteral("&%1 ").arg(number) : QStringLiteral("1&0 ");
        addFile(menu, key + fileNameOf(file), file, open);
    }
    if (recent.empty())
        menu.addAction(QStringLiteral("（没有最近打开的文件）"))->setEnabled(false);
    menu.addSeparator();
    QMenu* sampleMenu = menu.addMenu(QStringLiteral("示例模板"));
    sampleMenu->setObjectName(QStringLiteral("示例模板菜单"));
    sampleMenu->setToolTipsVisible(true);
    for (const std::string& file : samples)
        addFile(*sampleMenu, fileNameOf(file), file, open);
    sampleMenu->setEnabled(!samples.empty());
}

} // namespace ordavel
