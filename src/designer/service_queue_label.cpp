#include "designer/service_queue_label.h"

#include "platform/print_service_presence.h"

#include <QTimer>

namespace ordavel {

ServiceQueueLabel::ServiceQueueLabel(std::string journalPath, QWidget* parent)
    : QLabel(parent), m_path(std::move(journalPath)), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("状态_打印服务"));
    setToolTip(QStringLiteral("打印服务收下、尚未打完的任务"));
    hide();
    m_timer->setInterval(kIntervalMs);
    connect(m_timer, &QTimer::timeout, this, [this] { refresh(); });
    m_timer->start();
    // The first look waits for the event loop, so the window opens without it.
    QTimer::singleShot(0, this, [this] { refresh(); });
}

ServiceQueueLabel::~ServiceQueueLabel() = default;

int ServiceQueueLabel::refresh()
{
    int waiting = -1;
    if (serviceRuns(m_path)) {
        if (!m_journal)
            m_journal = Journal::open(m_path).journal;
        if (m_journal) {
            const auto counted = m_journal->countUnfinished("service");
            waiting = counted.ok() ? counted.value : -1;
        }
    } else {
        m_journal.reset();
    }
    if (waiting > 0)
        setText(QStringLiteral("打印服务：%1 个任务等待").arg(waiting));
    setVisible(waiting > 0);
    return waiting;
}

} // namespace ordavel
