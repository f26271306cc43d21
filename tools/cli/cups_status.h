#pragma once
// Whether CUPS took the job a QPrinter sent. Qt's CUPS print engine hands the
// job to the scheduler when the painter ends and drops the scheduler's answer;
// that answer stays behind as the thread's last CUPS status.

#include <string>

namespace ordavel::cli {

// Call right after QPainter::end() on a printer (not a file): empty when the
// scheduler accepted the job, otherwise its reason ("Destination \"Q\" is not
// accepting jobs.").
std::string cupsJobRefusal();

} // namespace ordavel::cli
