#pragma once
// The splash window: at start-up it shows three status texts and gives way to
// the main window; in about mode it is the about window, closed by a click
// anywhere, by losing activation or by its "关闭" label. Deletes itself on close.

#include <QWidget>

class QLabel;

namespace ordavel {

inline constexpr const char* kMakerLine = "Ordavel 开发组 出品";
inline constexpr const char* kMakerAddress = "https://ordavel.example.org/";

class SplashWindow : public QWidget {
    Q_OBJECT
public:
    SplashWindow(bool aboutMode, QWidget* parent = nullptr);

    bool aboutMode() const { return m_aboutMode; }
    // Start-up mode: shows `text` in the status label and paints it at once.
    void setStatus(const QString& text);
    QLabel* statusLabel() const { return m_status; }
    QLabel* closeLabel() const { return m_close; }

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_aboutMode;
    QLabel* m_status;
    QLabel* m_close;
    QLabel* m_address;
};

} // namespace ordavel
