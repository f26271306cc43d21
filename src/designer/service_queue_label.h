#pragma once
// The status bar's word on the print service: while the service runs for
// this user and jobs of it wait (queued or printing in the journal), "打印服务：
// N 个任务等待"; hidden otherwise. It looks every few seconds: a lock test on
// a file, and one count in the journal only while the service runs.

#include "journal/journal.h"

#include <QLabel>

#include <memory>
#include <string>

class QTimer;

namespace ordavel {

class ServiceQueueLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 3000;

    explicit ServiceQueueLabel(std::string journalPath = Journal::defaultPath(), QWidget* parent = nullptr);
    ~ServiceQueueLabel() override;

    // Looks again now; the jobs waiting, or -1 when the service does not run.
    int refresh();

private:
    std::string m_path;
    std::unique_ptr<Journal> m_journal; // kept open while the service runs
    QTimer* m_timer = nullptr;
};

} // namespace ordavel
