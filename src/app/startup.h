#pragma once
// Start-up of the designer: splash, main window placement and factors, the
// empty first document, the command line, then the event loop.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace ordavel {

class MainWindow;
class Prompter;

struct Startup {
    std::unique_ptr<MainWindow> window;
    std::optional<int> exitStatus; // set when the command line ends the program
};

// Everything before the event loop. `windowMade` runs once the main window
// exists, before the command line (the real prompter parents its dialogs there).
Startup startDesigner(Prompter& prompter, const std::vector<std::string>& args,
                      const std::function<void(QWidget*)>& windowMade = {});

// Needs a QApplication. Returns the program's exit status.
int runDesigner(const std::vector<std::string>& args);

} // namespace ordavel
