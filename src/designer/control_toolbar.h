#pragma once
// The control toolbar `工具条_控件操作`: 13 entries; the eight box-type buttons
// and "左对齐" with its drop-down arrow. Clicks are reported by caption; the
// arrow of "左对齐" asks for the multi-selection menu at the arrow.

#include "designer/designer_command.h"
#include <QToolBar>

class QToolButton;

namespace ordavel {

class ControlToolBar : public QToolBar {
    Q_OBJECT
public:
    enum Index : int { DrawCaption = 1, FirstType = 2, LastType = 9, Table = 10, AlignLeft = 12, Count = 13 };

    explicit ControlToolBar(QWidget* parent = nullptr);
    QAction* entry(int index) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // A box type's button (its caption), to draw such boxes.
    void boxTypeChosen(const QString& caption);
    void commandTriggered(ordavel::DesignerCommand command);
    // The arrow of "左对齐" was pressed; `at` is the arrow's bottom-left in global coordinates.
    void alignMenuRequested(const QPoint& at);

private:
    QToolButton* m_alignButton = nullptr;
};

} // namespace ordavel
