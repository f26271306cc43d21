#include "app/splash_window.h"

#include "app/app_icon.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QUrl>

namespace ordavel {

namespace {

constexpr int kWidth = 460;
constexpr int kHeight = 270;

QLabel* makeLabel(QWidget* parent, const QString& text, int pixelSize, bool bold, const QColor& color)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

} // namespace

SplashWindow::SplashWindow(bool aboutMode, QWidget* parent)
    : QWidget(parent, aboutMode ? Qt::Tool | Qt::FramelessWindowHint
                                : Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_aboutMode(aboutMode)
{
    setObjectName(QStringLiteral("启动窗口"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kWidth, kHeight);

    const QColor ink(0x1d, 0x2b, 0x3f);
    QLabel* name = makeLabel(this, QStringLiteral("Ordavel"), 40, true, ink);
    name->setGeometry(170, 40, 260, 52);
    QLabel* version = makeLabel(this, QStringLiteral("v1.65"), 16, false, QColor(0x4b, 0x5d, 0x78));
    version->setGeometry(172, 92, 200, 24);
    QLabel* purpose = makeLabel(this, QStringLiteral("套打报表设计与打印"), 14, false, QColor(0x4b, 0x5d, 0x78));
    purpose->setGeometry(172, 118, 260, 22);
    QLabel* maker = makeLabel(this, QString::fromUtf8(kMakerLine), 13, false, ink);
    maker->setGeometry(172, 170, 270, 20);

    m_address = makeLabel(this, QString::fromUtf8(kMakerAddress), 13, false, QColor(0x1f, 0x5f, 0xbf));
    QFont underlined = m_address->font();
    underlined.setUnderline(true);
    m_address->setFont(underlined);
    m_address->setCursor(Qt::PointingHandCursor);
    m_address->setGeometry(172, 192, 270, 20);
    m_address->installEventFilter(this);

    m_status = makeLabel(this, QString(), 12, false, QColor(0x4b, 0x5d, 0x78));
    m_status->setGeometry(24, kHeight - 32, kWidth - 48, 20);
    m_close = makeLabel(this, QStringLiteral("关闭"), 13, true, QColor(0x1f, 0x5f, 0xbf));
    m_close->setCursor(Qt::PointingHandCursor);
    m_close->setAlignment(Qt::AlignCenter);
    m_close->setGeometry(kWidth - 64, kHeight - 34, 48, 24);
    m_close->installEventFilter(this);

    m_status->setVisible(!aboutMode);
    m_close->setVisible(aboutMode);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void SplashWindow::setStatus(const QString& text)
{
    m_status->setText(text);
    m_status->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void SplashWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, QColor(0xf7, 0xfa, 0xfe));
    sky.setColorAt(1, QColor(0xdc, 0xe6, 0xf4));
    p.fillRect(rect(), sky);
    p.fillRect(QRect(0, 0, width(), 6), QColor(0x1f, 0x4e, 0x9a));
    paintLogo(p, QRectF(36, 42, 120, 130));
    p.setPen(QColor(0xb7, 0xc6, 0xdc));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void SplashWindow::mousePressEvent(QMouseEvent* event)
{
    if (m_aboutMode)
        close();
    QWidget::mousePressEvent(event);
}

void SplashWindow::changeEvent(QEvent* event)
{
    if (m_aboutMode && event->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible())
        close();
    QWidget::changeEvent(event);
}

void SplashWindow::closeEvent(QCloseEvent* event)
{
    emit closed();
    QWidget::closeEvent(event);
}

bool SplashWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && m_aboutMode) {
        if (watched == m_address)
            QDesktopServices::openUrl(QUrl(QString::fromUtf8(kMakerAddress)));
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace ordavel
