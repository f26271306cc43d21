#pragma once
// The text box: a single-line editor, or a multi-line one when the box is
// multi-line (a password box stays single-line, so the password is never shown).
// Both honour the input mode (read-only, password, the typing rules of
// input_validator.h), the font and the text colour.

#include "designer/box_control.h"

#include <QLineEdit>
#include <QPlainTextEdit>

#include <optional>

namespace ordavel {

class LineEditControl : public QLineEdit, public BoxControl {
public:
    explicit LineEditControl(QWidget* parent);
    QWidget* widget() override { return this; }
    void showBox(const ordavel::Box& box) override;
    void readInto(BoxAttributes& attributes) const override;
    void setDesignLook(bool design) override;

private:
    void applySheet();
    void userEdit(const QString& edited);

    int m_inputMode = -1;
    std::optional<FontSpec> m_font;
    bool m_design = true;
    QColor m_textColor;
    QString m_before; // the text as it was before the edit being validated
};

// Line breaks are written back as CR LF, the form the template files carry.
class MultiLineEditControl : public QPlainTextEdit, public BoxControl {
public:
    explicit MultiLineEditControl(QWidget* parent);
    QWidget* widget() override { return this; }
    void showBox(const ordavel::Box& box) override;
    void readInto(BoxAttributes& attributes) const override;
    void setDesignLook(bool design) override;

private:
    void applySheet();
    void contentChanged();

    int m_inputMode = 0;
    std::optional<FontSpec> m_font;
    int m_scrollBars = -1;
    bool m_design = true;
    bool m_updating = false;
    QColor m_textColor;
    QString m_lastGood; // the text before the current edit, as last accepted
};

// Model text with CR LF or CR line breaks as a widget shows it (LF only).
QString displayText(const std::string& text);
// The text with each line break (CR LF, CR or LF) turned into one space.
QString singleLine(const QString& text);

} // namespace ordavel
