#pragma once
// The designer's pop-up menus, all under the hidden menu `快捷菜单`: the box
// menu `控件菜单` and the multi-selection menu `多选控件` (right press on a box in
// DesignMode), the page menu `页面菜单` (right press on the empty workbench) and
// the picture menu `编辑时菜单` / `图片框` (right press on a picture box in
// EditMode). It decides which menu opens, prepares its entries, and runs the
// entries through BoxCommands. Centring, alignment, page setup and the property
// dialog belong to other parts of the designer and are reached through hooks.

#include "designer/box_commands.h"

#include <QObject>
#include <QPoint>

#include <functional>
#include <optional>

class QAction;
class QMenu;
class QMouseEvent;

namespace ordavel {

class BoxView;
class Document;
class MouseController;
class Prompter;
class WorkArea;

// The multi-box commands of the multi-selection menu, in menu order.
enum class GroupCommand {
    CentreHorizontally,
    CentreVertically,
    AlignLeft,
    AlignRight,
    AlignTop,
    AlignBottom,
    SameWidth,
    SameHeight,
    SameSize,
};

class BoxMenus : public QObject {
    Q_OBJECT
public:
    // Listens to the mouse controller's page-menu request and to the mouse of
    // every box view of `area`. None of the arguments is owned; the menus are
    // children of `parent`.
    BoxMenus(Document& doc, Prompter& prompter, WorkArea& area, MouseController& mouse, QWidget* parent);
    ~BoxMenus() override;

    // Hooks to the commands of other parts; an unset hook leaves its entry without effect.
    // Centre the box `index` on the board (horizontal when true).
    std::function<void(int index, bool horizontal)> centreBox;
    // A multi-box command on the Selection.
    std::function<void(GroupCommand command)> groupCommand;
    // The page-setup dialog, modal.
    std::function<void()> pageSetup;
    // The property dialog of box `index`, modal; true when confirmed.
    std::function<bool(int index)> propertyDialog;
    // Shows a prepared menu. Unset: the menu runs modally at the mouse cursor
    // (at the toolbar arrow for the multi-selection menu opened there).
    std::function<void(QMenu& menu)> popup;

    QMenu* shortcutMenu() const { return m_root; }
    QMenu* boxMenu() const { return m_boxMenu; }
    QMenu* multiSelectionMenu() const { return m_multiMenu; }
    QMenu* pageMenu() const { return m_pageMenu; }
    QMenu* pictureMenu() const { return m_pictureMenu; }
    BoxCommands& commands() { return m_commands; }

    // Right press on box `index`: the menu of the mode, as a right press would.
    void boxRightPressed(int index);
    // Right press on the empty workbench at `at` (workbench px): the page menu.
    void openPageMenu(const QPoint& at);
    // The multi-selection menu at `at` (global px) when two or more boxes are
    // selected (the arrow of the toolbar button "左对齐").
    void openMultiSelectionMenu(const QPoint& at);

private:
    void buildBoxMenu();
    void buildMultiMenu();
    void buildPageMenu();
    void buildPictureMenu();
    QAction* addEntry(QMenu* menu, const char* caption, std::function<void()> run);
    void watchView(BoxView* view);
    void controlMouse(int index, QMouseEvent* event);
    // At the mouse cursor unless `at` (global px) is given.
    void show(QMenu* menu, std::optional<QPoint> at = std::nullopt);
    void runGroup(GroupCommand command);

    Document& m_doc;
    WorkArea& m_area;
    MouseController& m_mouse;
    BoxCommands m_commands;
    QPoint m_menuPoint;
    QMenu* m_root = nullptr;
    QMenu* m_boxMenu = nullptr;
    QMenu* m_multiMenu = nullptr;
    QMenu* m_pageMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_pictureMenu = nullptr;
    // The box menu's picture entries: two items and the separator after them.
    QAction* m_setPicture = nullptr;
    QAction* m_clearPicture = nullptr;
    QAction* m_pictureSeparator = nullptr;
    QAction* m_savePictureAs = nullptr;
};

} // namespace ordavel
