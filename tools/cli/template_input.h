#pragma once
// Loading the template a command works on, with the loader's messages on stderr.

#include "model/document.h"

#include <string>

namespace ordavel::cli {

// Loads `fileName` into `doc`; false (after the messages and a line with the
// reason: no such file, is a folder, permission denied, not a template,
// damaged) when it cannot be loaded. The background temporary file the loader makes is removed at once:
// the commands keep the picture in memory.
bool loadTemplate(Document& doc, const std::string& fileName);

// A positive decimal integer, or 0 when `text` is anything else.
int parsePositive(const std::string& text);

} // namespace ordavel::cli
