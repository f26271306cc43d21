#pragma once
// A sizing handle: a blue 5 x 5 label around a selected box, with the sizing
// cursor of its corner or edge.

#include "model/box.h"

#include <QLabel>

namespace ordavel {

class HandleWidget : public QLabel {
    Q_OBJECT
public:
    // `which` is a Handle (HandleTopLeft ... HandleBottomRight). Starts hidden.
    HandleWidget(int which, QWidget* parent);
    int which() const { return m_which; }

    // The objectName of each handle ("标签_左上", ...), in Handle order.
    static const char* handleName(int which);

private:
    int m_which;
};

} // namespace ordavel
