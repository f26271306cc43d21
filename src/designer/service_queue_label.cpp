#include "designer/service_queue_label.h"

#include "shop/users_journal.h"

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
        // The service records into the journal this user prints into: in a
        // shop, the shop's, where only this station's jobs are its.
        if (!m_journal)
            m_journal = openUsersJournal(m_path).journal;
        if (m_journal && m_journal->station().empty()) {
            const auto counted = m_journal->countUnfinished("service");
            waiting = counted.ok() ? counted.value : -1;
        } else if (m_journal) {
            JournalQuery ours;
            ours.program = "service";
            ours.station = m_journal->station();
            ours.unfinishedOnly = true;
            const auto listed = m_journal->listJobs(ours);
            waiting = listed.ok() ? static_cast<int>(listed.value.size()) : -1;
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
