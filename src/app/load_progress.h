#pragma once
// Progress of a long template load: a window appears when the load has taken
// longer than a moment, counting the boxes read so far, with a Cancel button
// that asks the load to stop. Created for one load and destroyed at its end.

#include <QElapsedTimer>

#include <memory>

class QProgressDialog;
class QWidget;

namespace ordavel {

class LoadProgress {
public:
    static constexpr int kQuietMs = 400; // shorter loads show nothing

    // The window is modal to `parent` and appears after `quietMs`.
    explicit LoadProgress(QWidget* parent, int quietMs = kQuietMs);
    ~LoadProgress();
    // One more box has been read. True when the window appeared just now
    // (it wants events to run, to be drawn).
    bool step();
    // Whether the window is up: the user can then reach only it.
    bool shown() const { return m_dialog != nullptr; }
    // Whether the user pressed Cancel.
    bool cancelled() const { return m_cancelled; }
    QProgressDialog* dialog() const { return m_dialog.get(); }

private:
    QWidget* m_parent;
    int m_quietMs;
    QElapsedTimer m_clock;
    QElapsedTimer m_labelClock;
    int m_boxes = 0;
    bool m_cancelled = false;
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace ordavel
