#pragma once
// The file toolbar `工具条_文件操作`: 15 entries (separators included) in a
// fixed order, the drop-down menus of "保存" (`保存菜单`), "打印" (`打印菜单`) and
// "帮助" (`帮助菜单`) and "新建" (`新建菜单`).
// Every click, of a button or of a menu entry, is reported by its caption.
// The arrow of "保存" stays usable while Save itself is disabled, so Save As
// is always within reach.

#include "designer/designer_command.h"
#include "journal/journal.h"
#include "model/document_observer.h"

#include <QToolBar>

#include <functional>
#include <string>
#include <vector>

class QActionGroup;
class QMenu;

namespace ordavel {

class FileToolBar : public QToolBar {
    Q_OBJECT
public:
    enum Index : int {
        New = 1, Open = 2, Save = 3, PageSetup = 5, Design = 7, Edit = 8, Preview = 9,
        Print = 11, Help = 13, Exit = 14, Count = 15,
    };

    explicit FileToolBar(QWidget* parent = nullptr);

    // The entry at `index` (0-based, separators included).
    QAction* entry(int index) const;
    QMenu* saveMenu() const { return m_saveMenu; }
    QMenu* helpMenu() const { return m_helpMenu; }
    QMenu* printMenu() const { return m_printMenu; }
    // The Open button's arrow: recent and sample templates (recent_menu.h),
    // filled anew each time it opens (or by fillOpenMenuNow).
    QMenu* openMenu() const { return m_openMenu; }
    // The New button's arrow: "扫描生成...".
    QMenu* newMenu() const { return m_newMenu; }
    void fillOpenMenuNow();

    // The shop's template library under the Open button's arrow ("模板库",
    // `模板库菜单`): shown while `inShop` says this station is in a shop, its
    // templates read from `list` when the submenu opens.
    struct LibrarySource {
        std::function<bool()> inShop;
        std::function<JournalResult<std::vector<LibraryRevision>>()> list;
    };
    void setLibrary(LibrarySource source);

    // Enabled and checked states of a mode: page setup only in design, print
    // never in design, the mode's own button checked.
    void showMode(AppMode mode);

signals:
    void commandTriggered(ordavel::DesignerCommand command);
    // A template of the Open button's menu was chosen (full path).
    void templateChosen(const QString& fileName);
    // A template of the library was chosen: its name and revision.
    void libraryTemplateChosen(const QString& name, int revision);

private:
    QAction* addCommand(const char* caption, const char* tooltip);
    void addOpenCommand();

    QMenu* m_saveMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QMenu* m_printMenu = nullptr;
    QMenu* m_openMenu = nullptr;
    QMenu* m_newMenu = nullptr;
    QActionGroup* m_modeGroup = nullptr;
    LibrarySource m_library;
};

} // namespace ordavel
