#include "print_run/job_follower.h"

#include <set>

namespace ordavel {

void JobFollower::follow(int spoolId, std::vector<RecordRef> records)
{
    auto& kept = m_jobs[spoolId];
    kept.insert(kept.end(), records.begin(), records.end());
}

std::vector<RecordRef> JobFollower::forget(int spoolId)
{
    const auto it = m_jobs.find(spoolId);
    if (it == m_jobs.end())
        return {};
    std::vector<RecordRef> records = std::move(it->second);
    m_jobs.erase(it);
    return records;
}

std::vector<JobFollower::Ended> JobFollower::poll(const Spooler& spooler, std::vector<SpoolJob>* listed)
{
    std::vector<Ended> ended;
    if (m_jobs.empty())
        return ended;
    const auto unfinished = spooler.jobs(false);
    if (!unfinished)
        return ended;
    std::set<int> waiting;
    for (const SpoolJob& job : *unfinished)
        if (!isFinished(job.state))
            waiting.insert(job.id);
    if (listed != nullptr)
        *listed = *unfinished;
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if (waiting.count(it->first)) {
            ++it;
            continue;
        }
        const auto job = spooler.job(it->first);
        if (!job || !isFinished(job->state)) {
            ++it;
            continue;
        }
        ended.push_back({it->first, std::move(it->second), *job, outcomeOf(*job)});
        it = m_jobs.erase(it);
    }
    return ended;
}

} // namespace ordavel
