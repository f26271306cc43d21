#include "print_run/print_run.h"

#include <thread>

namespace ordavel {

PrintRun::PrintRun(RunJournal& journal, Spooler& spooler) : m_journal(journal), m_spooler(spooler) {}

RunResult PrintRun::print(const RunPlan& plan, PageDevice& device, RunReporter& reporter)
{
    const auto recordOf = [&plan](std::size_t item) {
        return plan.recordOf ? plan.recordOf(item) : static_cast<int>(item);
    };
    const std::size_t total = plan.items;
    const std::size_t jobSize = plan.jobSize > 0 ? plan.jobSize : total;
    // The end of the run of at most `most` items from `from` whose journal records follow each other.
    const auto runEnd = [&](std::size_t from, std::size_t most) {
        std::size_t to = from + 1;
        while (to < total && to - from < most && recordOf(to) == recordOf(to - 1) + 1)
            ++to;
        return to;
    };
    RunResult result;
    std::size_t start = 0;
    while (start < total && result.error.empty()) {
        if (!reporter.proceed(start, total)) {
            result.interrupted = true;
            result.dropped = reporter.dropsStoppedJob();
            result.error = result.dropped ? "cancelled while printing" : "interrupted";
            break;
        }
        // A queue job holds up to jobSize items whose journal records follow each other.
        const std::size_t end = runEnd(start, jobSize);
        SpoolRequest request;
        request.printer = plan.printer;
        request.paper = plan.paper;
        request.copies = plan.copies;
        request.options = plan.options;
        request.title = m_journal.active() ? m_journal.title(recordOf(start), recordOf(end - 1), plan.name)
            : plan.titleWithoutJournal     ? plan.titleWithoutJournal(start, end)
                                           : plan.name;
        std::string error;
        auto document = m_spooler.open(request, error);
        if (!document) {
            result.error = error;
            break;
        }
        bool stopped = false;
        const auto drawn = device.draw(*document, start, end, [&](std::size_t item) {
            reporter.drawn(item, total);
            stopped = !reporter.proceed(item + 1, total);
            return !stopped;
        }, error);
        if (!drawn) {
            result.error = error;
            break;
        }
        if ((stopped || *drawn == start) && reporter.dropsStoppedJob()) {
            m_spooler.discard(std::move(document));
            result.interrupted = result.dropped = true;
            result.error = "cancelled while printing";
            break;
        }
        if (*drawn == start) {
            result.error = "nothing was drawn";
            break;
        }
        const int first = recordOf(start);
        const int last = recordOf(*drawn - 1);
        const Submitted submitted = m_spooler.submit(std::move(document));
        if (!submitted.ok()) {
            result.refused = true;
            result.error = "the printer \"" + plan.printer + "\" did not accept the job"
                + (submitted.error.empty() ? std::string() : " (" + submitted.error + ")");
            m_journal.failed(first, last, JournalOutcome::Failed, result.error);
        } else {
            m_journal.handedOver(first, last, submitted.jobId, submitted.toFile);
            if (m_journal.active() && !submitted.toFile && submitted.jobId > 0) {
                std::vector<RecordRef> records;
                for (int index = first; index <= last; ++index)
                    records.emplace_back(m_journal.id(), index + 1);
                m_follower.follow(submitted.jobId, std::move(records));
            }
            result.sent = *drawn;
            if (stopped && *drawn < total) {
                result.interrupted = true;
                result.error = "interrupted";
            }
        }
        start = *drawn;
    }
    // Records that were never handed over, run by run of journal records.
    for (std::size_t at = std::max(result.sent, start); at < total;) {
        const std::size_t to = runEnd(at, total);
        m_journal.failed(recordOf(at), recordOf(to - 1), JournalOutcome::Cancelled,
                         result.error.empty() ? std::string("not sent") : result.error);
        at = to;
    }
    m_journal.flush();
    return result;
}

bool PrintRun::follow()
{
    for (const JobFollower::Ended& ended : m_follower.poll(m_spooler)) {
        // A job's records are one run of one journal job.
        if (ended.records.empty())
            continue;
        m_journal.settled(ended.records.front().second - 1, ended.records.back().second - 1, ended.outcome.outcome,
                          ended.outcome.reason);
    }
    m_journal.flush();
    return m_follower.empty();
}

void PrintRun::settle(std::chrono::milliseconds wait, std::chrono::milliseconds interval)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!follow() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(interval);
}

void PrintRun::finish() { m_journal.finish(); }

} // namespace ordavel
