#include "file/template_reader.h"

#include "file/base64.h"
#include "file/gbk.h"
#include "file/messages.h"
#include "file/picture.h"
#include "file/template_format.h"
#include "file/value_format.h"
#include "file/xml.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace ordavel {

namespace {

int clampPixels(int px) { return std::clamp(px, -kMaxBoardPixels, kMaxBoardPixels); }

// Attribute access for one element; a missing attribute reads as the empty text.
class ElementReader {
public:
    ElementReader(const XmlDocument& xml, XmlNodeId node) : m_xml(xml), m_node(node) {}

    std::string_view text(std::string_view name) const { return m_xml.attribute(m_node, name); }
    int integer(std::string_view name) const { return readInt(text(name)); }
    bool flag(std::string_view name) const { return readFlag(text(name)); }
    Color color(std::string_view name) const { return readColor(text(name)); }
    double cm(std::string_view name) const { return std::clamp(readNumber(text(name)), -kMaxPaperCm, kMaxPaperCm); }
    int pixels(std::string_view name) const { return clampPixels(integer(name)); }

    FontSpec font() const
    {
        FontSpec f;
        f.bold = flag("B");
        f.italic = flag("I");
        f.strikeOut = flag("T");
        f.underline = flag("U");
        f.face = std::string(text("Font"));
        f.size = integer("FontSize");
        return f;
    }

private:
    const XmlDocument& m_xml;
    XmlNodeId m_node;
};

// cboItems: every piece after a comma is an entry; the piece before the first comma is dropped.
std::vector<std::string> splitComboItems(std::string_view text)
{
    std::vector<std::string> items;
    std::size_t comma = text.find(',');
    while (comma != std::string_view::npos) {
        const std::size_t next = text.find(',', comma + 1);
        items.emplace_back(text.substr(comma + 1, next == std::string_view::npos ? std::string_view::npos : next - comma - 1));
        comma = next;
    }
    return items;
}

// bgImage: a picture file in the template's folder. Unreadable names count as missing.
void readPictureFile(Box& b, std::string_view name, const std::string& templateName, MessageSink& sink)
{
    namespace fs = std::filesystem;
    const fs::path path = fs::path(templateName).parent_path() / fs::path(std::string(name));
    std::optional<std::string> bytes = readRegularFile(path.string(), kMaxPictureFileBytes);
    if (!bytes) {
        sink.show(messages::pictureFileMissing());
        return;
    }
    b.attributes.picture = std::move(*bytes);
    std::error_code ec;
    const fs::path full = fs::absolute(path, ec);
    b.picturePath = (ec ? path : full).lexically_normal().string();
}

// The attributes of the box's type, in the order the controls take them.
void readTypeAttributes(const ElementReader& r, Box& b, const std::string& templateName, MessageSink& sink)
{
    BoxAttributes& a = b.attributes;
    switch (b.type) {
    case BoxType::EditBox:
        a.font = r.font();
        a.inputMode = r.integer("IType");
        a.multiLine = r.flag("MLine");
        a.scrollBars = r.integer("Scrollbars");
        a.textColor = r.color("Color");
        a.text = r.text("wValue");
        break;
    case BoxType::Label:
        a.font = r.font();
        a.wordWrap = r.flag("mLine");
        a.hAlign = r.integer("hAlign");
        a.vAlign = r.integer("vAlign");
        a.textColor = r.color("Color");
        a.bgColor = r.color("bgColor");
        a.effect = r.integer("sType");
        a.text = r.text("wValue");
        break;
    case BoxType::PicBox:
        if (const std::string_view name = r.text("bgImage"); !name.empty())
            readPictureFile(b, name, templateName, sink);
        a.bgColor = r.color("bgColor");
        b.isPrint = r.flag("isPrint");
        a.pictureMode = r.integer("sType");
        break;
    case BoxType::ShapeBox:
        a.lineStyle = r.integer("xxType");
        a.lineWidth = r.integer("xWidth");
        a.lineEffect = r.integer("xtType");
        a.bgColor = r.color("bgColor");
        a.lineColor = r.color("xtColor");
        a.shape = r.integer("wxType");
        break;
    case BoxType::DatePicker:
        a.dateTime = readDateTime(r.text("DateTime"));
        b.dateFormat = r.integer("DTFormat");
        a.font = r.font();
        break;
    case BoxType::ComboBox:
        // The list style (Type) is written but not read.
        b.comboItems = r.text("cboItems");
        a.items = splitComboItems(b.comboItems);
        a.font = r.font();
        break;
    case BoxType::ColorPicker:
        a.color = r.color("Color");
        break;
    case BoxType::None:
        break;
    }
}

// New forgets the background temporary file; delete it first, since nothing else will.
void resetDocument(Document& doc)
{
    if (!doc.page().backgroundTempPath.empty())
        removeFileQuietly(doc.page().backgroundTempPath);
    doc.newDocument();
}

bool openFailed(Document& doc, const std::string& fileName, MessageSink& sink)
{
    sink.show(messages::openFailed(fileName));
    resetDocument(doc);
    doc.setAppMode(AppMode::EditMode);
    return false;
}

std::optional<XmlDocument> parseDescription(const std::vector<std::string_view>& segments)
{
    // A description needs a background segment before it, even an empty one.
    if (segments.size() < 2)
        return std::nullopt;
    std::string_view text = segments.back();
    text = text.substr(0, text.find('\0'));
    std::string gbk;
    decodeBase64Append(text, gbk);
    std::string utf8;
    gbkToUtf8(gbk, utf8);
    gbk = std::string();
    return XmlDocument::fromText(utf8);
}

void readPage(Document& doc, const ElementReader& r)
{
    PageSettings& page = doc.page();
    page.pageWidth = static_cast<float>(std::clamp(readNumber(r.text("pageWidth")), 0.0, kMaxPaperCm));
    page.pageHeight = static_cast<float>(std::clamp(readNumber(r.text("pageHeight")), 0.0, kMaxPaperCm));
    page.imgShowType = readTruncatedNumber(r.text("ImgShowType"));
    page.bgColor = r.color("bgColor");
    page.isPrintBgPic = r.flag("isPrintBgPic");
    doc.setBoardSizeQuietly(std::clamp(readTruncatedNumber(r.text("wWidth")), 0, kMaxBoardPixels),
                            std::clamp(readTruncatedNumber(r.text("wHeight")), 0, kMaxBoardPixels));
}

void storeBackground(Document& doc, std::string_view bytes)
{
    PageSettings& page = doc.page();
    const std::string previous = page.backgroundTempPath;
    page.backgroundTempPath.clear();
    const std::string path = createBackgroundTempFile();
    std::string error;
    if (!path.empty() && writeFileAtomically(path, bytes, &error))
        page.backgroundTempPath = path;
    if (!previous.empty() && previous != page.backgroundTempPath)
        removeFileQuietly(previous);
    page.background = std::string(bytes);
    doc.notifyPageChanged();
}

} // namespace

bool loadDocumentFromBytes(Document& doc, std::string_view bytes, const std::string& fileName, MessageSink& sink)
{
    const std::vector<std::string_view> segments = splitSegments(bytes);
    const std::optional<XmlDocument> xml = parseDescription(segments);
    if (!xml)
        return openFailed(doc, fileName, sink);
    const XmlNodeId root = xml->root();
    const XmlNodeId boxes = xml->child(root, "boxes");

    // Count before making anything, so that an absurd description leaves no half-loaded document.
    std::size_t boxCount = 0;
    for (XmlNodeId node : xml->children(boxes))
        if (boxTypeFromCode(ElementReader(*xml, node).integer("cType")) != BoxType::None)
            ++boxCount;
    if (boxCount > static_cast<std::size_t>(kMaxLoadedBoxes))
        return openFailed(doc, fileName, sink);

    readPage(doc, ElementReader(*xml, root));

    std::size_t pictureCounter = 1;
    for (XmlNodeId node : xml->children(boxes)) {
        const ElementReader r(*xml, node);
        const BoxType type = boxTypeFromCode(r.integer("cType"));
        if (type == BoxType::None) {
            doc.yieldNow();
            continue;
        }
        const int index = doc.allocateSlot();
        {
            Box& b = doc.box(index);
            b.printRect = PrintRect{r.cm("pX"), r.cm("pY"), r.cm("pW"), r.cm("pH")};
            b.isPrint = r.flag("isPrint");
            b.followsEdit = r.flag("pPewW");
        }
        doc.createBox(index, type, r.pixels("wX"), r.pixels("wY"), r.pixels("wW"), r.pixels("wH"),
                      /*fromFile=*/true);
        Box& b = doc.box(index);
        readTypeAttributes(r, b, fileName, sink);
        if (type == BoxType::PicBox) {
            const std::size_t k = pictureCounter++;
            // Segment k must exist and must not be the description (the last one).
            if (k + 2 > segments.size()) {
                sink.show(messages::fileDamaged());
                resetDocument(doc);
                return false;
            }
            b.attributes.picture = std::string(segments[k]);
        }
        doc.deselect(index);
        doc.yieldNow();
    }

    if (!segments.front().empty())
        storeBackground(doc, segments.front());
    doc.setTitle(false);
    doc.setAppMode(AppMode::EditMode);
    return true;
}

bool loadDocument(Document& doc, const std::string& fileName, MessageSink& sink)
{
    const std::optional<std::string> bytes = readRegularFile(fileName, kMaxTemplateBytes);
    return loadDocumentFromBytes(doc, bytes ? std::string_view(*bytes) : std::string_view(), fileName, sink);
}

} // namespace ordavel
