#pragma once
// The date box: date and time of the box (years 100 to 9999) with a calendar
// drop-down, in the box's font.

#include "designer/box_control.h"

#include <QDateTimeEdit>

#include <optional>

namespace ordavel {

class DateControl : public QDateTimeEdit, public BoxControl {
public:
    explicit DateControl(QWidget* parent);
    QWidget* widget() override { return this; }
    void showBox(const Box& box) override;
    void readInto(BoxAttributes& attributes) const override;
    void setDesignLook(bool design) override;

    static QDateTime toQDateTime(const DateTime& value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_updating = false;
    std::optional<FontSpec> m_font;
    bool m_design = false;
    bool m_lookSet = false;
};

} // namespace ordavel
