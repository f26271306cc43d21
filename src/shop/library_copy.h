#pragma once
// A template of the shop's library taken out to open: the chosen revision's
// bytes, exactly, in the station's own library folder
// ($XDG_DATA_HOME/ordavel/library/NAME.oxf, beside the journal file).

#include "journal/journal.h"

#include <string>
#include <string_view>

namespace ordavel {

// Whether `name` can name a template of the library: what a file name may be
// without its folder. Not empty, at most 255 bytes, no '/', '\\' or "..", no
// control characters, and not starting with '.'.
bool isLibraryName(std::string_view name);

// The folder the library's templates are written into to be opened.
std::string libraryCopyFolder(const std::string& journalPath = Journal::defaultPath());

struct LibraryCopy {
    std::string path;  // the file written
    std::string error; // why nothing was written ("" when it was)
};

// Writes revision `revision` of `name` (its latest for 0) from `shop`'s
// library to `folder`/NAME.oxf, replacing an earlier copy. A name the
// library should never hold (isLibraryName) is refused before anything is
// read.
LibraryCopy copyFromLibrary(Journal& shop, const std::string& name, int revision,
                            const std::string& folder = libraryCopyFolder());

} // namespace ordavel
