#include "file/template_reader.h"

#include "file/base64.h"
#include "file/gbk.h"
#include "file/messages.h"
#include "file/picture.h"
#include "file/template_format.h"
#include "file/value_format.h"
#include "file/xml.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace ordavel {

namespace {

int clampPixels(int px) { return std::clamp(px, -kMaxBoardPixels, kMaxBoardPixels); }

// The attributes the reader knows, named as in the file.
enum class Key : int {
    B,
    Color,
    DTFormat,
    DateTime,
    Font,
    FontSize,
    I,
    IType,
    ImgShowType,
    MLine,
    Scrollbars,
    T,
    U,
    bgColor,
    bgImage,
    cType,
    cboItems,
    hAlign,
    isPrint,
    isPrintBgPic,
    mLine,
    pH,
    pPewW,
    pW,
    pX,
    pY,
    pageHeight,
    pageWidth,
    sType,
    vAlign,
    wH,
    wHeight,
    wValue,
    wW,
    wWidth,
    wX,
    wY,
    wxType,
    xWidth,
    xtColor,
    xtType,
    xxType,
    Count
};

constexpr std::string_view kKeyNames[] = {
        "B",
        "Color",
        "DTFormat",
        "DateTime",
        "Font",
        "FontSize",
        "I",
        "IType",
        "ImgShowType",
        "MLine",
        "Scrollbars",
        "T",
        "U",
        "bgColor",
        "bgImage",
        "cType",
        "cboItems",
        "hAlign",
        "isPrint",
        "isPrintBgPic",
        "mLine",
        "pH",
        "pPewW",
        "pW",
        "pX",
        "pY",
        "pageHeight",
        "pageWidth",
        "sType",
        "vAlign",
        "wH",
        "wHeight",
        "wValue",
        "wW",
        "wWidth",
        "wX",
        "wY",
        "wxType",
        "xWidth",
        "xtColor",
        "xtType",
        "xxType"};
static_assert(std::size(kKeyNames) == static_cast<std::size_t>(Key::Count));

// The known key of an attribute name, or Key::Count. Names are bucketed by
// length, so a lookup compares against at most a few candidates.
Key keyOf(std::string_view name)
{
    static const auto buckets = [] {
        std::array<std::vector<int>, 16> byLength;
        for (int k = 0; k < static_cast<int>(Key::Count); ++k)
            byLength[kKeyNames[k].size()].push_back(k);
        return byLength;
    }();
    if (name.size() >= buckets.size())
        return Key::Count;
    // Names are a few bytes long: a plain loop beats a call to memcmp.
    for (int k : buckets[name.size()]) {
        const std::string_view candidate = kKeyNames[k];
        std::size_t i = 0;
        while (i < name.size() && candidate[i] == name[i])
            ++i;
        if (i == name.size())
            return static_cast<Key>(k);
    }
    return Key::Count;
}

// Attribute access for one element, gathered in one pass over its attributes;
// a missing attribute reads as the empty text.
class ElementReader {
public:
    ElementReader(const XmlDocument& xml, XmlNodeId node)
    {
        for (const XmlAttribute attribute : xml.attributes(node))
            if (const Key key = keyOf(attribute.name); key != Key::Count)
                m_values[static_cast<std::size_t>(key)] = attribute.value;
    }

    std::string_view text(Key key) const { return m_values[static_cast<std::size_t>(key)]; }
    int integer(Key key) const { return readInt(text(key)); }
    bool flag(Key key) const { return readFlag(text(key)); }
    Color color(Key key) const { return readColor(text(key)); }
    double cm(Key key) const { return std::clamp(readNumber(text(key)), -kMaxPaperCm, kMaxPaperCm); }
    int pixels(Key key) const { return clampPixels(integer(key)); }

    FontSpec font() const
    {
        FontSpec f;
        f.bold = flag(Key::B);
        f.italic = flag(Key::I);
        f.strikeOut = flag(Key::T);
        f.underline = flag(Key::U);
        f.face = std::string(text(Key::Font));
        f.size = integer(Key::FontSize);
        return f;
    }

private:
    std::array<std::string_view, static_cast<std::size_t>(Key::Count)> m_values{};
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
        a.inputMode = r.integer(Key::IType);
        a.multiLine = r.flag(Key::MLine);
        a.scrollBars = r.integer(Key::Scrollbars);
        a.textColor = r.color(Key::Color);
        a.text = r.text(Key::wValue);
        break;
    case BoxType::Label:
        a.font = r.font();
        a.wordWrap = r.flag(Key::mLine);
        a.hAlign = r.integer(Key::hAlign);
        a.vAlign = r.integer(Key::vAlign);
        a.textColor = r.color(Key::Color);
        a.bgColor = r.color(Key::bgColor);
        a.effect = r.integer(Key::sType);
        a.text = r.text(Key::wValue);
        break;
    case BoxType::PicBox:
        if (const std::string_view name = r.text(Key::bgImage); !name.empty())
            readPictureFile(b, name, templateName, sink);
        a.bgColor = r.color(Key::bgColor);
        b.isPrint = r.flag(Key::isPrint);
        a.pictureMode = r.integer(Key::sType);
        break;
    case BoxType::ShapeBox:
        a.lineStyle = r.integer(Key::xxType);
        a.lineWidth = r.integer(Key::xWidth);
        a.lineEffect = r.integer(Key::xtType);
        a.bgColor = r.color(Key::bgColor);
        a.lineColor = r.color(Key::xtColor);
        a.shape = r.integer(Key::wxType);
        break;
    case BoxType::DatePicker:
        a.dateTime = readDateTime(r.text(Key::DateTime));
        b.dateFormat = r.integer(Key::DTFormat);
        a.font = r.font();
        break;
    case BoxType::ComboBox:
        // The list style (Type) is written but not read.
        b.comboItems = r.text(Key::cboItems);
        a.items = splitComboItems(b.comboItems);
        a.font = r.font();
        a.text = r.text(Key::wValue); // absent in older files: empty
        break;
    case BoxType::ColorPicker:
        a.color = r.color(Key::Color);
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
    // Scratch buffers kept between loads (batch jobs load thousands of files
    // and fresh memory is slow), but not when a huge description made them big.
    constexpr std::size_t kKeptCapacity = std::size_t{64} << 20;
    thread_local std::string gbk;
    thread_local std::string utf8;
    gbk.clear();
    utf8.clear();
    decodeBase64Append(text, gbk);
    gbkToUtf8(gbk, utf8);
    std::optional<XmlDocument> xml = XmlDocument::fromText(utf8);
    for (std::string* buffer : {&gbk, &utf8})
        if (buffer->capacity() > kKeptCapacity)
            *buffer = std::string();
    return xml;
}

void readPage(Document& doc, const ElementReader& r)
{
    PageSettings& page = doc.page();
    page.pageWidth = static_cast<float>(std::clamp(readNumber(r.text(Key::pageWidth)), 0.0, kMaxPaperCm));
    page.pageHeight = static_cast<float>(std::clamp(readNumber(r.text(Key::pageHeight)), 0.0, kMaxPaperCm));
    page.imgShowType = readTruncatedNumber(r.text(Key::ImgShowType));
    page.bgColor = r.color(Key::bgColor);
    page.isPrintBgPic = r.flag(Key::isPrintBgPic);
    doc.setBoardSizeQuietly(std::clamp(readTruncatedNumber(r.text(Key::wWidth)), 0, kMaxBoardPixels),
                            std::clamp(readTruncatedNumber(r.text(Key::wHeight)), 0, kMaxBoardPixels));
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
    page.backgroundPath = page.backgroundTempPath;
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
    // Elements are counted first; their types only when there are too many.
    const auto cap = static_cast<std::size_t>(kMaxLoadedBoxes);
    const auto children = xml->children(boxes);
    if (static_cast<std::size_t>(std::distance(children.begin(), children.end())) > cap) {
        std::size_t boxCount = 0;
        for (XmlNodeId node : children)
            if (boxTypeFromCode(readInt(xml->attribute(node, "cType"))) != BoxType::None)
                ++boxCount;
        if (boxCount > cap)
            return openFailed(doc, fileName, sink);
    }

    readPage(doc, ElementReader(*xml, root));

    std::size_t pictureCounter = 1;
    for (XmlNodeId node : xml->children(boxes)) {
        const ElementReader r(*xml, node);
        const BoxType type = boxTypeFromCode(r.integer(Key::cType));
        if (type == BoxType::None) {
            doc.yieldNow();
            continue;
        }
        const int index = doc.allocateSlot();
        {
            Box& b = doc.box(index);
            b.printRect = PrintRect{r.cm(Key::pX), r.cm(Key::pY), r.cm(Key::pW), r.cm(Key::pH)};
            b.isPrint = r.flag(Key::isPrint);
            b.followsEdit = r.flag(Key::pPewW);
        }
        doc.createBox(index, type, r.pixels(Key::wX), r.pixels(Key::wY), r.pixels(Key::wW), r.pixels(Key::wH),
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
