#include "app/file_commands.h"

#include "app/main_window.h"
#include "file/template_writer.h"
#include "platform/file_history.h"
#include "platform/prompter.h"

#include <QFileInfo>

namespace ordavel {

std::optional<std::string> FileCommands::choose(const char* title, bool save)
{
    FileChoice choice;
    choice.title = title;
    choice.filter = kTemplateFilter;
    choice.defaultExtension = ".oxf";
    return chooseFileFrom(m_window.prompter(), choice, m_window.document().fileName(), save);
}

bool FileCommands::saveWithName()
{
    Document& doc = m_window.document();
    if (doc.fileName().empty()) {
        const std::optional<std::string> name = choose("保存文件", true);
        if (!name)
            return false;
        doc.setFileName(*name);
    }
    return saveDocument(doc, doc.fileName(), m_window.prompter());
}

bool FileCommands::confirmDiscard(const char* caption)
{
    if (!m_window.document().modified())
        return true;
    const MessageAnswer answer = m_window.prompter().show(
        Message{kSaveChangesQuestion, caption, MessageIcon::Question, MessageButtons::YesNoCancel});
    if (answer == MessageAnswer::Cancel)
        return false;
    if (answer == MessageAnswer::Yes)
        return saveWithName();
    return true;
}

void FileCommands::newDocument()
{
    if (confirmDiscard("新建文件"))
        m_window.resetDocument();
}

void FileCommands::open()
{
    if (!confirmDiscard("打开文件"))
        return;
    const std::optional<std::string> name = choose("打开文件", false);
    // The file already open is neither reloaded nor reset.
    if (!name || *name == m_window.document().fileName())
        return;
    m_window.openTemplate(*name);
}

void FileCommands::openRecent(const std::string& fileName)
{
    FileHistory history;
    if (!QFileInfo(QString::fromStdString(fileName)).isFile()) {
        history.removeRecentTemplate(fileName);
        m_window.prompter().show(Message{"找不到文件“" + fileName + "”，已把它从最近打开的列表中删除。", "打开文件",
                                         MessageIcon::Exclamation, MessageButtons::Ok});
        return;
    }
    if (!confirmDiscard("打开文件") || fileName == m_window.document().fileName())
        return;
    m_window.openTemplate(fileName);
}

void FileCommands::save() { saveWithName(); }

void FileCommands::saveAs()
{
    const std::optional<std::string> name = choose("另存为...", true);
    if (!name)
        return;
    Document& doc = m_window.document();
    doc.setFileName(*name);
    if (saveDocument(doc, *name, m_window.prompter()))
        FileHistory().addRecentTemplate(*name);
}

bool FileCommands::exitRequested() { return confirmDiscard("退出程序"); }

bool FileCommands::closeRequested() { return confirmDiscard("退出程序"); }

} // namespace ordavel
