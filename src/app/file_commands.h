#pragma once
// The file commands of the file toolbar and the window's close prompt: New,
// Open, Save, Save As, Exit, each asking to save unsaved changes first.
// Messages and file choosers go through the window's prompter.

#include <optional>
#include <string>

namespace ordavel {

class MainWindow;
struct FileChoice;

inline constexpr const char* kTemplateFilter = "Ordavel文件(*.oxf)|*.oxf|所有文件(*.*)|*.*";
inline constexpr const char* kSaveChangesQuestion = "是否保存对文件的修改?";

class FileCommands {
public:
    explicit FileCommands(MainWindow& window) : m_window(window) {}

    // Whether a command may go on: asks to save a modified document
    // (Yes/No/Cancel under `caption`); Yes saves, through the save chooser when
    // untitled. Cancelling the chooser or a failed save (the writer has shown
    // why) stops the command, so the unsaved document is never dropped.
    // The choosers start in the open template's folder, else the one used
    // last, else the user's documents (chooserStartFolder).
    bool confirmDiscard(const char* caption);

    void newDocument();
    void open();
    // A template of the "最近打开" list: opened like Open's choice; one that
    // no longer exists is taken off the list with a note instead.
    void openRecent(const std::string& fileName);
    void save();
    void saveAs();
    // Exit: true when the program may end.
    bool exitRequested();
    // The window's close box: true when the window may close.
    bool closeRequested();

private:
    // Saves to the document's name, or asks for one; false when the chooser was
    // cancelled or the file could not be written.
    bool saveWithName();
    std::optional<std::string> choose(const char* objectTitle, bool save);

    MainWindow& m_window;
};

} // namespace ordavel
