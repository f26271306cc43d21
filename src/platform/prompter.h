#pragma once
// Every message box, chooser and the print dialog go through one Prompter.
// The real one (QtPrompter) shows Qt dialogs; tests use a scripted one that
// records what was asked and returns planned answers.

#include "model/box.h"
#include "model/message.h"

#include <optional>
#include <string>
#include <vector>

class QPrinter;

namespace ordavel {

// A file chooser's settings. `filter` uses the "描述|模式|描述|模式" form of the
// program's own texts (e.g. "Ordavel文件(*.oxf)|*.oxf|所有文件(*.*)|*.*").
struct FileChoice {
    std::string title;
    std::string filter;
    std::string defaultExtension; // ".oxf"; added when the chosen name has none
    std::string initialFolder;    // empty: the folder the chooser used last
    std::string proposedName;     // file name shown at first (save choosers)
};

struct FontChoice {
    FontSpec font;
    Color color = kBlack;
};

class Prompter : public MessageSink {
public:
    // MessageSink::show(const Message&) shows a message box and returns the answer.

    // Full path of the chosen file, or nothing when cancelled.
    virtual std::optional<std::string> chooseOpenFile(const FileChoice& choice) = 0;
    virtual std::optional<std::string> chooseSaveFile(const FileChoice& choice) = 0;
    virtual std::optional<Color> chooseColor(Color initial, const std::string& title) = 0;
    virtual std::optional<FontChoice> chooseFont(const FontChoice& initial, const std::string& title) = 0;
    // The program's small text-input box: prompt, one field, OK, Cancel.
    virtual std::optional<std::string> askText(const std::string& prompt, const std::string& title,
                                               const std::string& initial) = 0;
    // The program's small choice box: prompt, a drop-down list of `items`
    // with entry `initial` (0-based) chosen at first, OK, Cancel. The chosen
    // entry's position, or nothing when cancelled.
    virtual std::optional<int> chooseItem(const std::string& prompt, const std::string& title,
                                          const std::vector<std::string>& items, int initial) = 0;
    // The print dialog (printer, copies). Configures `printer`; false when cancelled.
    virtual bool choosePrinter(QPrinter& printer) = 0;
};

} // namespace ordavel
