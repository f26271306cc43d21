#pragma once
// A colour picker of the dialogs: a button showing its colour that asks the
// prompter for a new one when clicked.

#include "model/box.h"

#include <QPushButton>

namespace ordavel {

class Prompter;

class ColorButton : public QPushButton {
public:
    ColorButton(const QString& objectName, const QString& title, Prompter& prompter, QWidget* parent = nullptr);

    Color color() const { return m_color; }
    void setColor(Color color);

private:
    void choose();

    Prompter& m_prompter;
    QString m_title;
    Color m_color = kBlack;
};

} // namespace ordavel
