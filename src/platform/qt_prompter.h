#pragma once
// The real Prompter: Qt message boxes, file, colour and font choosers, the
// text-input box and the print dialog, all modal over `parent`.

#include "platform/prompter.h"

#include <QString>

class QWidget;

namespace ordavel {

// "描述|模式|描述|模式" -> Qt's "描述 (模式);;…". Patterns separated by ';' become
// space-separated; "*.*" becomes "*" so that names without a dot are listed too.
// A description that already ends in its own "(patterns)" is not repeated.
QString qtFileFilter(const std::string& filter);

class QtPrompter : public Prompter {
public:
    // `parent` (not owned) parents every dialog; it may be null and may change.
    explicit QtPrompter(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    MessageAnswer show(const Message& message) override;
    std::optional<std::string> chooseOpenFile(const FileChoice& choice) override;
    std::optional<std::string> chooseSaveFile(const FileChoice& choice) override;
    std::optional<Color> chooseColor(Color initial, const std::string& title) override;
    std::optional<FontChoice> chooseFont(const FontChoice& initial, const std::string& title) override;
    std::optional<std::string> askText(const std::string& prompt, const std::string& title,
                                       const std::string& initial) override;
    std::optional<int> chooseItem(const std::string& prompt, const std::string& title,
                                  const std::vector<std::string>& items, int initial) override;
    bool choosePrinter(QPrinter& printer) override;

private:
    std::optional<std::string> chooseFile(const FileChoice& choice, bool save);

    QWidget* m_parent;
    QString m_lastOpenFolder;
    QString m_lastSaveFolder;
};

} // namespace ordavel
