#include "designer/date_control.h"

#include "designer/box_control.h"
#include "designer/box_media.h"

#include <QPainter>
#include <qdrawutil.h>

namespace ordavel {

DateControl::DateControl(QWidget* parent) : QDateTimeEdit(parent)
{
    setMinimumDateTime(QDateTime(QDate(100, 1, 1), QTime(0, 0, 0)));
    setMaximumDateTime(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)));
    setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    setCalendarPopup(true);
    setTimeSpec(Qt::LocalTime);
    connect(this, &QDateTimeEdit::dateTimeChanged, this, [this] {
        if (!m_updating)
            edited();
    });
}

QDateTime DateControl::toQDateTime(const DateTime& value)
{
    return QDateTime(QDate(value.year, value.month, value.day), QTime(value.hour, value.minute, value.second));
}

void DateControl::showBox(const Box& box)
{
    const BoxAttributes& a = box.attributes;
    showFont(*this, a.font, m_font);
    const QDateTime value = toQDateTime(a.dateTime);
    // An impossible stored value leaves the editor as it is.
    if (value.isValid() && value != dateTime()) {
        m_updating = true;
        setDateTime(value);
        m_updating = false;
    }
}

void DateControl::readInto(BoxAttributes& attributes) const
{
    const QDateTime value = dateTime();
    attributes.dateTime = DateTime{value.date().year(), value.date().month(), value.date().day(),
                                   value.time().hour(), value.time().minute(), value.time().second()};
}

void DateControl::setDesignLook(bool design)
{
    if (m_lookSet && design == m_design)
        return;
    m_lookSet = true;
    m_design = design;
    update();
}

void DateControl::paintEvent(QPaintEvent* event)
{
    QDateTimeEdit::paintEvent(event);
    // The editor keeps its own look; the border over its edge tells the modes apart.
    QPainter painter(this);
    qDrawShadePanel(&painter, rect(), palette(), true, m_design ? 2 : 1);
}

} // namespace ordavel
