#pragma once
// The multi-selection menu `多选控件`: centring of the group, the four edge
// alignments, the three same-size commands and "删除(&D)" (delete the
// selected boxes, asking first when there are several).

#include <QMenu>

namespace ordavel {

class Document;
class Prompter;
class Workbench;

class AlignMenu : public QMenu {
    Q_OBJECT
public:
    // `document`, `prompter` and `workbench` (whose client size centring
    // uses) are not owned and must outlive the menu.
    AlignMenu(Document& document, Prompter& prompter, Workbench& workbench, QWidget* parent = nullptr);

    // Runs the command of an entry by its caption; false for an unknown caption.
    bool run(const QString& caption);

private:
    void deleteSelected();

    Document& m_document;
    Prompter& m_prompter;
    Workbench& m_workbench;
};

} // namespace ordavel
