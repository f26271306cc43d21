#include "app/file_commands.h"

#include "app/main_window.h"
#include "file/template_writer.h"
#include "platform/prompter.h"

#include <QCoreApplication>

namespace ordavel {

std::optional<std::string> FileCommands::choose(const char* title, bool save, bool inProgramFolder)
{
    FileChoice choice;
    choice.title = title;
    choice.filter = kTemplateFilter;
    choice.defaultExtension = ".oxf";
    if (inProgramFolder)
        choice.initialFolder = QCoreApplication::applicationDirPath().toStdString();
    Prompter& prompter = m_window.prompter();
    return save ? prompter.chooseSaveFile(choice) : prompter.chooseOpenFile(choice);
}

bool FileCommands::saveWithName(bool chooserInProgramFolder)
{
    Document& doc = m_window.document();
    if (doc.fileName().empty()) {
        const std::optional<std::string> name = choose("保存文件", true, chooserInProgramFolder);
        if (!name)
            return false;
        doc.setFileName(*name);
    }
    return saveDocument(doc, doc.fileName(), m_window.prompter());
}

bool FileCommands::confirmDiscard(const char* caption, bool chooserInProgramFolder)
{
    if (!m_window.document().modified())
        return true;
    const MessageAnswer answer = m_window.prompter().show(
        Message{kSaveChangesQuestion, caption, MessageIcon::Question, MessageButtons::YesNoCancel});
    if (answer == MessageAnswer::Cancel)
        return false;
    if (answer == MessageAnswer::Yes)
        return saveWithName(chooserInProgramFolder);
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
    const std::optional<std::string> name = choose("打开文件", false, true);
    // The file already open is neither reloaded nor reset.
    if (!name || *name == m_window.document().fileName())
        return;
    m_window.openTemplate(*name);
}

void FileCommands::save() { saveWithName(true); }

void FileCommands::saveAs()
{
    const std::optional<std::string> name = choose("另存为...", true, false);
    if (!name)
        return;
    Document& doc = m_window.document();
    doc.setFileName(*name);
    saveDocument(doc, *name, m_window.prompter());
}

bool FileCommands::exitRequested() { return confirmDiscard("退出程序", false); }

bool FileCommands::closeRequested() { return confirmDiscard("退出程序", false); }

} // namespace ordavel
