#include "app/load_progress.h"

#include <QProgressDialog>

namespace ordavel {

namespace {
constexpr qint64 kLabelMs = 100;
}

LoadProgress::LoadProgress(QWidget* parent, int quietMs) : m_parent(parent), m_quietMs(quietMs)
{
    m_clock.start();
}

LoadProgress::~LoadProgress() = default;

bool LoadProgress::step()
{
    ++m_boxes;
    const bool appearing = !m_dialog;
    if (!m_dialog) {
        if (m_clock.elapsed() < m_quietMs)
            return false;
        m_dialog = std::make_unique<QProgressDialog>(m_parent);
        m_dialog->setObjectName(QStringLiteral("进度窗口_打开文件"));
        m_dialog->setWindowTitle(QStringLiteral("打开文件"));
        m_dialog->setCancelButtonText(QStringLiteral("取消"));
        m_dialog->setAutoReset(false);
        m_dialog->setAutoClose(false);
        m_dialog->setRange(0, 0);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(0);
        QObject::connect(m_dialog.get(), &QProgressDialog::canceled, [this] { m_cancelled = true; });
        m_dialog->show();
    }
    // The count is shown a few times a second, not for every box.
    if (m_labelClock.isValid() && m_labelClock.elapsed() < kLabelMs)
        return appearing;
    m_labelClock.start();
    m_dialog->setLabelText(QStringLiteral("正在读入模板，已读入 %1 个控件...").arg(m_boxes));
    m_dialog->setValue(0);
    return appearing;
}

} // namespace ordavel
