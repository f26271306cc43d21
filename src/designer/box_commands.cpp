#include "designer/box_commands.h"

#include "designer/box_view.h"
#include "designer/work_area.h"
#include "file/picture.h"
#include "file/template_reader.h"
#include "model/document.h"
#include "platform/file_history.h"
#include "platform/picture_decoder.h"
#include "platform/prompter.h"

#include <QWidget>

#include <vector>

namespace ordavel {

namespace {

constexpr const char* kClearAllCaption = "全部清除";

bool confirm(Prompter& prompter, const char* text)
{
    const Message question{text, kClearAllCaption, MessageIcon::Question, MessageButtons::YesNo};
    return prompter.show(question) == MessageAnswer::Yes;
}

// A failed picture command: `text` + "\r\n（" + path + "）", stop icon.
void reportFailure(Prompter& prompter, const char* text, const std::string& path, const char* caption)
{
    prompter.show(Message{text + std::string("\r\n（") + path + "）", caption, MessageIcon::Stop,
                          MessageButtons::Ok});
}

} // namespace

std::string proposedPictureName(int index, const std::string& pictureBytes)
{
    return "image" + std::to_string(index) + "." + pictureExtension(pictureBytes);
}

BoxCommands::BoxCommands(Document& doc, Prompter& prompter, WorkArea& area)
    : m_doc(doc), m_prompter(prompter), m_area(area)
{
}

int BoxCommands::addBox(BoxType type, int left, int top)
{
    return m_doc.addBox(type, left, top, kDefaultBoxWidth, kDefaultBoxHeight);
}

int BoxCommands::duplicate()
{
    const int current = m_doc.currentBoxIndex();
    if (current < 1 || current > m_doc.slotCount() || !m_doc.box(current).inUse)
        return 0;
    return m_doc.duplicateCurrent();
}

bool BoxCommands::deleteSelected()
{
    if (m_doc.selection().size() > 1 && !confirm(m_prompter, "确定要删除所选择的控件吗?"))
        return false;
    // Deleting deselects, which must not disturb the walk: work on a copy.
    const std::vector<int> selected = m_doc.selection();
    for (int index : selected)
        m_doc.deleteBox(index);
    m_doc.clearSelection();
    return true;
}

bool BoxCommands::deleteAll()
{
    if (!confirm(m_prompter, "确定要删除所有控件吗?"))
        return false;
    for (int index = 1; index <= m_doc.slotCount(); ++index) {
        if (!m_doc.box(index).inUse)
            continue;
        m_doc.deleteBox(index);
        m_doc.yieldNow();
    }
    m_doc.clearSelection();
    return true;
}

void BoxCommands::sendToBack()
{
    const int current = m_doc.currentBoxIndex();
    if (current < 1 || current > m_doc.slotCount() || !m_doc.box(current).inUse)
        return;
    m_doc.sendToBack(current); // the work area restacks the control
}

void BoxCommands::clearBackground()
{
    PageSettings& page = m_doc.page();
    page.background.clear();
    // The temporary copy belongs to the picture just dropped; nothing reads it again.
    if (!page.backgroundTempPath.empty())
        removeFileQuietly(page.backgroundTempPath);
    page.backgroundTempPath.clear();
    m_doc.notifyPageChanged();
    m_doc.setTitle(true);
}

Box* BoxCommands::currentPictureBox()
{
    const int current = m_doc.currentBoxIndex();
    if (current < 1 || current > m_doc.slotCount())
        return nullptr;
    Box& box = m_doc.box(current);
    return box.inUse && box.type == BoxType::PicBox ? &box : nullptr;
}

bool BoxCommands::setPicture()
{
    Box* box = currentPictureBox();
    if (!box)
        return false;
    const FileChoice choice{"选择图片文件", kPictureFilter, "", "", ""};
    const std::optional<std::string> path = chooseFileFrom(m_prompter, choice, m_doc.fileName());
    if (!path)
        return false;
    std::optional<std::string> bytes = readRegularFile(*path, kMaxPictureFileBytes);
    if (!bytes) {
        reportFailure(m_prompter, "读取图片文件失败，请重试。", *path, "设置图片");
        return false;
    }
    if (const std::string refusal = pictureRefusal(*path, *bytes); !refusal.empty()) {
        m_prompter.show(Message{refusal, "设置图片", MessageIcon::Exclamation, MessageButtons::Ok});
        return false;
    }
    box->picturePath = *path;
    box->attributes.picture = std::move(*bytes);
    m_doc.boxEdited(box->index);
    return true;
}

void BoxCommands::clearPicture()
{
    Box* box = currentPictureBox();
    if (!box)
        return;
    box->attributes.picture.clear();
    box->picturePath.clear();
    m_doc.boxEdited(box->index);
}

bool BoxCommands::savePictureAs()
{
    Box* box = currentPictureBox();
    if (!box || box->attributes.picture.empty())
        return false;
    const FileChoice choice{"图片另存为", kPictureFilter, "", "",
                            proposedPictureName(box->index, box->attributes.picture)};
    const std::optional<std::string> path = chooseFileFrom(m_prompter, choice, m_doc.fileName(), /*save=*/true);
    if (!path)
        return false;
    if (writeFileAtomically(*path, box->attributes.picture, nullptr))
        return true;
    reportFailure(m_prompter, "创建文件失败，请重试。", *path, "图片另存为");
    return false;
}

} // namespace ordavel
