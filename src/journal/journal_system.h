#pragma once
// What the journal asks of the system: who prints on which machine, where the
// journal lives by default, whether a disk is full. journal_system.cpp is the
// POSIX version, journal_system_windows.cpp the Windows one.

#include <string>

namespace ordavel::journal_system {

// The user's login name, or a number standing for it.
std::string userName();
// The machine's name; empty when it cannot be had.
std::string hostName();
long processId();
// The journal file of this user, in UTF-8.
std::string defaultJournalPath();
// Whether the disk holding `folder` (UTF-8) has no space left for this user.
bool diskFull(const std::string& folder);

} // namespace ordavel::journal_system
