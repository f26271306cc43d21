#include "dialogs/color_button.h"

#include "platform/painter_surface.h"
#include "platform/prompter.h"

namespace ordavel {

ColorButton::ColorButton(const QString& objectName, const QString& title, Prompter& prompter, QWidget* parent)
    : QPushButton(parent), m_prompter(prompter), m_title(title)
{
    setObjectName(objectName);
    setFixedWidth(60);
    setColor(kBlack);
    connect(this, &QPushButton::clicked, this, [this] { choose(); });
}

void ColorButton::setColor(Color color)
{
    m_color = color;
    setStyleSheet(QStringLiteral("background-color: %1;").arg(toQColor(color).name()));
}

void ColorButton::choose()
{
    if (const auto chosen = m_prompter.chooseColor(m_color, m_title.toStdString()))
        setColor(*chosen);
}

} // namespace ordavel
