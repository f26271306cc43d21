#pragma once
// Writes the document as a template file: the background picture, one
// segment per live picture box in slot order, then the separator and the
// Base64 text of the GBK XML description.

#include "file/template_result.h"
#include "model/document.h"
#include "model/message.h"

#include <optional>
#include <string>

namespace ordavel {

// The complete file bytes of the document, or nothing when a picture (the
// background or a picture box's) holds the segment separator: such a file
// would load wrong, so the save is refused with a message through sink
// (caption "保存文件"). Calls doc.yieldNow() after each slot; the walk works on
// indices and re-checks every slot, so events run by the yield may change boxes.
std::optional<std::string> templateBytes(const Document& doc, MessageSink& sink);

// Writes templateBytes to fileName through a temporary file beside it that
// then replaces the target (replaceFile: a symbolic link is followed and kept,
// a read-only file is refused), so a failed save leaves an existing file as
// it was. Success: the document is marked not modified (setTitle(false)) and
// true comes back. A file that cannot be created or written is reported as
// "创建文件失败，请重试。\r\n（" + fileName + "）" (caption "保存文件"); the document
// stays modified and false comes back. fileName is UTF-8.
bool saveDocument(Document& doc, const std::string& fileName, MessageSink& sink);

// saveDocument with the reason of a failure: Refused (a picture holds the
// separator) or the file system's (permission denied, disk full, is a folder,
// no such folder, a link to nothing). The messages are the same.
TemplateResult saveDocumentFile(Document& doc, const std::string& fileName, MessageSink& sink);

} // namespace ordavel
