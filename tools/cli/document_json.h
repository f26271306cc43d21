#pragma once
// The JSON form of a document used by `ordavel-cli dump` and `build`.
//
// Top level: pageWidth, pageHeight (numbers; the shortest decimal that reads
// back to the same single-precision value), wWidth, wHeight, ImgShowType,
// bgColor (numbers), isPrintBgPic (boolean), background (null or a picture
// object), boxes (array in BoxList order). Each box: index, cType, pPewW, pX,
// pY, pW, pH, isPrint, wX, wY, wW, wH, then the attributes of its type under
// their file names (flags as booleans, integers and colours as numbers, texts
// as UTF-8 strings, DateTime as "YYYY-MM-DDTHH:MM:SS"); a picture box adds
// picture (null or a picture object), a combo box adds items (the list).
// A picture object as written: {"bytes": n, "sha256": "<hex>", "extension":
// "jpg"|"gif"|"bmp"|""}; as read it may instead be {"file": "<path relative
// to the JSON file>"} or {"base64": "<standard Base64>"}; dump writes those
// two forms too when asked (PictureExport), so that its output builds back.

#include "model/document.h"

#include <nlohmann/json.hpp>

#include <string>

namespace ordavel::cli {

// How documentToJson gives picture bytes: described (size, digest, type; not
// readable by build), embedded as Base64, or written as files into `folder`
// ("background.EXT", "picture<index>.EXT") and named there as "folder/NAME".
struct PictureExport {
    enum class Mode { Describe, Embed, Files };
    Mode mode = Mode::Describe;
    std::string folder;
};

// Throws std::runtime_error when a picture file cannot be written.
nlohmann::ordered_json documentToJson(const Document& doc, const PictureExport& pictures = {});

// Fills doc (a new document) from json. A missing key keeps the model's
// initial value; `index` chooses the slot (so gaps can be made) and a box
// without it takes the first free slot. Returns "" on success, else a short
// English description of the first fault (unknown key, wrong type, value out
// of range, unreadable picture file, slot taken twice, bad Base64).
std::string documentFromJson(const nlohmann::json& json, const std::string& jsonFolder, Document& doc);

} // namespace ordavel::cli
