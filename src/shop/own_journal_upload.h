#pragma once
// Prints a station made while its shop's database could not be reached are
// kept in the station's own journal file; once the shop answers again they
// are uploaded, oldest first and each exactly once (the shop keeps which of
// the station's own jobs it has). The same upload brings a station's earlier
// history into the shop when it joins.

#include "journal/journal.h"

#include <string>

namespace ordavel {

struct OwnJournalUpload {
    int uploaded = 0;    // jobs the shop did not have
    int waiting = 0;     // jobs left, from the first still printing on (uploaded once it ends)
    std::string error;   // why the upload stopped, "" when it did not
};

// Uploads the jobs of `own` (this station's journal file) newer than the
// last one `shop` has of this station: with their times, values, outcomes
// and template bytes, and the counter values they printed (no counter of the
// shop is taken or given back).
OwnJournalUpload uploadOwnJournal(Journal& shop, Journal& own);

// The jobs of `own` newer than the last one `shop` has of this station, oldest first.
JournalResult<std::vector<JournalJob>> jobsTheShopLacks(Journal& shop, Journal& own);

// This station's own journal file at `path`, never created here: none and no
// error when the station never printed into one.
Journal::Opened openOwnJournal(const std::string& path = Journal::defaultPath());

} // namespace ordavel
