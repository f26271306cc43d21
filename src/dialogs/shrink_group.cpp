#include "dialogs/shrink_group.h"

#include "model/box.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>

namespace ordavel {

ShrinkGroup::ShrinkGroup(QWidget* parent) : QGroupBox(QStringLiteral("字体适应"), parent)
{
    setObjectName(QStringLiteral("分组框_缩小字体适应"));
    m_shrink = new QCheckBox(QStringLiteral("缩小字体适应"));
    m_shrink->setObjectName(QStringLiteral("选择框_缩小字体适应"));
    m_smallest = new QSpinBox;
    m_smallest->setObjectName(QStringLiteral("数值框_最小字号"));
    m_smallest->setRange(1, kMaxShrinkToFit);
    m_smallest->setValue(kDefaultSmallest);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_shrink);
    layout->addWidget(new QLabel(QStringLiteral("最小")));
    layout->addWidget(m_smallest);
    layout->addWidget(new QLabel(QStringLiteral("磅")));
    layout->addStretch();
    connect(m_shrink, &QCheckBox::toggled, this, [this] { follow(); });
    follow();
}

void ShrinkGroup::load(const BoxAttributes& attributes)
{
    const bool on = attributes.shrinkToFit > 0;
    m_smallest->setValue(on ? attributes.shrinkToFit : kDefaultSmallest);
    m_shrink->setChecked(on);
    follow();
}

void ShrinkGroup::store(BoxAttributes& attributes) const
{
    attributes.shrinkToFit = m_shrink->isChecked() ? m_smallest->value() : 0;
}

void ShrinkGroup::follow()
{
    m_smallest->setEnabled(m_shrink->isChecked());
}

} // namespace ordavel
