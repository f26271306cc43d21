#include "designer/control_toolbar.h"

#include "designer/toolbar_icons.h"

#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionToolButton>
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
        connect(action, &QAction::triggered, this, [this, action] {
            if (const auto command = commandCaptioned(action->text()))
                emit commandTriggered(*command);
            else
                emit boxTypeChosen(action->text());
        });
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
    add("条码框", "条码、二维码");
    QAction* table = add("数据表", "数据表");
    table->setVisible(false);
    addSeparator();
    QAction* alignLeft = add("左对齐", "设置选择的多个控件左对齐");

    // The arrow opens no menu of its own (the empty one only draws the arrow):
    // a press on it is reported, and the owner pops up the multi-selection menu
    // when at least two boxes are selected.
    if (auto* button = qobject_cast<QToolButton*>(widgetForAction(alignLeft))) {
        button->setMenu(new QMenu(button));
        button->setPopupMode(QToolButton::MenuButtonPopup);
        button->installEventFilter(this);
        m_alignButton = button;
    }
}

bool ControlToolBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_alignButton && event->type() == QEvent::MouseButtonPress) {
        QStyleOptionToolButton option;
        option.initFrom(m_alignButton);
        option.features = QStyleOptionToolButton::MenuButtonPopup;
        option.subControls = QStyle::SC_ToolButton | QStyle::SC_ToolButtonMenu;
        const QRect arrow = m_alignButton->style()->subControlRect(QStyle::CC_ToolButton, &option,
                                                                   QStyle::SC_ToolButtonMenu, m_alignButton);
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (arrow.contains(at)) {
            emit alignMenuRequested(m_alignButton->mapToGlobal(QPoint(arrow.left(), m_alignButton->height())));
            return true;
        }
    }
    return QToolBar::eventFilter(watched, event);
}

QAction* ControlToolBar::entry(int index) const
{
    const QList<QAction*> all = actions();
    return index >= 0 && index < all.size() ? all[index] : nullptr;
}

} // namespace ordavel
