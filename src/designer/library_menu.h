#pragma once
// The submenu "模板库" under the Open button's arrow, for a station of a
// shop: one entry per template of the shop's library, its latest revision
// and note, filled when the submenu opens.

#include "journal/journal.h"

#include <functional>
#include <string>
#include <vector>

class QMenu;

namespace ordavel {

// Fills `menu` anew from `listed`: "NAME  第N版  NOTE" per template (the
// note and when and by whom it was published as its tooltip);
// "（模板库里没有模板）" disabled when there is none, and the error disabled
// when the library could not be read. Choosing an entry calls `open` with
// the name and the revision shown.
void fillLibraryMenu(QMenu& menu, const JournalResult<std::vector<LibraryRevision>>& listed,
                     const std::function<void(const std::string& name, int revision)>& open);

} // namespace ordavel
