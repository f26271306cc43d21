#pragma once
// The widget side of one box type. Each type's widget derives from a Qt widget
// and from BoxControl: BoxView pushes the box's attributes in with showBox()
// and pulls the user's edits out with readInto().

#include "model/box.h"

#include <functional>
#include <optional>

class QColor;
class QString;
class QWidget;

namespace ordavel {

class BoxControl {
public:
    virtual ~BoxControl() = default;
    virtual QWidget* widget() = 0;
    // Shows the box's attributes. Leaves every part of the widget that already shows
    // the right value untouched (no cursor jumps) and never reports an edit.
    virtual void showBox(const Box& box) = 0;
    // Copies the content the user can change into `attributes`.
    virtual void readInto(BoxAttributes& attributes) const = 0;
    // Sunken border while designing, thin sunken border while entering data; only
    // the text box, picture box and date box differ.
    virtual void setDesignLook(bool /*design*/) {}

    // Called after each change of the content by the user.
    std::function<void()> onEdited;

protected:
    void edited() const
    {
        if (onEdited)
            onEdited();
    }
};

// Which widget a box needs: the type, and for a text box single- or multi-line.
// BoxView recreates the control when this changes.
int controlKind(const Box& box);

// A new, hidden control for the box, child of `parent`, named after its type's template.
// Returns nullptr for BoxType::None. The parent owns the widget.
BoxControl* createBoxControl(const Box& box, QWidget* parent);

// Style sheet for the widgets of class `widgetClass` with the design border (sunken, 2 px)
// or the edit border (thin, 1 px), the given text colour, and a white field (grey when
// read-only).
QString frameStyleSheet(const char* widgetClass, bool design, const QColor& text, bool readOnly);

// Gives `widget` the box font unless `shown` says it has it already; updates `shown`.
void showFont(QWidget& widget, const FontSpec& font, std::optional<FontSpec>& shown);

// The template name a box type's control carries as objectName ("编辑框_模板", ...).
const char* templateName(BoxType type);

} // namespace ordavel
