#include "dialogs/font_group.h"

#include "platform/painter_surface.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace ordavel {

FontGroup::FontGroup(const QString& objectName, Prompter& prompter, QWidget* parent)
    : QGroupBox(QStringLiteral("字体"), parent), m_prompter(prompter)
{
    setObjectName(objectName);
    m_sample = new QLabel(QStringLiteral("字体样式"), this);
    m_sample->setObjectName(QStringLiteral("标签_字体样式"));
    auto* button = new QPushButton(QStringLiteral("设置字体样式(&F)"), this);
    button->setObjectName(QStringLiteral("按钮_设置字体样式"));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_sample, 1);
    layout->addWidget(button);
    connect(button, &QPushButton::clicked, this, [this] { choose(); });
    setChoice(m_choice);
}

void FontGroup::setChoice(const FontChoice& choice)
{
    m_choice = choice;
    QFont font(QString::fromStdString(choice.font.face));
    font.setPointSize(choice.font.size > 0 ? choice.font.size : 9);
    font.setBold(choice.font.bold);
    font.setItalic(choice.font.italic);
    font.setStrikeOut(choice.font.strikeOut);
    font.setUnderline(choice.font.underline);
    m_sample->setFont(font);
    m_sample->setStyleSheet(QStringLiteral("color: %1;").arg(toQColor(choice.color).name()));
}

void FontGroup::choose()
{
    if (const auto chosen = m_prompter.chooseFont(m_choice, "字体"))
        setChoice(*chosen);
}

} // namespace ordavel
