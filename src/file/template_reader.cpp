#include "file/template_reader.h"
#include "print/sheet_layout.h"

#include "file/base64.h"
#include "file/gbk.h"
#include "file/messages.h"
#include "file/path_name.h"
#include "file/picture.h"
#include "file/template_format.h"
#include "file/template_result.h"
#include "file/value_format.h"
#include "file/xml.h"
#include "model/barcode_settings.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
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
    bcECC,
    bcHRT,
    bcModule,
    bcRotate,
    bcType,
    bgColor,
    bgImage,
    cType,
    cboItems,
    cellYen,
    cells,
    dataField,
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
    sheet,
    shrinkToFit,
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
        "bcECC",
        "bcHRT",
        "bcModule",
        "bcRotate",
        "bcType",
        "bgColor",
        "bgImage",
        "cType",
        "cboItems",
        "cellYen",
        "cells",
        "dataField",
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
        "sheet",
        "shrinkToFit",
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

// Hash of a name from its length and its first, second and last byte, which
// together already tell the known names apart.
constexpr unsigned keySlot(std::string_view name)
{
    const auto byte = [&name](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(name[i])); };
    const std::uint32_t bytes = byte(0) | (name.size() > 1 ? byte(1) : 0u) << 8 | byte(name.size() - 1) << 16;
    const std::uint32_t h = static_cast<std::uint32_t>(name.size()) * 0x9E3779B1u ^ bytes * 0x85EBCA77u;
    return h >> 25; // 0..127
}

// The known key of an attribute name, or Key::Count: an open-addressing
// table of the known names, so a lookup usually compares one candidate.
Key keyOf(std::string_view name)
{
    constexpr std::size_t kSlots = 128;
    static const auto table = [] {
        std::array<Key, kSlots> slots;
        slots.fill(Key::Count);
        for (int k = 0; k < static_cast<int>(Key::Count); ++k) {
            unsigned slot = keySlot(kKeyNames[k]);
            while (slots[slot] != Key::Count)
                slot = (slot + 1) % kSlots;
            slots[slot] = static_cast<Key>(k);
        }
        return slots;
    }();
    if (name.empty())
        return Key::Count;
    for (unsigned slot = keySlot(name);; slot = (slot + 1) % kSlots) {
        const Key key = table[slot];
        if (key == Key::Count || kKeyNames[static_cast<std::size_t>(key)] == name)
            return key;
    }
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

// The picture file that a bgImage value names: a relative name without "..",
// found in the template's folder or below it also after following symbolic
// links. Anything else (an absolute path, a way out of the folder, a missing
// file) gives nothing. The path returned is the name as written under the
// template's folder, made absolute.
std::optional<std::filesystem::path> pictureFileInFolder(std::string_view name, const std::string& templateName)
{
    namespace fs = std::filesystem;
    const fs::path relative = pathOfName(std::string(name));
    if (relative.empty() || relative.has_root_name() || relative.has_root_directory())
        return std::nullopt;
    for (const fs::path& part : relative)
        if (part == "..")
            return std::nullopt;
    const fs::path parent = pathOfName(templateName).parent_path();
    const fs::path folder = parent.empty() ? fs::path(".") : parent;
    std::error_code ec;
    const fs::path realFolder = fs::canonical(folder, ec);
    if (ec)
        return std::nullopt;
    const fs::path realFile = fs::canonical(folder / relative, ec);
    if (ec)
        return std::nullopt;
    // Component by component, so that /forms does not pass for /forms2.
    const auto [inFolder, inFile] = std::mismatch(realFolder.begin(), realFolder.end(), realFile.begin(), realFile.end());
    if (inFolder != realFolder.end() || inFile == realFile.end())
        return std::nullopt;
    const fs::path path = folder / relative;
    const fs::path full = fs::absolute(path, ec);
    return (ec ? path : full).lexically_normal();
}

// bgImage: a picture file in the template's folder; anything else counts as
// missing. Every picture box that loads gets its picture from its segment
// afterwards, so the file is only checked, never read.
void checkPictureFile(Box& b, std::string_view name, const std::string& templateName, MessageSink& sink)
{
    const std::optional<std::filesystem::path> path = pictureFileInFolder(name, templateName);
    if (!path || !checkReadableFile(path->string(), kMaxPictureFileBytes).ok()) {
        sink.show(messages::pictureFileMissing());
        return;
    }
    b.picturePath = path->string();
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
            checkPictureFile(b, name, templateName, sink);
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
        a.items = readComboItems(b.comboItems);
        a.font = r.font();
        a.text = r.text(Key::wValue); // absent in older files: empty
        break;
    case BoxType::ColorPicker:
        a.color = r.color(Key::Color);
        break;
    case BoxType::BarcodeBox:
        // Unknown names and angles keep the defaults: Code128, M, unrotated.
        if (const auto symbology = symbologyFromName(r.text(Key::bcType)))
            a.barcode.symbology = *symbology;
        a.text = r.text(Key::wValue);
        a.barcode.humanReadable = r.flag(Key::bcHRT);
        a.barcode.moduleMm = std::clamp(readNumber(r.text(Key::bcModule)), 0.0, kMaxPaperCm * 10.0);
        if (const auto ecc = eccFromName(r.text(Key::bcECC)))
            a.barcode.ecc = *ecc;
        if (const int rotation = r.integer(Key::bcRotate); isValidRotation(rotation))
            a.barcode.rotation = rotation;
        a.textColor = r.color(Key::Color);
        a.bgColor = r.color(Key::bgColor);
        a.font = r.font();
        break;
    case BoxType::None:
        break;
    }
    b.dataField = r.text(Key::dataField);
    if (b.type == BoxType::EditBox || b.type == BoxType::Label) {
        a.cellCount = std::clamp(r.integer(Key::cells), 0, kMaxCells);
        a.yenBeforeFirst = a.cellCount > 0 && r.flag(Key::cellYen);
        a.shrinkToFit = std::clamp(r.integer(Key::shrinkToFit), 0, kMaxShrinkToFit);
    }
}

// New forgets the background temporary file; delete it first, since nothing else will.
void resetDocument(Document& doc)
{
    if (!doc.page().backgroundTempPath.empty())
        removeFileQuietly(doc.page().backgroundTempPath);
    doc.newDocument();
}

TemplateResult openFailed(Document& doc, const std::string& fileName, MessageSink& sink, TemplateResult why)
{
    sink.show(messages::openFailed(fileName));
    resetDocument(doc);
    doc.setAppMode(AppMode::EditMode);
    return why;
}

const TemplateResult kNotATemplate{TemplateResult::Fault::NotATemplate, {}};

// The user stopped the load: an empty untitled document, as after a failure, but no message.
TemplateResult loadCancelled(Document& doc)
{
    resetDocument(doc);
    doc.setAppMode(AppMode::EditMode);
    return {TemplateResult::Fault::Cancelled, {}};
}

// Scratch storage kept between loads (batch jobs load thousands of files and
// fresh memory is slow): the Base64-decoded bytes, the UTF-8 text and the
// parsed tree. A load started from a window event handled during another
// load's yield finds them busy and gets storage of its own.
struct DescriptionScratch {
    std::string gbk;
    std::string utf8;
    XmlDocument xml;
    bool busy = false;
};

// The parsed description of one load; gives the scratch storage back, or
// frees it when a huge description made it big.
class Description {
public:
    Description()
    {
        if (!shared().busy) {
            m_scratch = &shared();
            m_scratch->busy = true;
        } else {
            m_own = std::make_unique<DescriptionScratch>();
            m_scratch = m_own.get();
        }
    }
    ~Description()
    {
        if (m_scratch != &shared())
            return;
        constexpr std::size_t kKeptText = std::size_t{32} << 20;
        if (m_textSize > kKeptText)
            *m_scratch = DescriptionScratch();
        else
            m_scratch->xml.clear();
        m_scratch->busy = false;
    }
    Description(const Description&) = delete;
    Description& operator=(const Description&) = delete;

    // Decodes and parses the last segment; false when there is no description
    // (it needs a background segment before it, even an empty one) or it is no XML.
    bool parse(const std::vector<std::string_view>& segments)
    {
        if (segments.size() < 2)
            return false;
        std::string_view text = segments.back();
        text = text.substr(0, text.find('\0'));
        DescriptionScratch& s = *m_scratch;
        s.gbk.clear();
        s.utf8.clear();
        decodeBase64Append(text, s.gbk);
        gbkToUtf8(s.gbk, s.utf8);
        m_textSize = s.utf8.size();
        return static_cast<bool>(s.xml.parseInPlace(s.utf8));
    }

    const XmlDocument& xml() const { return m_scratch->xml; }

private:
    static DescriptionScratch& shared()
    {
        thread_local DescriptionScratch scratch;
        return scratch;
    }

    DescriptionScratch* m_scratch = nullptr;
    std::unique_ptr<DescriptionScratch> m_own;
    std::size_t m_textSize = 0;
};

void readPage(Document& doc, const ElementReader& r)
{
    PageSettings& page = doc.page();
    page.pageWidth = static_cast<float>(std::clamp(readNumber(r.text(Key::pageWidth)), 0.0, kMaxPaperCm));
    page.pageHeight = static_cast<float>(std::clamp(readNumber(r.text(Key::pageHeight)), 0.0, kMaxPaperCm));
    page.imgShowType = readTruncatedNumber(r.text(Key::ImgShowType));
    page.bgColor = r.color(Key::bgColor);
    page.isPrintBgPic = r.flag(Key::isPrintBgPic);
    page.sheet = readSheetLayout(r.text(Key::sheet)).value_or(SheetLayout{});
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
    std::string(bytes).swap(page.background);
    page.backgroundPath = page.backgroundTempPath;
    doc.notifyPageChanged();
}

TemplateResult loadFromBytes(Document& doc, std::string_view bytes, const std::string& fileName, MessageSink& sink,
                             const LoadCancelled& cancelled)
{
    const std::vector<std::string_view> segments = splitSegments(bytes);
    Description description;
    if (!description.parse(segments))
        return openFailed(doc, fileName, sink, kNotATemplate);
    const XmlDocument* xml = &description.xml();
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
            return openFailed(doc, fileName, sink, kNotATemplate);
    }

    readPage(doc, ElementReader(*xml, root));

    std::size_t pictureCounter = 1;
    for (XmlNodeId node : xml->children(boxes)) {
        const ElementReader r(*xml, node);
        const BoxType type = boxTypeFromCode(r.integer(Key::cType));
        if (type == BoxType::None) {
            doc.yieldNow();
            if (cancelled && cancelled())
                return loadCancelled(doc);
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
                return TemplateResult{TemplateResult::Fault::Damaged, {}};
            }
            // A swap, so that a larger picture held before is freed (assigning a short
            // string would keep its buffer).
            std::string(segments[k]).swap(b.attributes.picture);
        }
        doc.deselect(index);
        doc.yieldNow();
        if (cancelled && cancelled())
            return loadCancelled(doc);
    }

    if (!segments.front().empty())
        storeBackground(doc, segments.front());
    doc.setTitle(false);
    doc.setAppMode(AppMode::EditMode);
    return {};
}

} // namespace

bool loadDocumentFromBytes(Document& doc, std::string_view bytes, const std::string& fileName, MessageSink& sink,
                           const LoadCancelled& cancelled)
{
    return loadFromBytes(doc, bytes, fileName, sink, cancelled).ok();
}

TemplateResult loadDocumentFile(Document& doc, const std::string& fileName, MessageSink& sink,
                                const LoadCancelled& cancelled)
{
    FileStatus status;
    const std::optional<std::string> bytes = readRegularFile(fileName, kMaxTemplateBytes, &status);
    if (!bytes)
        return openFailed(doc, fileName, sink, TemplateResult::fromFile(status));
    return loadFromBytes(doc, *bytes, fileName, sink, cancelled);
}

bool loadDocument(Document& doc, const std::string& fileName, MessageSink& sink, const LoadCancelled& cancelled)
{
    return loadDocumentFile(doc, fileName, sink, cancelled).ok();
}

} // namespace ordavel
