#pragma once
// Start-up of the designer: splash, main window placement and factors, the
// empty first document, the command line, then the event loop.

#include <string>
#include <vector>

namespace ordavel {

// Needs a QApplication. Returns the program's exit status.
int runDesigner(const std::vector<std::string>& args);

} // namespace ordavel
