#include "designer/box_control.h"

#include "designer/box_media.h"

#include "designer/barcode_control.h"
#include "designer/color_block_widget.h"
#include "designer/combo_control.h"
#include "designer/date_control.h"
#include "designer/edit_box_control.h"
#include "designer/input_validator.h"
#include "designer/label_control.h"
#include "designer/picture_control.h"
#include "designer/shape_widget.h"

#include <QColor>
#include <QString>
#include <QWidget>

namespace ordavel {

namespace {

// A password cannot be shown in clear, so a multi-line password box stays single-line.
bool usesMultiLineEditor(const Box& box)
{
    return box.attributes.multiLine && box.attributes.inputMode != InputPassword;
}

} // namespace

int controlKind(const Box& box)
{
    const int kind = boxTypeCode(box.type) * 2;
    return box.type == BoxType::EditBox && usesMultiLineEditor(box) ? kind + 1 : kind;
}

QString frameStyleSheet(const char* widgetClass, bool design, const QColor& text, bool readOnly)
{
    const char* border = design ? "2px inset #a0a0a0" : "1px solid #808080";
    const char* field = readOnly ? "#f0f0f0" : "white";
    return QStringLiteral("%1 { border: %2; background: %3; color: %4; }")
        .arg(QString::fromLatin1(widgetClass), QString::fromLatin1(border), QString::fromLatin1(field), text.name());
}

void showFont(QWidget& widget, const FontSpec& font, std::optional<FontSpec>& shown)
{
    if (shown == font)
        return;
    shown = font;
    widget.setFont(boxFont(font));
}

const char* templateName(BoxType type)
{
    switch (type) {
    case BoxType::EditBox: return "编辑框_模板";
    case BoxType::Label: return "标签_模板";
    case BoxType::PicBox: return "图片框_模板";
    case BoxType::ShapeBox: return "外形框_模板";
    case BoxType::DatePicker: return "日期框_模板";
    case BoxType::ComboBox: return "组合框_模板";
    case BoxType::ColorPicker: return "颜色选择器_模板";
    case BoxType::BarcodeBox: return "条码框_模板";
    case BoxType::None: break;
    }
    return "";
}

BoxControl* createBoxControl(const Box& box, QWidget* parent)
{
    BoxControl* control = nullptr;
    switch (box.type) {
    case BoxType::EditBox:
        if (usesMultiLineEditor(box))
            control = new MultiLineEditControl(parent);
        else
            control = new LineEditControl(parent);
        break;
    case BoxType::Label: control = new LabelControl(parent); break;
    case BoxType::PicBox: control = new PictureControl(parent); break;
    case BoxType::ShapeBox: control = new ShapeWidget(parent); break;
    case BoxType::DatePicker: control = new DateControl(parent); break;
    case BoxType::ComboBox: control = new ComboControl(parent); break;
    case BoxType::ColorPicker: control = new ColorBlockWidget(parent); break;
    case BoxType::BarcodeBox: control = new BarcodeControl(parent); break;
    case BoxType::None: return nullptr;
    }
    control->widget()->hide();
    control->widget()->setObjectName(QString::fromUtf8(templateName(box.type)));
    return control;
}

} // namespace ordavel
