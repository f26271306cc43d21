#pragma once
// Progress of a long template load: a busy window appears when the load has
// taken longer than a moment, counting the boxes read so far. Created for one
// load and destroyed at its end.

#include <QElapsedTimer>

#include <memory>

class QProgressDialog;
class QWidget;

namespace ordavel {

class LoadProgress {
public:
    explicit LoadProgress(QWidget* parent);
    ~LoadProgress();
    // One more box has been read.
    void step();

private:
    QWidget* m_parent;
    QElapsedTimer m_clock;
    int m_boxes = 0;
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace ordavel
