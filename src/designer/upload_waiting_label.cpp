#include "designer/upload_waiting_label.h"

#include "platform/journal_session.h"

#include <QTimer>

namespace ordavel {

UploadWaitingLabel::UploadWaitingLabel(JournalSession& session, QWidget* parent)
    : QLabel(parent), m_session(session), m_shown(new QTimer(this)), m_upload(new QTimer(this))
{
    setObjectName(QStringLiteral("状态_待上传"));
    setToolTip(QStringLiteral("共享的打印记录连不上时打印、记在本机的任务；连上后自动上传"));
    hide();
    m_shown->setInterval(kShowEveryMs);
    connect(m_shown, &QTimer::timeout, this, &UploadWaitingLabel::refresh);
    m_shown->start();
    m_upload->setInterval(kUploadEveryMs);
    connect(m_upload, &QTimer::timeout, this, [this] { m_session.uploadWaiting(); });
    m_upload->start();
    // The first pass waits for the event loop, so the window opens without it.
    QTimer::singleShot(0, this, [this] { m_session.uploadWaiting(); });
}

void UploadWaitingLabel::refresh()
{
    const int waiting = m_session.waitingUpload();
    if (waiting > 0)
        setText(QStringLiteral("待上传：%1").arg(waiting));
    setVisible(waiting > 0);
}

} // namespace ordavel
