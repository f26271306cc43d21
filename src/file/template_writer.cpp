#include "file/template_writer.h"
#include "print/sheet_layout.h"

#include "file/base64.h"
#include "file/gbk.h"
#include "file/messages.h"
#include "file/picture.h"
#include "file/template_format.h"
#include "file/value_format.h"
#include "file/xml.h"
#include "model/barcode_settings.h"

namespace ordavel {

namespace {

class BoxElementWriter {
public:
    BoxElementWriter(XmlDocument& xml, XmlNodeId node) : m_xml(xml), m_node(node) {}

    void text(std::string_view name, std::string_view value) { m_xml.setAttribute(m_node, name, value); }
    void integer(std::string_view name, long long value) { text(name, formatInt(value)); }
    void flag(std::string_view name, bool value) { text(name, formatFlag(value)); }
    void color(std::string_view name, Color value) { text(name, formatColor(value)); }

    void font(const FontSpec& f)
    {
        flag("B", f.bold);
        flag("I", f.italic);
        flag("T", f.strikeOut);
        flag("U", f.underline);
        text("Font", f.face);
        integer("FontSize", f.size);
    }

private:
    XmlDocument& m_xml;
    XmlNodeId m_node;
};

void writeBox(const Box& b, XmlDocument& xml, XmlNodeId boxes)
{
    BoxElementWriter w(xml, xml.addChild(boxes, boxElementName(b.index)));
    w.integer("cType", boxTypeCode(b.type));
    w.flag("pPewW", b.followsEdit);
    w.text("pX", formatPrintValue(b.printRect.left));
    w.text("pY", formatPrintValue(b.printRect.top));
    w.text("pW", formatPrintValue(b.printRect.width));
    w.text("pH", formatPrintValue(b.printRect.height));
    w.flag("isPrint", b.isPrint);
    w.integer("wX", b.editRect.left);
    w.integer("wY", b.editRect.top);
    w.integer("wW", b.editRect.width);
    w.integer("wH", b.editRect.height);
    const BoxAttributes& a = b.attributes;
    switch (b.type) {
    case BoxType::EditBox:
        w.integer("IType", a.inputMode);
        w.flag("MLine", a.multiLine);
        w.integer("Scrollbars", a.scrollBars);
        w.text("wValue", a.text);
        w.color("Color", a.textColor);
        w.font(a.font);
        break;
    case BoxType::Label:
        w.integer("sType", a.effect);
        w.integer("hAlign", a.hAlign);
        w.integer("vAlign", a.vAlign);
        w.flag("mLine", a.wordWrap);
        w.color("bgColor", a.bgColor);
        w.text("wValue", a.text);
        w.color("Color", a.textColor);
        w.font(a.font);
        break;
    case BoxType::PicBox:
        w.color("bgColor", a.bgColor);
        w.integer("sType", a.pictureMode);
        break;
    case BoxType::ShapeBox:
        w.integer("xxType", a.lineStyle);
        w.integer("xWidth", a.lineWidth);
        w.integer("xtType", a.lineEffect);
        w.color("bgColor", a.bgColor);
        w.color("xtColor", a.lineColor);
        w.integer("wxType", a.shape);
        break;
    case BoxType::DatePicker:
        w.font(a.font);
        w.text("DateTime", formatDateTime(a.dateTime));
        w.integer("DTFormat", b.dateFormat);
        break;
    case BoxType::ComboBox:
        w.font(a.font);
        w.integer("Type", a.listStyle);
        w.text("cboItems", formatComboItems(a.items));
        // The current text follows the list: without it a chosen entry would be lost
        // on reopening. Readers that do not know it skip it.
        w.text("wValue", a.text);
        break;
    case BoxType::ColorPicker:
        w.color("Color", a.color);
        break;
    case BoxType::BarcodeBox:
        w.text("bcType", symbologyName(a.barcode.symbology));
        w.text("wValue", a.text);
        w.flag("bcHRT", a.barcode.humanReadable);
        w.text("bcModule", formatPrintValue(a.barcode.moduleMm));
        w.text("bcECC", eccName(a.barcode.ecc));
        w.integer("bcRotate", a.barcode.rotation);
        w.color("Color", a.textColor);
        w.color("bgColor", a.bgColor);
        w.font(a.font);
        break;
    case BoxType::None:
        break;
    }
    // A batch's column for the whole box; absent from templates without fields.
    if (!b.dataField.empty())
        w.text("dataField", b.dataField);
    // Printing in cells, last; absent from templates that do not use it.
    if ((b.type == BoxType::EditBox || b.type == BoxType::Label) && a.cellCount > 0) {
        w.integer("cells", a.cellCount);
        w.flag("cellYen", a.yenBeforeFirst);
    }
    // The smallest size a text shrinks to, last; absent from templates that do not use it.
    if ((b.type == BoxType::EditBox || b.type == BoxType::Label) && a.shrinkToFit > 0)
        w.integer("shrinkToFit", a.shrinkToFit);
}

} // namespace

std::optional<std::string> templateBytes(const Document& doc, MessageSink& sink)
{
    const PageSettings& page = doc.page();
    if (containsSeparator(page.background)) {
        sink.show(messages::backgroundHoldsSeparator());
        return std::nullopt;
    }
    XmlDocument xml("Document");
    const XmlNodeId root = xml.root();
    xml.setAttribute(root, "pageWidth", formatPaperSize(page.pageWidth));
    xml.setAttribute(root, "pageHeight", formatPaperSize(page.pageHeight));
    xml.setAttribute(root, "wWidth", formatInt(page.boardWidth));
    xml.setAttribute(root, "wHeight", formatInt(page.boardHeight));
    xml.setAttribute(root, "ImgShowType", formatInt(page.imgShowType));
    xml.setAttribute(root, "bgColor", formatColor(page.bgColor));
    xml.setAttribute(root, "isPrintBgPic", formatFlag(page.isPrintBgPic));
    // Forms to a sheet, last; absent from templates of one form a sheet.
    if (page.sheet.active())
        xml.setAttribute(root, "sheet", sheetLayoutText(page.sheet));

    std::string file(page.background);
    const XmlNodeId boxes = xml.addChild(root, "boxes");
    // Slot by slot, re-reading the count: events run by the yield may add boxes.
    for (int index = 1; index <= doc.slotCount(); ++index) {
        const Box& b = doc.box(index);
        if (b.inUse) {
            if (b.type == BoxType::PicBox) {
                if (containsSeparator(b.attributes.picture)) {
                    sink.show(messages::pictureHoldsSeparator(index));
                    return std::nullopt;
                }
                file += kSegmentSeparator;
                file += b.attributes.picture;
            }
            writeBox(b, xml, boxes);
        }
        doc.yieldNow();
    }

    std::string gbk;
    utf8ToGbk(xml.serialise(), gbk);
    file += kSegmentSeparator;
    encodeBase64Append(gbk, file);
    return file;
}

TemplateResult saveDocumentFile(Document& doc, const std::string& fileName, MessageSink& sink)
{
    std::optional<std::string> bytes = templateBytes(doc, sink);
    if (!bytes)
        return TemplateResult{TemplateResult::Fault::Refused, {}};
    const FileStatus status = replaceFile(fileName, *bytes);
    if (!status.ok()) {
        sink.show(messages::createFailed(fileName));
        return TemplateResult::fromFile(status);
    }
    doc.setTitle(false);
    return {};
}

bool saveDocument(Document& doc, const std::string& fileName, MessageSink& sink)
{
    return saveDocumentFile(doc, fileName, sink).ok();
}

} // namespace ordavel
