#pragma once
// The question put before a print from the designer when the driver of the
// chosen printer would put the form through on another sheet than its paper.

#include "model/message.h"
#include "print/job_paper.h"

#include <optional>

class QPrinter;

namespace ordavel {

// True to print: nothing differs (or the output is a file), or the user
// answered "是" to the warning and "仍然打印吗？", captioned "打印文件".
bool paperAccepted(const QPrinter& printer, const std::optional<JobPaper>& paper, MessageSink& sink);

} // namespace ordavel
