#include "document_json.h"

#include "print/sheet_layout.h"

#include "file/base64.h"
#include "file/path_name.h"
#include "file/picture.h"
#include "file/template_reader.h"
#include "file/value_format.h"
#include "model/barcode_settings.h"
#include "model/status_text.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <stdexcept>
#include <vector>

namespace ordavel::cli {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

enum class Kind { Int, Flag, Color, Text, Date, Symbology, Module, Ecc, Rotation };

// One type attribute: its file key, kind and where it lives in the box.
struct Field {
    const char* key;
    Kind kind;
    void* (*locate)(Box&);
};

#define ORDAVEL_FIELD(key, kind, member) Field{key, Kind::kind, [](Box& b) -> void* { return &(b.member); }}

const std::vector<Field> kFontGroup = {
    ORDAVEL_FIELD("B", Flag, attributes.font.bold),         ORDAVEL_FIELD("I", Flag, attributes.font.italic),
    ORDAVEL_FIELD("T", Flag, attributes.font.strikeOut),    ORDAVEL_FIELD("U", Flag, attributes.font.underline),
    ORDAVEL_FIELD("Font", Text, attributes.font.face),      ORDAVEL_FIELD("FontSize", Int, attributes.font.size),
};

std::vector<Field> withFont(std::vector<Field> before, std::vector<Field> after = {})
{
    before.insert(before.end(), kFontGroup.begin(), kFontGroup.end());
    before.insert(before.end(), after.begin(), after.end());
    return before;
}

// The attributes of each type in the order the file writes them.
const std::vector<Field>& typeFields(BoxType type)
{
    static const std::vector<Field> none;
    static const std::vector<Field> editBox = withFont({
        ORDAVEL_FIELD("IType", Int, attributes.inputMode),
        ORDAVEL_FIELD("MLine", Flag, attributes.multiLine),
        ORDAVEL_FIELD("Scrollbars", Int, attributes.scrollBars),
        ORDAVEL_FIELD("wValue", Text, attributes.text),
        ORDAVEL_FIELD("Color", Color, attributes.textColor),
    });
    static const std::vector<Field> label = withFont({
        ORDAVEL_FIELD("sType", Int, attributes.effect),
        ORDAVEL_FIELD("hAlign", Int, attributes.hAlign),
        ORDAVEL_FIELD("vAlign", Int, attributes.vAlign),
        ORDAVEL_FIELD("mLine", Flag, attributes.wordWrap),
        ORDAVEL_FIELD("bgColor", Color, attributes.bgColor),
        ORDAVEL_FIELD("wValue", Text, attributes.text),
        ORDAVEL_FIELD("Color", Color, attributes.textColor),
    });
    static const std::vector<Field> picBox = {
        ORDAVEL_FIELD("bgColor", Color, attributes.bgColor),
        ORDAVEL_FIELD("sType", Int, attributes.pictureMode),
    };
    static const std::vector<Field> shapeBox = {
        ORDAVEL_FIELD("xxType", Int, attributes.lineStyle), ORDAVEL_FIELD("xWidth", Int, attributes.lineWidth),
        ORDAVEL_FIELD("xtType", Int, attributes.lineEffect), ORDAVEL_FIELD("bgColor", Color, attributes.bgColor),
        ORDAVEL_FIELD("xtColor", Color, attributes.lineColor), ORDAVEL_FIELD("wxType", Int, attributes.shape),
    };
    static const std::vector<Field> datePicker = withFont({}, {
        ORDAVEL_FIELD("DateTime", Date, attributes.dateTime),
        ORDAVEL_FIELD("DTFormat", Int, dateFormat),
    });
    static const std::vector<Field> comboBox = withFont({}, {
        ORDAVEL_FIELD("Type", Int, attributes.listStyle),
        ORDAVEL_FIELD("cboItems", Text, comboItems),
        ORDAVEL_FIELD("wValue", Text, attributes.text),
    });
    static const std::vector<Field> colorPicker = {ORDAVEL_FIELD("Color", Color, attributes.color)};
    static const std::vector<Field> barcodeBox = withFont({
        ORDAVEL_FIELD("bcType", Symbology, attributes.barcode.symbology),
        ORDAVEL_FIELD("wValue", Text, attributes.text),
        ORDAVEL_FIELD("bcHRT", Flag, attributes.barcode.humanReadable),
        ORDAVEL_FIELD("bcModule", Module, attributes.barcode.moduleMm),
        ORDAVEL_FIELD("bcECC", Ecc, attributes.barcode.ecc),
        ORDAVEL_FIELD("bcRotate", Rotation, attributes.barcode.rotation),
        ORDAVEL_FIELD("Color", Color, attributes.textColor),
        ORDAVEL_FIELD("bgColor", Color, attributes.bgColor),
    });
    switch (type) {
    case BoxType::EditBox: return editBox;
    case BoxType::Label: return label;
    case BoxType::PicBox: return picBox;
    case BoxType::ShapeBox: return shapeBox;
    case BoxType::DatePicker: return datePicker;
    case BoxType::ComboBox: return comboBox;
    case BoxType::ColorPicker: return colorPicker;
    case BoxType::BarcodeBox: return barcodeBox;
    case BoxType::None: break;
    }
    return none;
}

#undef ORDAVEL_FIELD

const char* const kCommonKeys[] = {"index", "cType", "pPewW", "pX", "pY", "pW", "pH",
                                   "isPrint", "wX", "wY", "wW", "wH", "dataField", "cells", "cellYen", "shrinkToFit"};
const char* const kPageKeys[] = {"pageWidth", "pageHeight", "wWidth", "wHeight", "ImgShowType",
                                 "bgColor", "isPrintBgPic", "background", "boxes", "sheet"};

std::string isoDateTime(const DateTime& d)
{
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute,
                  d.second);
    return text;
}

ordered_json pictureJson(const std::string& bytes, const PictureExport& how, const std::string& stem)
{
    if (bytes.empty())
        return nullptr;
    if (how.mode == PictureExport::Mode::Embed)
        return {{"base64", encodeBase64(bytes)}};
    if (how.mode == PictureExport::Mode::Files) {
        const std::string extension = pictureExtension(bytes);
        const std::filesystem::path path =
            pathOfName(how.folder) / pathOfName(stem + "." + (extension.empty() ? "bin" : extension));
        std::error_code ignored;
        std::filesystem::create_directories(pathOfName(how.folder), ignored);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out)
            throw std::runtime_error("cannot write the picture file " + path.string());
        return {{"file", path.generic_string()}};
    }
    const QByteArray digest = QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                                       QCryptographicHash::Sha256);
    ordered_json picture;
    picture["bytes"] = bytes.size();
    picture["sha256"] = digest.toHex().toStdString();
    picture["extension"] = pictureExtension(bytes);
    return picture;
}

// --- reading JSON; every fault throws std::runtime_error with its description ---

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

long long integerIn(const json& value, const std::string& key, long long low, long long high)
{
    if (!value.is_number_integer())
        fail("\"" + key + "\" must be an integer");
    const long long v = value.is_number_unsigned() && value.get<unsigned long long>() >
                                                          static_cast<unsigned long long>(std::numeric_limits<long long>::max())
                            ? std::numeric_limits<long long>::max()
                            : value.get<long long>();
    if (v < low || v > high)
        fail("\"" + key + "\" is out of range");
    return v;
}

int intValue(const json& value, const std::string& key)
{
    return static_cast<int>(integerIn(value, key, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

Color colorValue(const json& value, const std::string& key)
{
    return static_cast<Color>(integerIn(value, key, 0, 0xFFFFFFFFLL));
}

bool flagValue(const json& value, const std::string& key)
{
    if (!value.is_boolean())
        fail("\"" + key + "\" must be true or false");
    return value.get<bool>();
}

// Centimetres, within the range the reader accepts.
double cmValue(const json& value, const std::string& key, double low)
{
    if (!value.is_number())
        fail("\"" + key + "\" must be a number");
    const double cm = value.get<double>();
    if (!(cm >= low && cm <= kMaxPaperCm))
        fail("\"" + key + "\" is out of range");
    return cm;
}

std::string textValue(const json& value, const std::string& key)
{
    if (!value.is_string())
        fail("\"" + key + "\" must be a string");
    return value.get<std::string>();
}

DateTime dateValue(const json& value, const std::string& key)
{
    const std::string text = textValue(value, key);
    DateTime d;
    char t = 0, end = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%c", &d.year, &d.month, &d.day, &t, &d.hour, &d.minute,
                    &d.second, &end) != 7 ||
        t != 'T' || text.size() != 19 || !isValidDateTime(d))
        fail("\"" + key + "\" must be a date-time \"YYYY-MM-DDTHH:MM:SS\" between the years 100 and 9999");
    return d;
}

std::string pictureBytes(const json& value, const std::string& key, const std::string& jsonFolder)
{
    if (value.is_null())
        return {};
    if (!value.is_object() || value.size() != 1 || !(value.contains("file") || value.contains("base64")))
        fail("\"" + key + "\" must be null, {\"file\": path} or {\"base64\": text}");
    if (value.contains("file")) {
        const std::filesystem::path path = pathOfName(jsonFolder) / pathOfName(textValue(value["file"], key + ".file"));
        auto bytes = readRegularFile(path.string(), kMaxPictureFileBytes);
        if (!bytes)
            fail("\"" + key + "\": cannot read the picture file " + path.string());
        return std::move(*bytes);
    }
    const std::string text = textValue(value["base64"], key + ".base64");
    std::string bytes = decodeBase64(text);
    if (encodeBase64(bytes) != text)
        fail("\"" + key + "\": not standard Base64");
    return bytes;
}

void readField(const Field& field, const json& value, Box& b)
{
    void* where = field.locate(b);
    switch (field.kind) {
    case Kind::Int: *static_cast<int*>(where) = intValue(value, field.key); break;
    case Kind::Flag: *static_cast<bool*>(where) = flagValue(value, field.key); break;
    case Kind::Color: *static_cast<Color*>(where) = colorValue(value, field.key); break;
    case Kind::Text: *static_cast<std::string*>(where) = textValue(value, field.key); break;
    case Kind::Date: *static_cast<DateTime*>(where) = dateValue(value, field.key); break;
    case Kind::Symbology: {
        const auto symbology = symbologyFromName(textValue(value, field.key));
        if (!symbology)
            fail("\"" + std::string(field.key) + "\" must be Code128, EAN13, Code39, QR, DataMatrix or PDF417");
        *static_cast<Symbology*>(where) = *symbology;
        break;
    }
    case Kind::Module:
        if (!value.is_number() || !(value.get<double>() >= 0.0 && value.get<double>() <= kMaxPaperCm * 10.0))
            fail("\"" + std::string(field.key) + "\" must be a module width in mm, 0 for automatic");
        *static_cast<double*>(where) = value.get<double>();
        break;
    case Kind::Ecc: {
        const auto ecc = eccFromName(textValue(value, field.key));
        if (!ecc)
            fail("\"" + std::string(field.key) + "\" must be L, M, Q or H");
        *static_cast<QrEcc*>(where) = *ecc;
        break;
    }
    case Kind::Rotation:
        if (!value.is_number_integer() || !isValidRotation(value.get<int>()))
            fail("\"" + std::string(field.key) + "\" must be 0, 90, 180 or 270");
        *static_cast<int*>(where) = value.get<int>();
        break;
    }
}

ordered_json fieldJson(const Field& field, Box& b)
{
    void* where = field.locate(b);
    switch (field.kind) {
    case Kind::Int: return *static_cast<int*>(where);
    case Kind::Flag: return *static_cast<bool*>(where);
    case Kind::Color: return *static_cast<Color*>(where);
    case Kind::Text: return *static_cast<std::string*>(where);
    case Kind::Date: return isoDateTime(*static_cast<DateTime*>(where));
    case Kind::Symbology: return std::string(symbologyName(*static_cast<Symbology*>(where)));
    case Kind::Module: return *static_cast<double*>(where);
    case Kind::Ecc: return std::string(eccName(*static_cast<QrEcc*>(where)));
    case Kind::Rotation: return *static_cast<int*>(where);
    }
    return nullptr;
}

void readBox(const json& box, std::set<int>& taken, const std::string& jsonFolder, Document& doc)
{
    if (!box.is_object())
        fail("every entry of \"boxes\" must be an object");
    if (!box.contains("cType"))
        fail("a box needs \"cType\"");
    const BoxType type = boxTypeFromCode(intValue(box["cType"], "cType"));
    if (type == BoxType::None)
        fail("\"cType\" must be 1 to 8");
    const std::vector<Field>& fields = typeFields(type);
    for (const auto& [key, value] : box.items()) {
        const bool known = std::find(std::begin(kCommonKeys), std::end(kCommonKeys), key) != std::end(kCommonKeys) ||
                           std::any_of(fields.begin(), fields.end(), [&](const Field& f) { return key == f.key; }) ||
                           (type == BoxType::PicBox && key == "picture") ||
                           (type == BoxType::ComboBox && key == "items");
        if (!known)
            fail("unknown key \"" + key + "\" in a box of cType " + std::to_string(boxTypeCode(type)));
    }
    int index = 0;
    if (box.contains("index")) {
        index = static_cast<int>(integerIn(box["index"], "index", 1, kMaxLoadedBoxes));
        doc.ensureSlotCount(index);
        if (doc.box(index).inUse)
            fail("slot " + std::to_string(index) + " is given twice");
    } else {
        index = doc.allocateSlot();
    }
    if (!taken.insert(index).second)
        fail("slot " + std::to_string(index) + " is given twice");

    auto pixels = [&](const char* key) {
        return box.contains(key) ? static_cast<int>(integerIn(box[key], key, -kMaxBoardPixels, kMaxBoardPixels)) : 0;
    };
    doc.createBox(index, type, pixels("wX"), pixels("wY"), pixels("wW"), pixels("wH"));
    Box& b = doc.box(index);
    auto cm = [&](const char* key, double& out) {
        if (box.contains(key))
            out = cmValue(box[key], key, -kMaxPaperCm);
    };
    cm("pX", b.printRect.left);
    cm("pY", b.printRect.top);
    cm("pW", b.printRect.width);
    cm("pH", b.printRect.height);
    if (box.contains("isPrint"))
        b.isPrint = flagValue(box["isPrint"], "isPrint");
    if (box.contains("pPewW"))
        b.followsEdit = flagValue(box["pPewW"], "pPewW");
    for (const Field& field : fields)
        if (box.contains(field.key))
            readField(field, box[field.key], b);
    if (box.contains("dataField"))
        b.dataField = textValue(box["dataField"], "dataField");
    if (type == BoxType::EditBox || type == BoxType::Label) {
        if (box.contains("cells")) {
            b.attributes.cellCount = intValue(box["cells"], "cells");
            if (b.attributes.cellCount < 0 || b.attributes.cellCount > kMaxCells)
                fail("\"cells\" must be 0 to " + std::to_string(kMaxCells));
        }
        if (box.contains("cellYen"))
            b.attributes.yenBeforeFirst = b.attributes.cellCount > 0 && flagValue(box["cellYen"], "cellYen");
        if (box.contains("shrinkToFit")) {
            b.attributes.shrinkToFit = intValue(box["shrinkToFit"], "shrinkToFit");
            if (b.attributes.shrinkToFit < 0 || b.attributes.shrinkToFit > kMaxShrinkToFit)
                fail("\"shrinkToFit\" must be 0 to " + std::to_string(kMaxShrinkToFit));
        }
    }
    if (type == BoxType::PicBox && box.contains("picture"))
        b.attributes.picture = pictureBytes(box["picture"], "picture", jsonFolder);
    if (type == BoxType::ComboBox) {
        // The file stores the list as cboItems; either key gives it, both must agree.
        if (box.contains("items")) {
            if (!box["items"].is_array())
                fail("\"items\" must be an array of strings");
            b.attributes.items.clear();
            for (const json& item : box["items"])
                b.attributes.items.push_back(textValue(item, "items"));
            if (box.contains("cboItems") && b.comboItems != formatComboItems(b.attributes.items))
                fail("\"cboItems\" and \"items\" disagree");
            b.comboItems = formatComboItems(b.attributes.items);
        } else {
            b.attributes.items = readComboItems(b.comboItems);
        }
    }
    doc.deselect(index);
}

} // namespace

nlohmann::ordered_json documentToJson(const Document& doc, const PictureExport& pictures)
{
    const PageSettings& page = doc.page();
    ordered_json out;
    // Through the shortest text, so that 29.7f is written 29.7 and reads back as the same float.
    out["pageWidth"] = std::stod(shortestFloat(page.pageWidth));
    out["pageHeight"] = std::stod(shortestFloat(page.pageHeight));
    out["wWidth"] = page.boardWidth;
    out["wHeight"] = page.boardHeight;
    out["ImgShowType"] = page.imgShowType;
    out["bgColor"] = page.bgColor;
    out["isPrintBgPic"] = page.isPrintBgPic;
    out["background"] = pictureJson(page.background, pictures, "background");
    if (page.sheet.active())
        out["sheet"] = sheetLayoutText(page.sheet);
    ordered_json boxes = ordered_json::array();
    for (int index : doc.liveIndices()) {
        Box b = doc.box(index);
        ordered_json box;
        box["index"] = index;
        box["cType"] = boxTypeCode(b.type);
        box["pPewW"] = b.followsEdit;
        box["pX"] = b.printRect.left;
        box["pY"] = b.printRect.top;
        box["pW"] = b.printRect.width;
        box["pH"] = b.printRect.height;
        box["isPrint"] = b.isPrint;
        box["wX"] = b.editRect.left;
        box["wY"] = b.editRect.top;
        box["wW"] = b.editRect.width;
        box["wH"] = b.editRect.height;
        for (const Field& field : typeFields(b.type))
            box[field.key] = fieldJson(field, b);
        if (b.type == BoxType::PicBox)
            box["picture"] = pictureJson(b.attributes.picture, pictures, "picture" + std::to_string(index));
        if (b.type == BoxType::ComboBox)
            box["items"] = b.attributes.items;
        if (!b.dataField.empty())
            box["dataField"] = b.dataField;
        if (b.attributes.cellCount > 0 && (b.type == BoxType::EditBox || b.type == BoxType::Label)) {
            box["cells"] = b.attributes.cellCount;
            box["cellYen"] = b.attributes.yenBeforeFirst;
        }
        if (b.attributes.shrinkToFit > 0 && (b.type == BoxType::EditBox || b.type == BoxType::Label))
            box["shrinkToFit"] = b.attributes.shrinkToFit;
        boxes.push_back(std::move(box));
    }
    out["boxes"] = std::move(boxes);
    return out;
}

std::string documentFromJson(const nlohmann::json& in, const std::string& jsonFolder, Document& doc)
{
    try {
        if (!in.is_object())
            fail("the document must be a JSON object");
        for (const auto& [key, value] : in.items())
            if (std::find(std::begin(kPageKeys), std::end(kPageKeys), key) == std::end(kPageKeys))
                fail("unknown key \"" + key + "\"");
        PageSettings& page = doc.page();
        if (in.contains("pageWidth"))
            page.pageWidth = static_cast<float>(cmValue(in["pageWidth"], "pageWidth", 0.0));
        if (in.contains("pageHeight"))
            page.pageHeight = static_cast<float>(cmValue(in["pageHeight"], "pageHeight", 0.0));
        if (in.contains("wWidth"))
            page.boardWidth = static_cast<int>(integerIn(in["wWidth"], "wWidth", 0, kMaxBoardPixels));
        if (in.contains("wHeight"))
            page.boardHeight = static_cast<int>(integerIn(in["wHeight"], "wHeight", 0, kMaxBoardPixels));
        if (in.contains("ImgShowType"))
            page.imgShowType = intValue(in["ImgShowType"], "ImgShowType");
        if (in.contains("bgColor"))
            page.bgColor = colorValue(in["bgColor"], "bgColor");
        if (in.contains("isPrintBgPic"))
            page.isPrintBgPic = flagValue(in["isPrintBgPic"], "isPrintBgPic");
        if (in.contains("background"))
            page.background = pictureBytes(in["background"], "background", jsonFolder);
        if (in.contains("sheet")) {
            const auto sheet = readSheetLayout(textValue(in["sheet"], "sheet"));
            if (!sheet)
                fail("\"sheet\" must be \"W,H,COLUMNS,ROWS,LEFT,TOP,STEPX,STEPY\" in cm, 1 to 50 columns and rows");
            page.sheet = *sheet;
        }
        if (in.contains("boxes")) {
            if (!in["boxes"].is_array())
                fail("\"boxes\" must be an array");
            if (in["boxes"].size() > static_cast<std::size_t>(kMaxLoadedBoxes))
                fail("too many boxes");
            std::set<int> taken;
            for (const json& box : in["boxes"])
                readBox(box, taken, jsonFolder, doc);
        }
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

} // namespace ordavel::cli
