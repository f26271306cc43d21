#pragma once
// What became of reading or writing a template file, for callers that say
// more than the user messages do (the command-line tool). The designer shows
// only the messages and may ignore it.

#include "file/file_system.h"

#include <string>

namespace ordavel {

struct TemplateResult {
    enum class Fault {
        None,
        File,         // the file system refused: see `file`
        NotATemplate, // no description segment, or the description is not XML
        Damaged,      // more picture boxes than picture segments
        Refused,      // not saved: a picture holds the segment separator
        Cancelled,    // the user stopped the load
    };
    Fault fault = Fault::None;
    FileStatus file; // set when fault is File

    bool ok() const { return fault == Fault::None; }
    static TemplateResult fromFile(const FileStatus& status)
    {
        return status.ok() ? TemplateResult{} : TemplateResult{Fault::File, status};
    }
};

// A short English reason such as "is a folder", "not a template" or
// "no space left on the disk"; "" for success.
std::string describeTemplateResult(const TemplateResult& result);

} // namespace ordavel
