#include "app/load_progress.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace ordavel {

namespace {
constexpr qint64 kQuietMs = 400; // short loads show nothing
}

LoadProgress::LoadProgress(QWidget* parent) : m_parent(parent) { m_clock.start(); }

LoadProgress::~LoadProgress() = default;

void LoadProgress::step()
{
    ++m_boxes;
    if (!m_dialog) {
        if (m_clock.elapsed() < kQuietMs)
            return;
        m_dialog = std::make_unique<QProgressDialog>(m_parent);
        m_dialog->setWindowTitle(QStringLiteral("打开文件"));
        m_dialog->setCancelButton(nullptr);
        m_dialog->setRange(0, 0);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->show();
    }
    m_dialog->setLabelText(QStringLiteral("正在读入模板，已读入 %1 个控件...").arg(m_boxes));
    m_dialog->setValue(0);
}

} // namespace ordavel
