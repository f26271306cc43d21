#include "platform/file_history.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>

namespace ordavel {

namespace {

const QString kLastFolderKey = QStringLiteral("files/lastFolder");
const QString kRecentKey = QStringLiteral("files/recent");

// Paths are kept as UTF-8 text, the way the rest of the program names files.
QString q(const std::string& text) { return QString::fromStdString(text); }

bool isFolder(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

} // namespace

std::string FileHistory::defaultPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return (base + QStringLiteral("/ordavel/files.ini")).toStdString();
}

FileHistory::FileHistory(std::string path) : m_path(std::move(path)) {}

std::string FileHistory::lastFolder() const
{
    const QSettings settings(q(m_path), QSettings::IniFormat);
    return settings.value(kLastFolderKey).toString().toStdString();
}

void FileHistory::rememberFolderOf(const std::string& chosenFile)
{
    const QString folder = QFileInfo(q(chosenFile)).absolutePath();
    QSettings settings(q(m_path), QSettings::IniFormat);
    if (settings.value(kLastFolderKey).toString() != folder)
        settings.setValue(kLastFolderKey, folder);
}

std::vector<std::string> FileHistory::recentTemplates() const
{
    const QSettings settings(q(m_path), QSettings::IniFormat);
    std::vector<std::string> files;
    for (const QString& file : settings.value(kRecentKey).toStringList()) {
        if (!file.isEmpty() && static_cast<int>(files.size()) < kRecentCount)
            files.push_back(file.toStdString());
    }
    return files;
}

void FileHistory::storeRecent(const std::vector<std::string>& files)
{
    QStringList list;
    for (const std::string& file : files)
        list.append(q(file));
    QSettings settings(q(m_path), QSettings::IniFormat);
    settings.setValue(kRecentKey, list);
}

void FileHistory::addRecentTemplate(const std::string& file)
{
    std::vector<std::string> files = recentTemplates();
    files.erase(std::remove(files.begin(), files.end(), file), files.end());
    files.insert(files.begin(), file);
    if (static_cast<int>(files.size()) > kRecentCount)
        files.resize(kRecentCount);
    storeRecent(files);
}

void FileHistory::removeRecentTemplate(const std::string& file)
{
    std::vector<std::string> files = recentTemplates();
    const auto kept = std::remove(files.begin(), files.end(), file);
    if (kept == files.end())
        return;
    files.erase(kept, files.end());
    storeRecent(files);
}

std::string documentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return (isFolder(documents) ? documents : QDir::homePath()).toStdString();
}

std::string chooserStartFolder(const std::string& openTemplate, const FileHistory& history)
{
    if (!openTemplate.empty()) {
        const QString folder = QFileInfo(q(openTemplate)).absolutePath();
        if (isFolder(folder))
            return folder.toStdString();
    }
    const QString last = q(history.lastFolder());
    if (isFolder(last))
        return last.toStdString();
    return documentsFolder();
}

std::optional<std::string> chooseFileFrom(Prompter& prompter, FileChoice choice, const std::string& openTemplate,
                                          bool save, FileHistory history)
{
    choice.initialFolder = chooserStartFolder(openTemplate, history);
    std::optional<std::string> chosen = save ? prompter.chooseSaveFile(choice) : prompter.chooseOpenFile(choice);
    if (chosen && !chosen->empty())
        history.rememberFolderOf(*chosen);
    return chosen;
}

std::vector<std::string> sampleFolders()
{
    // Installed beside the program (share/ordavel/samples next to bin/), in
    // the system's data folders, or, in a Windows folder, next to the program.
    const QString program = QCoreApplication::applicationDirPath();
    QStringList candidates{program + QStringLiteral("/../share/ordavel/samples"), program + QStringLiteral("/samples")};
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        candidates.append(data + QStringLiteral("/ordavel/samples"));
    std::vector<std::string> folders;
    for (const QString& candidate : candidates) {
        const QString folder = QDir(candidate).canonicalPath();
        if (isFolder(folder) && std::find(folders.begin(), folders.end(), folder.toStdString()) == folders.end())
            folders.push_back(folder.toStdString());
    }
    return folders;
}

std::vector<std::string> sampleTemplates()
{
    std::vector<std::string> files;
    for (const std::string& folder : sampleFolders()) {
        const QDir dir(q(folder));
        for (const QString& name : dir.entryList({QStringLiteral("*.oxf")}, QDir::Files, QDir::Name))
            files.push_back(dir.filePath(name).toStdString());
    }
    return files;
}

} // namespace ordavel
