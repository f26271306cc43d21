#pragma once
// The date box: date and time of the box (years 100 to 9999) with a calendar
// drop-down, in the box's font. A box too narrow for "yyyy-MM-dd HH:mm:ss"
// shows the date only; the time is then kept as it is and written back unchanged.

#include "designer/box_control.h"

#include <QDateTimeEdit>

#include <optional>

namespace ordavel {

class DateControl : public QDateTimeEdit, public BoxControl {
public:
    explicit DateControl(QWidget* parent);
    QWidget* widget() override { return this; }
    void showBox(const ordavel::Box& box) override;
    void readInto(BoxAttributes& attributes) const override;
    void setDesignLook(bool design) override;

    static QDateTime toQDateTime(const DateTime& value);
    bool showsTime() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitFormat();

    bool m_updating = false;
    std::optional<FontSpec> m_font;
    bool m_design = false;
    bool m_lookSet = false;
    QTime m_time; // the box's time, kept while only the date is shown
};

} // namespace ordavel
