#pragma once
// The board `画板_工作台`: parent of every box control; shows the background
// colour and picture of the page settings and reports the mouse position.

#include <QImage>
#include <QWidget>

namespace ordavel {

class Document;

class Workbench : public QWidget {
    Q_OBJECT
public:
    Workbench(Document& document, QWidget* parent);
    // Re-reads the background picture after the page settings changed.
    void reloadPicture();
    const QImage& picture() const { return m_picture; }

signals:
    void mouseMoved(const QPoint& position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    Document& m_document;
    QImage m_picture;
};

} // namespace ordavel
