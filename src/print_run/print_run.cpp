#include "print_run/print_run.h"

#include <thread>

namespace ordavel {

PrintRun::PrintRun(RunLedger& ledger, Spooler& spooler) : m_ledger(ledger), m_spooler(spooler) {}

RunResult PrintRun::print(const RunPlan& plan, PageDevice& device, RunReporter& reporter)
{
    const auto recordOf = [&plan](std::size_t item) {
        return plan.recordOf ? plan.recordOf(item) : static_cast<int>(item);
    };
    const std::size_t total = plan.items;
    const std::size_t jobSize = plan.jobSize > 0 ? plan.jobSize : total;
    // The end of the run of at most `most` items from `from` whose records follow each other.
    const auto runEnd = [&](std::size_t from, std::size_t most) {
        std::size_t to = from + 1;
        while (to < total && to - from < most && recordOf(to) == recordOf(to - 1) + 1)
            ++to;
        return to;
    };
    RunResult result;
    std::size_t start = 0;
    // Items [start, failedEnd) were not handed over for `why`; the rest after them were never tried.
    std::size_t failedEnd = 0;
    NotHandedOver why = NotHandedOver::Stopped;
    const auto fail = [&](std::size_t end, NotHandedOver reason, std::string error) {
        failedEnd = end;
        why = reason;
        result.error = std::move(error);
    };
    while (start < total && result.error.empty()) {
        if (!reporter.proceed(start, total)) {
            result.interrupted = true;
            result.dropped = reporter.dropsStoppedJob();
            result.error = result.dropped ? "cancelled while printing" : "interrupted";
            break;
        }
        // A queue job holds up to jobSize items whose records follow each other.
        const std::size_t end = runEnd(start, jobSize);
        SpoolRequest request;
        request.printer = plan.printer;
        request.paper = plan.paper;
        request.copies = plan.copies;
        request.options = plan.options;
        request.title = m_ledger.keepsRecords() ? m_ledger.titleOf(recordOf(start), recordOf(end - 1), plan.name)
            : plan.titleWithoutJournal         ? plan.titleWithoutJournal(start, end)
                                               : plan.name;
        std::string error;
        auto document = m_spooler.open(request, error);
        if (!document) {
            fail(end, NotHandedOver::NotDrawn, error);
            break;
        }
        bool stopped = false;
        const auto drawn = device.draw(*document, start, end, [&](std::size_t item) {
            reporter.drawn(item, total);
            stopped = !reporter.proceed(item + 1, total);
            return !stopped;
        }, error);
        if (!drawn) {
            m_spooler.discard(std::move(document));
            fail(end, NotHandedOver::NotDrawn, error);
            break;
        }
        if ((stopped || *drawn == start) && reporter.dropsStoppedJob()) {
            m_spooler.discard(std::move(document));
            result.interrupted = result.dropped = true;
            result.error = "cancelled while printing";
            break;
        }
        if (*drawn == start) {
            m_spooler.discard(std::move(document));
            if (stopped || !reporter.proceed(start, total)) {
                result.interrupted = true;
                result.error = "interrupted";
            } else {
                fail(end, NotHandedOver::NotDrawn, "nothing was drawn");
            }
            break;
        }
        const int first = recordOf(start);
        const int last = recordOf(*drawn - 1);
        // A job cut short names only the records it holds: a record it
        // does not hold must never be found in it after a restart.
        if (*drawn < end && m_ledger.keepsRecords())
            document->request.title = m_ledger.titleOf(first, last, plan.name);
        if (!m_ledger.mayHandOver(first, last)) {
            m_spooler.discard(std::move(document));
            result.takenOver = true;
            fail(*drawn, NotHandedOver::TakenOver, m_ledger.heldBack());
            break;
        }
        const Submitted submitted = m_spooler.submit(std::move(document));
        if (!submitted.ok()) {
            result.refused = true;
            result.refusal = submitted.error;
            fail(*drawn, NotHandedOver::Refused,
                 "the printer \"" + plan.printer + "\" did not accept the job"
                     + (submitted.error.empty() ? std::string() : " (" + submitted.error + ")"));
            break;
        }
        m_ledger.handedOver(first, last, submitted.jobId, submitted.toFile);
        if (m_ledger.keepsRecords() && !submitted.toFile && submitted.jobId > 0)
            m_follower.follow(submitted.jobId, m_ledger.refsOf(first, last));
        result.sent = *drawn;
        if (stopped && *drawn < total) {
            result.interrupted = true;
            result.error = "interrupted";
        }
        start = *drawn;
    }
    // Records that were never handed over, run by run of records: those the
    // loop failed for its reason, the rest as not sent.
    for (std::size_t at = std::max(result.sent, start); at < total;) {
        const bool failedHere = at < failedEnd;
        const std::size_t to = runEnd(at, failedHere ? failedEnd - at : total);
        m_ledger.notHandedOver(recordOf(at), recordOf(to - 1), failedHere ? why : NotHandedOver::Stopped,
                               result.error.empty() ? std::string("not sent") : result.error);
        at = to;
    }
    m_ledger.flush();
    return result;
}

bool PrintRun::follow(std::vector<SpoolJob>* unfinished)
{
    for (const JobFollower::Ended& ended : m_follower.poll(m_spooler, unfinished))
        m_ledger.ended(ended);
    m_ledger.flush();
    return m_follower.empty();
}

void PrintRun::settle(std::chrono::milliseconds wait, std::chrono::milliseconds interval)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!follow() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(interval);
}

void PrintRun::finish() { m_ledger.finish(); }

} // namespace ordavel
