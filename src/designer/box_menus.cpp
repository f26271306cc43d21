#include "designer/box_menus.h"

#include "designer/box_view.h"
#include "designer/mouse_controller.h"
#include "designer/work_area.h"
#include "model/document.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>

namespace ordavel {

namespace {

struct AddEntry {
    const char* caption;
    BoxType type;
};

// The page menu's "添加控件(&A)" entries, in menu order.
constexpr AddEntry kAddEntries[] = {
    {"编辑框(&E)", BoxType::EditBox},    {"标签(&L)", BoxType::Label},
    {"图片框(&P)", BoxType::PicBox},     {"外形框(&R)", BoxType::ShapeBox},
    {"组合框(&C)", BoxType::ComboBox},   {"日期框(&D)", BoxType::DatePicker},
    {"颜色选择器(&Y)", BoxType::ColorPicker}, {"条码框(&M)", BoxType::BarcodeBox},
};

QMenu* makeMenu(const char* name, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QString::fromUtf8(name));
    menu->setTitle(QString::fromUtf8(name));
    return menu;
}

} // namespace

BoxMenus::BoxMenus(Document& doc, Prompter& prompter, WorkArea& area, MouseController& mouse,
                   QWidget* parent)
    : QObject(parent), m_doc(doc), m_area(area), m_mouse(mouse), m_commands(doc, prompter, area)
{
    m_root = makeMenu("快捷菜单", parent);
    buildBoxMenu();
    buildMultiMenu();
    buildPageMenu();
    buildPictureMenu();

    connect(&mouse, &MouseController::pageMenuRequested, this, &BoxMenus::openPageMenu);
    connect(&area, &WorkArea::boxViewCreated, this, &BoxMenus::watchView);
    for (int index = 1; index <= doc.slotCount(); ++index)
        if (BoxView* view = area.boxView(index))
            watchView(view);
}

BoxMenus::~BoxMenus() = default;

QAction* BoxMenus::addEntry(QMenu* menu, const char* caption, std::function<void()> run)
{
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    return action;
}

void BoxMenus::buildBoxMenu()
{
    m_boxMenu = makeMenu("控件菜单", m_root);
    m_root->addMenu(m_boxMenu);
    const auto centre = [this](bool horizontal) {
        if (centreBox && m_doc.currentBoxIndex() >= 1)
            centreBox(m_doc.currentBoxIndex(), horizontal);
    };
    addEntry(m_boxMenu, "横向居中(&H)", [centre] { centre(true); });
    addEntry(m_boxMenu, "纵向居中(&V)", [centre] { centre(false); });
    m_boxMenu->addSeparator();
    m_setPicture = addEntry(m_boxMenu, "设置图片(&A)", [this] { m_commands.setPicture(); });
    m_clearPicture = addEntry(m_boxMenu, "清除图片(&U)", [this] { m_commands.clearPicture(); });
    m_pictureSeparator = m_boxMenu->addSeparator();
    addEntry(m_boxMenu, "复制(&C)", [this] { m_commands.duplicate(); });
    addEntry(m_boxMenu, "删除(&D)", [this] { m_commands.deleteSelected(); });
    m_boxMenu->addSeparator();
    addEntry(m_boxMenu, "移动底层(&B)", [this] { m_commands.sendToBack(); });
    m_boxMenu->addSeparator();
    addEntry(m_boxMenu, "属性(&P)...", [this] {
        const int current = m_doc.currentBoxIndex();
        if (propertyDialog && current >= 1 && current <= m_doc.slotCount() && m_doc.box(current).inUse)
            propertyDialog(current);
    });
}

void BoxMenus::runGroup(GroupCommand command)
{
    if (groupCommand && m_doc.selection().size() >= 2)
        groupCommand(command);
}

void BoxMenus::buildMultiMenu()
{
    m_multiMenu = makeMenu("多选控件", m_root);
    m_root->addMenu(m_multiMenu);
    const auto group = [this](QMenu* menu, const char* caption, GroupCommand command) {
        addEntry(menu, caption, [this, command] { runGroup(command); });
    };
    group(m_multiMenu, "横向居中(&H)", GroupCommand::CentreHorizontally);
    group(m_multiMenu, "纵向居中(&V)", GroupCommand::CentreVertically);
    m_multiMenu->addSeparator();
    group(m_multiMenu, "左对齐(&L)", GroupCommand::AlignLeft);
    group(m_multiMenu, "右对齐(&R)", GroupCommand::AlignRight);
    group(m_multiMenu, "上对齐(&T)", GroupCommand::AlignTop);
    group(m_multiMenu, "下对齐(&B)", GroupCommand::AlignBottom);
    m_multiMenu->addSeparator();
    group(m_multiMenu, "置等宽(&W)", GroupCommand::SameWidth);
    group(m_multiMenu, "置等高(&H)", GroupCommand::SameHeight);
    group(m_multiMenu, "等宽高(&O)", GroupCommand::SameSize);
    m_multiMenu->addSeparator();
    addEntry(m_multiMenu, "删除(&D)", [this] { m_commands.deleteSelected(); });
}

void BoxMenus::buildPageMenu()
{
    m_pageMenu = makeMenu("页面菜单", m_root);
    m_root->addMenu(m_pageMenu);
    QMenu* add = m_pageMenu->addMenu(QString::fromUtf8("添加控件(&A)"));
    add->setObjectName(QStringLiteral("添加控件"));
    for (const AddEntry& entry : kAddEntries) {
        const BoxType type = entry.type;
        addEntry(add, entry.caption,
                 [this, type] { m_commands.addBox(type, m_menuPoint.x(), m_menuPoint.y()); });
    }
    addEntry(m_pageMenu, "删除所有控件(&C)", [this] { m_commands.deleteAll(); });
    addEntry(m_pageMenu, "清除底图(&L)", [this] { m_commands.clearBackground(); });
    m_pageMenu->addSeparator();
    addEntry(m_pageMenu, "页面设置(&S)...", [this] {
        if (pageSetup)
            pageSetup();
    });
}

void BoxMenus::buildPictureMenu()
{
    m_editMenu = makeMenu("编辑时菜单", m_root);
    m_root->addMenu(m_editMenu);
    m_pictureMenu = makeMenu("图片框", m_editMenu);
    m_editMenu->addMenu(m_pictureMenu);
    addEntry(m_pictureMenu, "设置图片(&A)", [this] { m_commands.setPicture(); });
    addEntry(m_pictureMenu, "清除图片(&U)", [this] { m_commands.clearPicture(); });
    m_pictureMenu->addSeparator();
    m_savePictureAs = addEntry(m_pictureMenu, "图片另存为(&S)", [this] { m_commands.savePictureAs(); });
}

void BoxMenus::watchView(BoxView* view)
{
    connect(view, &BoxView::controlMouse, this, &BoxMenus::controlMouse);
}

void BoxMenus::show(QMenu* menu, std::optional<QPoint> at)
{
    if (popup)
        popup(*menu);
    else
        menu->exec(at.value_or(QCursor::pos()));
}

void BoxMenus::controlMouse(int index, QMouseEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && event->button() == Qt::RightButton) {
        boxRightPressed(index);
        return;
    }
    // A double click on a picture box during data entry chooses its picture.
    if (event->type() == QEvent::MouseButtonDblClick && event->button() == Qt::LeftButton
        && m_doc.appMode() == AppMode::EditMode && m_doc.box(index).inUse
        && m_doc.box(index).type == BoxType::PicBox) {
        m_doc.setCurrentBoxIndex(index);
        m_commands.setPicture();
    }
}

void BoxMenus::boxRightPressed(int index)
{
    if (index < 1 || index > m_doc.slotCount() || m_mouse.draggedBox() != 0)
        return;
    const Box& box = m_doc.box(index);
    if (!box.inUse)
        return;
    switch (m_doc.appMode()) {
    case AppMode::DesignMode: {
        if (m_doc.selection().size() > 1 && box.handlesVisible) {
            show(m_multiMenu);
            return;
        }
        if (!box.handlesVisible)
            m_doc.clearSelection();
        m_doc.setCurrentBoxIndex(index);
        m_doc.select(index);
        const bool picture = box.type == BoxType::PicBox;
        m_setPicture->setVisible(picture);
        m_clearPicture->setVisible(picture);
        m_pictureSeparator->setVisible(picture);
        show(m_boxMenu);
        return;
    }
    case AppMode::EditMode:
        if (box.type != BoxType::PicBox)
            return;
        m_doc.setCurrentBoxIndex(index);
        m_savePictureAs->setEnabled(!box.attributes.picture.empty());
        show(m_pictureMenu);
        return;
    case AppMode::PreviewMode: return;
    }
}

void BoxMenus::openPageMenu(const QPoint& at)
{
    m_menuPoint = at;
    show(m_pageMenu);
}

void BoxMenus::openMultiSelectionMenu(const QPoint& at)
{
    if (m_doc.selection().size() >= 2)
        show(m_multiMenu, at);
}

} // namespace ordavel
