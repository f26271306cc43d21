#include "designer/control_toolbar.h"

#include "designer/toolbar_icons.h"

#include <QMenu>
#include <QToolButton>

namespace ordavel {

ControlToolBar::ControlToolBar(QWidget* parent) : QToolBar(parent)
{
    setObjectName(QStringLiteral("工具条_控件操作"));
    setWindowTitle(QStringLiteral("控件操作"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(20, 20));
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toggleViewAction()->setVisible(false);

    auto add = [this](const char* caption, const char* tooltip) {
        const QString text = QString::fromUtf8(caption);
        QAction* action = addAction(toolbarIcon(text), text);
        action->setToolTip(QString::fromUtf8(tooltip));
        connect(action, &QAction::triggered, this, [this, action] { emit commandTriggered(action->text()); });
        return action;
    };
    addSeparator();
    QAction* drawCaption = add("画控件:", "选择控件及操作");
    drawCaption->setEnabled(false);
    add("编辑框", "编辑框");
    add("标签", "标签");
    add("图片框", "图片框");
    add("外形框", "外形框");
    add("组合框", "组合框");
    add("日期框", "日期框");
    add("颜色框", "颜色选择器");
    QAction* table = add("数据表", "数据表");
    table->setVisible(false);
    addSeparator();
    QAction* alignLeft = add("左对齐", "设置选择的多个控件左对齐");

    // The arrow opens no menu of its own: the owner pops up the multi-selection
    // menu when at least two boxes are selected.
    if (auto* button = qobject_cast<QToolButton*>(widgetForAction(alignLeft))) {
        auto* arrowMenu = new QMenu(button);
        button->setMenu(arrowMenu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
        connect(arrowMenu, &QMenu::aboutToShow, this, [this, button, arrowMenu] {
            arrowMenu->close();
            emit alignMenuRequested(button->mapToGlobal(QPoint(0, button->height())));
        });
    }
}

QAction* ControlToolBar::entry(int index) const
{
    const QList<QAction*> all = actions();
    return index >= 0 && index < all.size() ? all[index] : nullptr;
}

} // namespace ordavel
