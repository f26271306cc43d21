#pragma once
// Follows jobs handed to the print queue until each has ended: the one
// follower the designer's event loop, the tool's wait and the print service
// all drive, one look at the queue per poll().

#include "print_run/job_title.h"
#include "print_run/spooler.h"

#include <map>
#include <vector>

namespace ordavel {

class JobFollower {
public:
    struct Ended {
        int spoolId = 0;
        std::vector<RecordRef> records;
        SpoolJob job;         // as the queue last told it
        SpoolOutcome outcome; // what its records became
    };

    // Follows queue job `spoolId`, which prints `records`.
    void follow(int spoolId, std::vector<RecordRef> records);
    // Stops following a job (cancelled by the caller, say); its records are returned.
    std::vector<RecordRef> forget(int spoolId);

    // One look at the queue: the followed jobs that ended since the last
    // look, no longer followed. One question lists the unfinished jobs; only
    // those missing from it are asked about one by one. A queue that does
    // not answer, or a job it no longer knows, ends nothing. `unfinished`,
    // when given, receives the queue's list of unfinished jobs.
    std::vector<Ended> poll(const Spooler& spooler, std::vector<SpoolJob>* unfinished = nullptr);

    bool empty() const { return m_jobs.empty(); }
    std::size_t size() const { return m_jobs.size(); }
    const std::map<int, std::vector<RecordRef>>& followed() const { return m_jobs; }

private:
    std::map<int, std::vector<RecordRef>> m_jobs;
};

} // namespace ordavel
