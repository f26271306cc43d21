#pragma once
// The comma form of a drop-down list's items: each item preceded by one comma
// (",X,Y,Z"), the empty text for no items, no escaping. Written with
// formatComboItems of file/value_format.h.

#include <string>
#include <vector>

namespace ordavel {

// Splits at every comma (the dialog's reading; the file's is readComboItems of
// file/value_format.h) and drops the part before the first one; the part
// after the last comma counts only when it is not empty. ",X,,Y" gives X, "", Y.
std::vector<std::string> splitComboItems(const std::string& text);
// True when nothing is left after removing ASCII and full-width blanks at both ends.
bool isBlankItem(const std::string& text);

} // namespace ordavel
