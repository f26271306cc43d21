#pragma once
// The font group of the text dialogs: the sample label "字体样式", which holds
// the dialog's working font and text colour, and the button that opens the
// font chooser. Nothing reaches the box until the dialog applies it.

#include "platform/prompter.h"

#include <QGroupBox>

class QLabel;

namespace ordavel {

class FontGroup : public QGroupBox {
public:
    FontGroup(const QString& objectName, Prompter& prompter, QWidget* parent = nullptr);

    const FontChoice& choice() const { return m_choice; }
    void setChoice(const FontChoice& choice);

private:
    void choose();

    Prompter& m_prompter;
    QLabel* m_sample;
    FontChoice m_choice;
};

} // namespace ordavel
