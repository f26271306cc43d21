#pragma once
// Every message and caption of opening and saving templates, defined once.
// Texts are UTF-8 and used byte for byte; file names are inserted as given.

#include "model/message.h"

#include <string>

namespace ordavel::messages {

inline constexpr const char* kOpenCaption = "打开文件";
inline constexpr const char* kSaveCaption = "保存文件";

// Opening: the file cannot be read, holds no description, or the description is not XML.
inline Message openFailed(const std::string& fileName)
{
    return {"打开文件失败。\r\n文件名：(" + fileName + ")", kOpenCaption, MessageIcon::Stop, MessageButtons::Ok};
}

// Opening: more picture boxes in the description than picture segments in the file.
inline Message fileDamaged()
{
    return {"文件格式已经损坏，加载失败。", kOpenCaption, MessageIcon::Stop, MessageButtons::Ok};
}

// Opening: a picture box's bgImage names a file that cannot be read (the text starts with a space).
inline Message pictureFileMissing()
{
    return {" 图片框的图片文件不存在，不能读入。", kOpenCaption, MessageIcon::Stop, MessageButtons::Ok};
}

// Saving: the XML document cannot be made (kept for completeness; our own XML layer cannot fail so).
inline Message xmlUnavailable()
{
    return {"保存文件失败(创建xml文档对象失败,请确认系统中安装有XML动态链接库)。", kSaveCaption,
            MessageIcon::Stop, MessageButtons::Ok};
}

// Saving: the file cannot be created or written.
inline Message createFailed(const std::string& fileName)
{
    return {"创建文件失败，请重试。\r\n（" + fileName + "）", kSaveCaption, MessageIcon::Stop, MessageButtons::Ok};
}

// Saving refused: the background picture holds the segment separator bytes and
// would cut the file apart when it is read again.
inline Message backgroundHoldsSeparator()
{
    return {"背景图片的数据中含有模板文件的分段标记，保存后将无法正确读入，因此没有保存。\r\n请换用其他图片文件后再保存。",
            kSaveCaption, MessageIcon::Stop, MessageButtons::Ok};
}

// Saving refused: the picture of picture box `index` holds the separator bytes.
inline Message pictureHoldsSeparator(int index)
{
    return {"图片框" + std::to_string(index) +
                "的图片数据中含有模板文件的分段标记，保存后将无法正确读入，因此没有保存。\r\n请换用其他图片文件后再保存。",
            kSaveCaption, MessageIcon::Stop, MessageButtons::Ok};
}

} // namespace ordavel::messages
