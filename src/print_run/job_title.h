#pragma once
// The title a spooler job carries: the journal records it prints, so that a
// job found in the queue (after a restart, by `journal` or the service) is
// tied back to its records. One format for every print path:
//   "ordavel-journal 17:1-50 waybill.oxf"   records 1-50 of journal job 17
//   "ordavel-journal 12:1-3,13:1,20-22:1"   several jobs' records in one
// Titles written by earlier versions ("ordavel-journal 17 records 1-50 NAME",
// "ordavel-service 12:1-3,13:1") are read as well.

#include "journal/journal.h"
#include "print_run/spool_job.h"

#include <ctime>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ordavel {

inline constexpr std::string_view kJobTitlePrefix = "ordavel-journal ";

using RecordRef = std::pair<JournalJobId, int>; // journal job, record number (1-based)

// The title of a spooler job printing `records` (in order), with `name` (the
// template's, may be empty) after them.
std::string jobTitle(const std::vector<RecordRef>& records, const std::string& name = {});
// Records [first, last] (1-based) of one journal job.
std::string jobTitle(JournalJobId job, int first, int last, const std::string& name = {});
// The records a title names, in order; empty when it is not one of ours.
std::vector<RecordRef> recordsOfTitle(std::string_view title);

// Whether a queue job whose title names a journal job can be that job's:
// it went to the job's printer no earlier than the job was recorded. Other
// journals (one begun anew, another user's) number their jobs from 1 too,
// so an older job of the same title printed someone else's pages.
bool mayBeJobOf(const SpoolJob& queued, const std::string& printer, std::time_t recorded);

} // namespace ordavel
