#include "designer/date_control.h"

#include "designer/box_control.h"
#include "designer/box_media.h"

#include <QPainter>
#include <qdrawutil.h>

namespace ordavel {

namespace {
const QString kDateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
constexpr int kButtonAndFrame = 28; // drop-down button and borders, px
} // namespace

DateControl::DateControl(QWidget* parent) : QDateTimeEdit(parent)
{
    setMinimumDateTime(QDateTime(QDate(100, 1, 1), QTime(0, 0, 0)));
    setMaximumDateTime(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)));
    setDisplayFormat(kDateTimeFormat);
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

bool DateControl::showsTime() const { return displayedSections() & QDateTimeEdit::TimeSections_Mask; }

void DateControl::showBox(const Box& box)
{
    const BoxAttributes& a = box.attributes;
    showFont(*this, a.font, m_font);
    fitFormat();
    const QDateTime value = toQDateTime(a.dateTime);
    // An impossible stored value leaves the editor as it is.
    if (!value.isValid())
        return;
    m_time = value.time();
    const bool differs = showsTime() ? value != dateTime() : value.date() != date();
    if (differs) {
        m_updating = true;
        setDateTime(value);
        m_updating = false;
    }
}

void DateControl::readInto(BoxAttributes& attributes) const
{
    const QDate day = date();
    const QTime clock = showsTime() || !m_time.isValid() ? time() : m_time;
    attributes.dateTime = DateTime{day.year(), day.month(), day.day(), clock.hour(), clock.minute(), clock.second()};
}

void DateControl::fitFormat()
{
    const int needed = fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + kButtonAndFrame;
    const QString& wanted = width() >= needed ? kDateTimeFormat : kDateFormat;
    if (displayFormat() == wanted)
        return;
    // The editor drops the time with a date-only format: put it back when it shows again.
    const QDate day = date();
    const bool hadTime = showsTime();
    if (hadTime)
        m_time = time();
    m_updating = true;
    setDisplayFormat(wanted);
    if (!hadTime && m_time.isValid())
        setDateTime(QDateTime(day, m_time));
    m_updating = false;
}

void DateControl::resizeEvent(QResizeEvent* event)
{
    QDateTimeEdit::resizeEvent(event);
    fitFormat();
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
