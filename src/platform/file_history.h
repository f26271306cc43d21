#pragma once
// What the designer remembers of the user's files across runs: the folder a
// file was last chosen in and the templates opened last, newest first. They
// live in a small ini file of their own, $XDG_CONFIG_HOME/ordavel/files.ini
// (~/.config when the variable is unset), read and written on every call.

#include "platform/prompter.h"

#include <optional>
#include <string>
#include <vector>

namespace ordavel {

class FileHistory {
public:
    static constexpr int kRecentCount = 10;

    // The file the history lives in. The one place that knows it.
    static std::string defaultPath();

    explicit FileHistory(std::string path = defaultPath());

    const std::string& path() const { return m_path; }

    // The folder a file was last chosen in; empty when none is known.
    std::string lastFolder() const;
    // Remembers the folder of `chosenFile` (an absolute path).
    void rememberFolderOf(const std::string& chosenFile);

    // The templates opened last, newest first, at most kRecentCount.
    std::vector<std::string> recentTemplates() const;
    // Puts `file` first, dropping an earlier entry of it and the oldest beyond
    // kRecentCount.
    void addRecentTemplate(const std::string& file);
    void removeRecentTemplate(const std::string& file);

private:
    void storeRecent(const std::vector<std::string>& files);

    std::string m_path;
};

// The user's documents folder (the home folder when there is none).
std::string documentsFolder();

// The folder a file chooser starts in: that of the open template (when it
// has a name and the folder exists), else the folder last used (when it
// exists), else the user's documents folder.
std::string chooserStartFolder(const std::string& openTemplate, const FileHistory& history);

// A file chooser of `prompter` (save or open) that starts in
// chooserStartFolder(openTemplate, history); the chosen file's folder is
// remembered as the last one. Nothing when cancelled.
std::optional<std::string> chooseFileFrom(Prompter& prompter, FileChoice choice, const std::string& openTemplate,
                                          bool save = false, FileHistory history = FileHistory());

// The folders the installed sample templates may be in, those that exist.
std::vector<std::string> sampleFolders();
// The sample templates (*.oxf) of sampleFolders(), sorted by name.
std::vector<std::string> sampleTemplates();

} // namespace ordavel
