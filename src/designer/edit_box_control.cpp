#include "designer/edit_box_control.h"

#include "designer/box_media.h"
#include "designer/input_validator.h"

#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>
#include <limits>

namespace ordavel {

QString displayText(const std::string& text)
{
    QString shown = toQString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

// --- single line ---

LineEditControl::LineEditControl(QWidget* parent) : QLineEdit(parent)
{
    setMaxLength(std::numeric_limits<int>::max()); // the default limit would cut long texts
    // textEdited fires for the user's changes only, never for setText(), and before
    // textChanged, so m_before still holds the text as it was.
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) { userEdit(text); });
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { m_before = text; });
}

void LineEditControl::showBox(const ordavel::Box& box)
{
    const BoxAttributes& a = box.attributes;
    showFont(*this, a.font, m_font);
    const QColor color = toQColor(a.textColor);
    if (color != m_textColor) {
        m_textColor = color;
        applySheet();
    }
    if (a.inputMode != m_inputMode) {
        m_inputMode = a.inputMode;
        setReadOnly(a.inputMode == InputReadOnly);
        applySheet();
        setEchoMode(a.inputMode == InputPassword ? QLineEdit::Password : QLineEdit::Normal);
        QValidator* old = const_cast<QValidator*>(validator());
        setValidator(inputModeRestricts(a.inputMode) ? new InputModeValidator(a.inputMode, this) : nullptr);
        delete old;
    }
    const QString text = toQString(a.text);
    if (this->text() != text)
        setText(text);
}

QString singleLine(const QString& text)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    line.replace(u'\r', u' ');
    line.replace(u'\n', u' ');
    return line;
}

void LineEditControl::userEdit(const QString& edited)
{
    // A pasted or dropped line break would print as a second line over the
    // next field: each becomes one space.
    const QString text = singleLine(edited);
    const int position = cursorPosition() - static_cast<int>(edited.size() - text.size());
    if (!acceptsEdit(m_inputMode, m_before, text)) {
        // The text was Invalid before, so the validator let this through: undo it.
        const int back = position - static_cast<int>(text.size() - m_before.size());
        const QString before = m_before;
        setText(before);
        setCursorPosition(std::clamp(back, 0, static_cast<int>(before.size())));
        return;
    }
    if (text != edited) {
        setText(text);
        setCursorPosition(std::clamp(position, 0, static_cast<int>(text.size())));
    }
    this->edited();
}

void LineEditControl::readInto(BoxAttributes& attributes) const { attributes.text = fromQString(text()); }

void LineEditControl::setDesignLook(bool design)
{
    if (design == m_design && !styleSheet().isEmpty())
        return;
    m_design = design;
    applySheet();
}

void LineEditControl::applySheet() { setStyleSheet(frameStyleSheet("QLineEdit", m_design, m_textColor, isReadOnly())); }

// --- multi-line ---

MultiLineEditControl::MultiLineEditControl(QWidget* parent) : QPlainTextEdit(parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] { contentChanged(); });
}

void MultiLineEditControl::showBox(const ordavel::Box& box)
{
    const BoxAttributes& a = box.attributes;
    showFont(*this, a.font, m_font);
    const QColor color = toQColor(a.textColor);
    if (color != m_textColor) {
        m_textColor = color;
        applySheet();
    }
    m_inputMode = a.inputMode;
    if (isReadOnly() != (a.inputMode == InputReadOnly)) {
        setReadOnly(a.inputMode == InputReadOnly);
        applySheet();
    }
    if (a.scrollBars != m_scrollBars) {
        // Scrollbars: 1 horizontal, 2 vertical, 3 both. Without a horizontal bar lines wrap.
        m_scrollBars = a.scrollBars;
        const bool horizontal = a.scrollBars == 1 || a.scrollBars == 3;
        const bool vertical = a.scrollBars == 2 || a.scrollBars == 3;
        setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        setLineWrapMode(horizontal ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    }
    const QString text = displayText(a.text);
    if (toPlainText() != text) {
        m_updating = true;
        setPlainText(text);
        m_updating = false;
    }
    m_lastGood = text;
}

void MultiLineEditControl::readInto(BoxAttributes& attributes) const
{
    QString text = toPlainText();
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    attributes.text = fromQString(text);
}

void MultiLineEditControl::setDesignLook(bool design)
{
    if (design == m_design && !styleSheet().isEmpty())
        return;
    m_design = design;
    applySheet();
}

void MultiLineEditControl::applySheet()
{
    setStyleSheet(frameStyleSheet("QPlainTextEdit", m_design, m_textColor, isReadOnly()));
}

void MultiLineEditControl::contentChanged()
{
    if (m_updating)
        return;
    const QString text = toPlainText();
    if (!acceptsEdit(m_inputMode, m_lastGood, text)) {
        // Undo the keystroke or paste: put the last accepted text back, caret where it was.
        const int position = textCursor().position() - static_cast<int>(text.size() - m_lastGood.size());
        m_updating = true;
        setPlainText(m_lastGood);
        m_updating = false;
        QTextCursor cursor = textCursor();
        cursor.setPosition(std::clamp(position, 0, static_cast<int>(m_lastGood.size())));
        setTextCursor(cursor);
        return;
    }
    m_lastGood = text;
    edited();
}

} // namespace ordavel
