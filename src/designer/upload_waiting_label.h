#pragma once
// The status bar's word on what this station printed into its own journal
// file while its shop could not be reached: "待上传：N" while N jobs wait,
// hidden otherwise. Every few seconds it has the journal session upload
// them on its worker (the GUI thread never waits for the shop), and it
// shows the count the last pass left.

#include <QLabel>

class QTimer;

namespace ordavel {

class JournalSession;

class UploadWaitingLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int kShowEveryMs = 1000;
    static constexpr int kUploadEveryMs = 5000;

    explicit UploadWaitingLabel(JournalSession& session, QWidget* parent = nullptr);

    // Shows the count of the last pass now.
    void refresh();

private:
    JournalSession& m_session;
    QTimer* m_shown = nullptr;
    QTimer* m_upload = nullptr;
};

} // namespace ordavel
