#pragma once
// Reads a template file into the document.
//
// The caller has reset the document (newDocument) and stored the file name
// (setFileName); loading only adds to the empty document. Messages go through
// sink with caption "打开文件":
//  - the file cannot be read, has fewer than two segments (no background and
//    description pair), or its description is not XML: "打开文件失败。\r\n文件名：("
//    + fileName + ")"; the document is reset, put in EditMode, false;
//  - more picture boxes than picture segments: "文件格式已经损坏，加载失败。"; the
//    document is reset and left in DesignMode, false;
//  - a picture box's bgImage names no readable regular file in the template's
//    folder (an absolute name, "..", or a symbolic link leading out of the
//    folder counts as missing): " 图片框的图片文件不存在，不能读入。" and loading
//    goes on. The file is checked, not read: the box's picture segment
//    replaces its bytes anyway.
// On success the document is not modified, in EditMode, and true comes back.
//
// Damaged or hostile input never yields more than these outcomes:
//  - a description with more than kMaxLoadedBoxes box elements of a known
//    type counts as not XML (open failure) before any box is made;
//  - box elements whose cType is outside 1..7 are skipped: they take no slot
//    and no picture segment;
//  - board sizes are clamped to 0..kMaxBoardPixels, box positions and sizes
//    to -kMaxBoardPixels..kMaxBoardPixels, paper sizes to 0..kMaxPaperCm and
//    PrintRect values to -kMaxPaperCm..kMaxPaperCm;
//  - the template file is read only when it is a regular file of at most
//    kMaxTemplateBytes, a bgImage picture at most kMaxPictureFileBytes.
// A background picture is written to a new background temporary file whose
// path goes to page().backgroundTempPath (a previous one held there is deleted).

#include "file/template_result.h"
#include "model/document.h"
#include "model/message.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ordavel {

inline constexpr int kMaxLoadedBoxes = 100000;
inline constexpr int kMaxBoardPixels = 32767;
inline constexpr double kMaxPaperCm = 10000.0;
inline constexpr std::uint64_t kMaxTemplateBytes = std::uint64_t{1} << 30;
inline constexpr std::uint64_t kMaxPictureFileBytes = std::uint64_t{256} << 20;

// Asked after each box (right after the document's yield); true stops the
// load: the document is reset to an empty untitled one, in EditMode, without
// a message, and false comes back.
using LoadCancelled = std::function<bool()>;

// fileName is UTF-8; it names the file read and appears in messages.
bool loadDocument(Document& doc, const std::string& fileName, MessageSink& sink,
                  const LoadCancelled& cancelled = {});

// loadDocument with the reason of a failure: the file system's (missing, a
// folder, permission denied, too large), NotATemplate, Damaged or Cancelled.
// The messages are the same.
TemplateResult loadDocumentFile(Document& doc, const std::string& fileName, MessageSink& sink,
                                const LoadCancelled& cancelled = {});

// The same from file bytes already in memory; fileName is used for messages
// and as the folder in which bgImage names are looked up.
bool loadDocumentFromBytes(Document& doc, std::string_view bytes, const std::string& fileName, MessageSink& sink,
                           const LoadCancelled& cancelled = {});

} // namespace ordavel
