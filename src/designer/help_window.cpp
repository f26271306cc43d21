#include "designer/help_window.h"

#include "designer/help_tips.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ordavel {

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("帮助"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("编辑框_帮助"));
    m_text->setFixedSize(553, 328);
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::NoTextInteraction);
    m_text->setContextMenuPolicy(Qt::NoContextMenu);
    QFont font = m_text->font();
    font.setPointSize(11);
    m_text->setFont(font);
    m_text->installEventFilter(this);
    m_text->viewport()->installEventFilter(this);

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("外形框1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    m_previous = new QPushButton(QStringLiteral("上一条(&P)"), this);
    m_previous->setObjectName(QStringLiteral("按钮_上一条"));
    m_next = new QPushButton(QStringLiteral("下一条(&N)"), this);
    m_next->setObjectName(QStringLiteral("按钮_下一条"));
    m_close = new QPushButton(QStringLiteral("关闭(&C)"), this);
    m_close->setObjectName(QStringLiteral("按钮_关闭窗口"));
    connect(m_previous, &QPushButton::clicked, this, &HelpWindow::previous);
    connect(m_next, &QPushButton::clicked, this, &HelpWindow::next);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);
    m_next->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_previous);
    buttons->addWidget(m_next);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(line);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_text->clear();
    showTip(1);
    m_next->setFocus();
}

void HelpWindow::showTip(int n)
{
    m_tipIndex = n;
    m_text->setPlainText(QString::fromStdString(numberedTip(n)).replace(QStringLiteral("\r\n"),
                                                                        QStringLiteral("\n")));
}

void HelpWindow::next() { showTip(m_tipIndex >= kTipCount ? 1 : m_tipIndex + 1); }

void HelpWindow::previous() { showTip(m_tipIndex <= 1 ? kTipCount : m_tipIndex - 1); }

bool HelpWindow::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        if (watched == m_text) {
            // Enter and Space then page forward.
            m_next->setFocus();
            return true;
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::ContextMenu:
        return true;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace ordavel
