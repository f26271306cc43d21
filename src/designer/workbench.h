#pragma once
// The board `画板_工作台`: parent of every box control; shows the background
// colour and picture of the page settings and reports the mouse position.
// It is the board at the zoom of the work area: its own size and every
// position it reports go through that one mapping.

#include <QImage>
#include <QWidget>

namespace ordavel {

class BoardZoom;
class Document;

class Workbench : public QWidget {
    Q_OBJECT
public:
    Workbench(Document& document, QWidget* parent);
    // Re-reads the background picture after the page settings changed.
    void reloadPicture();
    const QImage& picture() const { return m_picture; }
    // `zoom` must outlive the workbench; none shows the board 1:1.
    void setZoom(const BoardZoom* zoom) { m_zoom = zoom; }

signals:
    // The pointer moved over the board; `position` in board px.
    void mouseMoved(const QPoint& position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    Document& m_document;
    QImage m_picture;
    const BoardZoom* m_zoom = nullptr;
};

} // namespace ordavel
