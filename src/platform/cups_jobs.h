#pragma once
// What happened to a job Qt sent to CUPS. Qt's CUPS print engine hands the job
// to the scheduler when the painter ends, drops the scheduler's answer and
// cannot take a job back (QPrinter::abort does not stop it).

#include <ctime>
#include <string>

namespace ordavel {

// Call right after QPainter::end() on a printer (not a file): empty when the
// scheduler accepted the job, otherwise its reason ("Destination \"Q\" is not
// accepting jobs."). The answer is the calling thread's last CUPS status.
std::string cupsJobRefusal();

// Cancels this user's newest job on `printerName` that was sent at or after
// `sentSince` and has not finished yet: a print the user cancelled after Qt
// sent it. True when such a job was cancelled; false when there was none (it
// has already printed, or the printer is not a CUPS destination).
bool cancelJobSentSince(const std::string& printerName, std::time_t sentSince);

} // namespace ordavel
