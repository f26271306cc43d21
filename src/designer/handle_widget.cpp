#include "designer/handle_widget.h"

namespace ordavel {

namespace {

Qt::CursorShape handleCursor(int which)
{
    switch (which) {
    case HandleTopLeft:
    case HandleBottomRight: return Qt::SizeFDiagCursor;
    case HandleTopRight:
    case HandleBottomLeft: return Qt::SizeBDiagCursor;
    case HandleTopMiddle:
    case HandleBottomMiddle: return Qt::SizeVerCursor;
    default: return Qt::SizeHorCursor;
    }
}

} // namespace

const char* HandleWidget::handleName(int which)
{
    static const char* const names[HandleCount] = {"标签_左上", "标签_左中", "标签_左下", "标签_上中",
                                                   "标签_下中", "标签_右上", "标签_右中", "标签_右下"};
    return which >= 0 && which < HandleCount ? names[which] : "";
}

HandleWidget::HandleWidget(int which, QWidget* parent) : QLabel(parent), m_which(which)
{
    setObjectName(QString::fromUtf8(handleName(which)));
    setAutoFillBackground(true);
    QPalette blue = palette();
    blue.setColor(QPalette::Window, QColor(0, 0, 255));
    setPalette(blue);
    resize(kHandleSize, kHandleSize);
    setCursor(handleCursor(which));
    hide();
}

} // namespace ordavel
