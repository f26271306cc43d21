#pragma once
// What the journal asks of the system: who prints on which machine, where the
// journal lives by default, whether a disk is full. journal_system.cpp is the
// POSIX version, journal_system_windows.cpp the Windows one.

#include <optional>
#include <string>

namespace ordavel::journal_system {

// The user's login name, or a number standing for it.
std::string userName();
// The machine's name; empty when it cannot be had.
std::string hostName();
long processId();
// Whether a process with this id runs on this machine (one of another user's counts).
bool processRuns(long pid);
// The journal file of this user, in UTF-8.
std::string defaultJournalPath();
// Whether the disk holding `folder` (UTF-8) has no space left for this user.
bool diskFull(const std::string& folder);

// What tells one file from every other on the machine (device and inode, or
// volume and file index), so that a file moved away and replaced is noticed.
struct FileIdentity {
    unsigned long long volume = 0;
    unsigned long long file = 0;
    bool operator==(const FileIdentity&) const = default;
};
// The identity of the file at `path` (UTF-8); nothing when there is none.
std::optional<FileIdentity> fileIdentity(const std::string& path);

} // namespace ordavel::journal_system
