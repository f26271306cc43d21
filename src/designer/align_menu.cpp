#include "designer/align_menu.h"

#include "designer/workbench.h"
#include "model/alignment.h"
#include "model/document.h"
#include "platform/prompter.h"

#include <vector>

namespace ordavel {

namespace {

struct AlignEntry {
    const char* caption;
    AlignCommand command;
};

constexpr AlignEntry kEdgeEntries[] = {
    {"左对齐(&L)", AlignCommand::Left},
    {"右对齐(&R)", AlignCommand::Right},
    {"上对齐(&T)", AlignCommand::Top},
    {"下对齐(&B)", AlignCommand::Bottom},
};
constexpr AlignEntry kSizeEntries[] = {
    {"置等宽(&W)", AlignCommand::SameWidth},
    {"置等高(&H)", AlignCommand::SameHeight},
    {"等宽高(&O)", AlignCommand::SameSize},
};
constexpr const char* kCentreH = "横向居中(&H)";
constexpr const char* kCentreV = "纵向居中(&V)";
constexpr const char* kDelete = "删除(&D)";

} // namespace

AlignMenu::AlignMenu(Document& document, Prompter& prompter, Workbench& workbench, QWidget* parent)
    : QMenu(parent), m_document(document), m_prompter(prompter), m_workbench(workbench)
{
    setObjectName(QStringLiteral("多选控件"));
    auto add = [this](const char* caption) {
        QAction* action = addAction(QString::fromUtf8(caption));
        connect(action, &QAction::triggered, this, [this, action] { run(action->text()); });
    };
    add(kCentreH);
    add(kCentreV);
    addSeparator();
    for (const AlignEntry& entry : kEdgeEntries)
        add(entry.caption);
    addSeparator();
    for (const AlignEntry& entry : kSizeEntries)
        add(entry.caption);
    addSeparator();
    add(kDelete);
}

bool AlignMenu::run(const QString& caption)
{
    if (caption == QString::fromUtf8(kCentreH)) {
        centreSelectionHorizontally(m_document, m_workbench.width());
        return true;
    }
    if (caption == QString::fromUtf8(kCentreV)) {
        centreSelectionVertically(m_document, m_workbench.height());
        return true;
    }
    for (const AlignEntry& entry : kEdgeEntries)
        if (caption == QString::fromUtf8(entry.caption)) {
            alignSelection(m_document, entry.command);
            return true;
        }
    for (const AlignEntry& entry : kSizeEntries)
        if (caption == QString::fromUtf8(entry.caption)) {
            alignSelection(m_document, entry.command);
            return true;
        }
    if (caption == QString::fromUtf8(kDelete)) {
        deleteSelected();
        return true;
    }
    return false;
}

void AlignMenu::deleteSelected()
{
    const std::vector<int> selected = m_document.selection();
    if (selected.size() > 1) {
        const Message ask{"确定要删除所选择的控件吗?", "全部清除", MessageIcon::Question, MessageButtons::YesNo};
        if (m_prompter.show(ask) != MessageAnswer::Yes)
            return;
    }
    for (int index : selected) {
        if (m_document.box(index).inUse)
            m_document.deleteBox(index);
        m_document.yieldNow();
    }
}

} // namespace ordavel
