#include "dialogs/cell_group.h"

#include "model/box.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace ordavel {

CellGroup::CellGroup(QWidget* parent) : QGroupBox(QStringLiteral("分格"), parent)
{
    setObjectName(QStringLiteral("分组框_逐格打印"));
    m_cells = new QCheckBox(QStringLiteral("逐格打印"));
    m_cells->setObjectName(QStringLiteral("选择框_逐格打印"));
    m_count = new QSpinBox;
    m_count->setObjectName(QStringLiteral("数值框_格数"));
    m_count->setRange(1, kMaxCells);
    m_count->setValue(kDefaultCells);
    m_yen = new QCheckBox(QStringLiteral("¥ 在首位前"));
    m_yen->setObjectName(QStringLiteral("选择框_首位前人民币符号"));
    auto* row = new QHBoxLayout;
    row->addWidget(m_cells);
    row->addWidget(m_count);
    row->addWidget(new QLabel(QStringLiteral("格")));
    row->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_yen);
    connect(m_cells, &QCheckBox::toggled, this, [this] { follow(); });
    follow();
}

void CellGroup::load(const BoxAttributes& attributes)
{
    const bool on = attributes.cellCount > 0;
    m_count->setValue(on ? attributes.cellCount : kDefaultCells);
    m_yen->setChecked(on && attributes.yenBeforeFirst);
    m_cells->setChecked(on);
    follow();
}

void CellGroup::store(BoxAttributes& attributes) const
{
    const bool on = m_cells->isChecked();
    attributes.cellCount = on ? m_count->value() : 0;
    attributes.yenBeforeFirst = on && m_yen->isChecked();
}

void CellGroup::follow()
{
    const bool on = m_cells->isChecked();
    m_count->setEnabled(on);
    m_yen->setEnabled(on);
}

} // namespace ordavel
