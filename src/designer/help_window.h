#pragma once
// The help window "帮助": one of 20 tips at a time, paged with wrap-around.
// Not modal; owned by its parent and deleted when closed.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace ordavel {

class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent);

    int tipIndex() const { return m_tipIndex; }
    void showTip(int n);
    void next();
    void previous();

    QPlainTextEdit* textField() const { return m_text; }
    QPushButton* nextButton() const { return m_next; }
    QPushButton* previousButton() const { return m_previous; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* m_text;
    QPushButton* m_previous;
    QPushButton* m_next;
    QPushButton* m_close;
    int m_tipIndex = 1;
};

} // namespace ordavel
