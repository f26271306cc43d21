#pragma once
// The twelve input modes of a text box (IType) and what each lets the user type.
// Intermediate states that typing passes through ("", "-", "3.", "2024-1") are
// allowed; no complete value outside the mode's range can be entered.

#include <QValidator>

namespace ordavel {

enum InputMode : int {
    InputNormal = 0,
    InputReadOnly = 1,
    InputPassword = 2,
    InputIntegerText = 3, // digits only, any length
    InputDecimalText = 4, // digits with at most one decimal point
    InputByte = 5,        // integer 1..255
    InputShort = 6,       // 16-bit signed integer
    InputInt = 7,         // 32-bit signed integer
    InputLong = 8,        // 64-bit signed integer
    InputFloat = 9,       // single-precision decimal
    InputDouble = 10,     // double-precision decimal
    InputDateTime = 11,   // yyyy-M-d or yyyy/M/d, optionally followed by " H:m" or " H:m:s"
};

// Whether the mode restricts what can be typed (modes 3 to 11).
bool inputModeRestricts(int mode);

// How far `text` satisfies the mode. Modes that do not restrict accept everything.
QValidator::State checkInput(int mode, const QString& text);

// Whether an edit that turns `before` into `after` is let through: `after` is not
// Invalid, or `before` was Invalid already (text set before the mode, e.g. the new
// box's "编辑框") and the edit only removes characters, so the user can clear it.
bool acceptsEdit(int mode, const QString& before, const QString& after);

// checkInput as the validator of a single-line editor. QLineEdit lets any edit
// through while its text is Invalid already; the editor applies acceptsEdit then.
class InputModeValidator : public QValidator {
    Q_OBJECT
public:
    InputModeValidator(int mode, QObject* parent);
    State validate(QString& input, int& pos) const override;

private:
    int m_mode;
};

} // namespace ordavel
