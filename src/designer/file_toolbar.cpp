#include "designer/file_toolbar.h"

#include "designer/library_menu.h"
#include "designer/recent_menu.h"
#include "designer/toolbar_icons.h"
#include "platform/file_history.h"

#include <QActionGroup>
#include <QMenu>
#include <QMouseEvent>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>
#include <QWidgetAction>

#include <utility>

namespace ordavel {

namespace {

// A tool button whose drop-down arrow stays usable while its command is
// disabled: the command part then looks and acts disabled, the arrow still
// opens the menu. It follows the command's caption, icon, tooltip and state.
class SplitButton : public QToolButton {
public:
    SplitButton(QAction* command, QMenu* menu, QToolBar* bar) : QToolButton(bar), m_command(command)
    {
        setAutoRaise(true);
        setFocusPolicy(Qt::NoFocus);
        setMenu(menu);
        setPopupMode(QToolButton::MenuButtonPopup);
        setIconSize(bar->iconSize());
        setToolButtonStyle(bar->toolButtonStyle());
        connect(bar, &QToolBar::iconSizeChanged, this, &QToolButton::setIconSize);
        connect(bar, &QToolBar::toolButtonStyleChanged, this, &QToolButton::setToolButtonStyle);
        // A disabled action ignores trigger(), so a click on the command part does nothing then.
        connect(this, &QToolButton::clicked, command, &QAction::trigger);
        connect(command, &QAction::changed, this, &SplitButton::follow);
        follow();
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (!m_command->isEnabled() && !arrowRect().contains(event->position().toPoint())) {
            event->ignore();
            return;
        }
        QToolButton::mousePressEvent(event);
    }

    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        if (m_command->isEnabled()) {
            painter.drawComplexControl(QStyle::CC_ToolButton, option);
            return;
        }
        // The command part drawn as a disabled button, the arrow as it is.
        const QRect arrow = arrowRect();
        QStyleOptionToolButton off = option;
        off.state &= ~(QStyle::State_Enabled | QStyle::State_MouseOver | QStyle::State_Sunken |
                       QStyle::State_On | QStyle::State_Raised);
        off.activeSubControls = QStyle::SC_None;
        off.palette.setCurrentColorGroup(QPalette::Disabled);
        painter.save();
        painter.setClipRegion(QRegion(rect()).subtracted(arrow));
        painter.drawComplexControl(QStyle::CC_ToolButton, off);
        painter.restore();
        painter.setClipRect(arrow);
        painter.drawComplexControl(QStyle::CC_ToolButton, option);
    }

private:
    void follow()
    {
        setText(m_command->iconText());
        setIcon(m_command->icon());
        setToolTip(m_command->toolTip());
        update();
    }

    QRect arrowRect() const
    {
        QStyleOptionToolButton option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButtonMenu, this);
    }

    QAction* m_command;
};

// A toolbar command shown as a SplitButton with `menu` under its arrow.
class SplitCommand : public QWidgetAction {
public:
    SplitCommand(const QIcon& icon, const QString& caption, QMenu* menu, QToolBar* bar)
        : QWidgetAction(bar), m_menu(menu)
    {
        setIcon(icon);
        setText(caption);
    }

protected:
    QWidget* createWidget(QWidget* parent) override
    {
        auto* bar = qobject_cast<QToolBar*>(parent);
        return bar ? new SplitButton(this, m_menu, bar) : nullptr;
    }

    bool event(QEvent* event) override
    {
        // QWidgetAction would disable its button with it; the button keeps its
        // arrow live and shows the command's state itself.
        if (event->type() == QEvent::ActionChanged)
            return QAction::event(event);
        return QWidgetAction::event(event);
    }

private:
    QMenu* m_menu;
};

} // namespace

FileToolBar::FileToolBar(QWidget* parent) : QToolBar(parent)
{
    setObjectName(QStringLiteral("工具条_文件操作"));
    setWindowTitle(QStringLiteral("文件操作"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(24, 24));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toggleViewAction()->setVisible(false);

    m_saveMenu = new QMenu(this);
    m_saveMenu->setObjectName(QStringLiteral("保存菜单"));
    m_helpMenu = new QMenu(this);
    m_helpMenu->setObjectName(QStringLiteral("帮助菜单"));
    m_printMenu = new QMenu(this);
    m_printMenu->setObjectName(QStringLiteral("打印菜单"));
    m_modeGroup = new QActionGroup(this);
    m_modeGroup->setExclusive(true);

    addSeparator();
    m_newMenu = new QMenu(this);
    m_newMenu->setObjectName(QStringLiteral("新建菜单"));
#if ORDAVEL_WITH_SCAN
    auto* create = new SplitCommand(toolbarIcon(QStringLiteral("新建")), QStringLiteral("新建"), m_newMenu, this);
    create->setToolTip(QStringLiteral("新建报表"));
    connect(create, &QAction::triggered, this, [this] { emit commandTriggered(DesignerCommand::New); });
    addAction(create);
#else
    // Built without the scan analysis, New has nothing under an arrow.
    addCommand("新建", "新建报表");
#endif
    addOpenCommand();
    // Save keeps its arrow, and with it Save As, usable while Save is disabled.
    auto* save = new SplitCommand(toolbarIcon(QStringLiteral("保存")), QStringLiteral("保存"), m_saveMenu, this);
    save->setToolTip(QStringLiteral("保存到文件"));
    connect(save, &QAction::triggered, this, [this] { emit commandTriggered(DesignerCommand::Save); });
    addAction(save);
    addSeparator();
    addCommand("页面设置", "页面设置");
    addSeparator();
    for (auto [caption, tooltip] : {std::pair{"设计", "页面设计模式"}, std::pair{"编辑", "页面编辑模式"},
                                    std::pair{"预览", "页面预览模式"}}) {
        QAction* mode = addCommand(caption, tooltip);
        mode->setCheckable(true);
        m_modeGroup->addAction(mode);
    }
    addSeparator();
    QAction* print = addCommand("打印", "打印页面");
    addSeparator();
    QAction* help = addCommand("帮助", "查看软件使用教程");
    addCommand("退出", "退出程序");

    auto addMenuCommand = [this](QMenu* menu, const QString& caption) {
        QAction* action = menu->addAction(caption);
        connect(action, &QAction::triggered, this, [this, caption] {
            if (const auto command = commandCaptioned(caption))
                emit commandTriggered(*command);
        });
    };
    addMenuCommand(m_saveMenu, QStringLiteral("另存为(&A)..."));
    addMenuCommand(m_helpMenu, QStringLiteral("作者主页(&W)"));
    addMenuCommand(m_helpMenu, QStringLiteral("QQ联系(&Q)"));
    addMenuCommand(m_helpMenu, QStringLiteral("检查更新(&F)..."));
    m_helpMenu->addSeparator();
    addMenuCommand(m_helpMenu, QStringLiteral("关于本软件(&A)..."));
    addMenuCommand(m_printMenu, QStringLiteral("打印机校准..."));
#if ORDAVEL_WITH_SCAN
    addMenuCommand(m_newMenu, QStringLiteral("扫描生成..."));
#endif
    addMenuCommand(m_printMenu, QStringLiteral("打印记录"));

    // Button with a drop-down arrow: the button part runs the command, the arrow opens the menu.
    for (auto [action, menu] : {std::pair{print, m_printMenu}, std::pair{help, m_helpMenu}}) {
        if (auto* button = qobject_cast<QToolButton*>(widgetForAction(action))) {
            button->setMenu(menu);
            button->setPopupMode(QToolButton::MenuButtonPopup);
        }
    }
    // Keyboard shortcuts of the usual kind; the tooltips stay the program's own texts.
    entry(New)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    entry(Open)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    entry(Save)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    entry(Print)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    entry(Help)->setShortcut(QKeySequence(Qt::Key_F1));
    // Works once the window holds the action too (a hidden menu's shortcuts do not).
    m_saveMenu->actions().constFirst()->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    showMode(AppMode::DesignMode);
}

void FileToolBar::addOpenCommand()
{
    m_openMenu = new QMenu(this);
    m_openMenu->setObjectName(QStringLiteral("打开菜单"));
    auto* open = new SplitCommand(toolbarIcon(QStringLiteral("打开")), QStringLiteral("打开"), m_openMenu, this);
    open->setToolTip(QStringLiteral("打开报表"));
    connect(open, &QAction::triggered, this, [this] { emit commandTriggered(DesignerCommand::Open); });
    addAction(open);
    // Read when it opens, so that it shows what other windows and runs added.
    connect(m_openMenu, &QMenu::aboutToShow, this, [this] { fillOpenMenuNow(); });
    fillOpenMenuNow();
}

void FileToolBar::fillOpenMenuNow()
{
    fillOpenMenu(*m_openMenu, FileHistory().recentTemplates(), sampleTemplates(),
                 [this](const std::string& file) { emit templateChosen(QString::fromStdString(file)); });
    // The menu's clearing leaves the submenus themselves behind.
    for (QMenu* old : m_openMenu->findChildren<QMenu*>(QStringLiteral("模板库菜单"), Qt::FindDirectChildrenOnly))
        delete old;
    if (!m_library.inShop || !m_library.list || !m_library.inShop())
        return;
    // The library is read only when its submenu opens: the shop is not
    // asked each time the Open menu shows.
    QMenu* library = m_openMenu->addMenu(QStringLiteral("模板库"));
    library->setObjectName(QStringLiteral("模板库菜单"));
    connect(library, &QMenu::aboutToShow, this, [this, library] {
        fillLibraryMenu(*library, m_library.list(), [this](const std::string& name, int revision) {
            emit libraryTemplateChosen(QString::fromStdString(name), revision);
        });
    });
}

void FileToolBar::setLibrary(LibrarySource source)
{
    m_library = std::move(source);
    fillOpenMenuNow();
}

QAction* FileToolBar::addCommand(const char* caption, const char* tooltip)
{
    const QString text = QString::fromUtf8(caption);
    QAction* action = addAction(toolbarIcon(text), text);
    action->setToolTip(QString::fromUtf8(tooltip));
    connect(action, &QAction::triggered, this, [this, command = commandCaptioned(text)] {
        if (command)
            emit commandTriggered(*command);
    });
    return action;
}

QAction* FileToolBar::entry(int index) const
{
    const QList<QAction*> all = actions();
    return index >= 0 && index < all.size() ? all[index] : nullptr;
}

void FileToolBar::showMode(AppMode mode)
{
    entry(PageSetup)->setEnabled(mode == AppMode::DesignMode);
    entry(Print)->setEnabled(mode != AppMode::DesignMode);
    const int checked = mode == AppMode::DesignMode ? Design : mode == AppMode::EditMode ? Edit : Preview;
    entry(checked)->setChecked(true);
}

} // namespace ordavel
