#pragma once
// The journal a program prints into, owned by the program (the designer's
// main window) and handed by reference to what prints or shows the journal,
// as the document is. It opens the journal once, when first needed, and
// again after its file was moved away; it keeps the thread that does what a
// print need not wait for.

#include "journal/journal.h"
#include "platform/journal_worker.h"
#include "print_run/run_journal.h"

#include <memory>
#include <mutex>
#include <string>

namespace ordavel {

class JournalSession {
public:
    explicit JournalSession(std::string path = Journal::defaultPath());
    JournalSession(const JournalSession&) = delete;
    JournalSession& operator=(const JournalSession&) = delete;

    const std::string& path() const { return m_path; }
    // Whether the user switched the journal off.
    bool isOff() const;

    // The open journal, created when missing unless `create` is false (then
    // null with no error when there is none yet); null with `error` when it
    // cannot be opened.
    std::shared_ptr<Journal> journal(std::string& error, bool create = true);
    // A print's journal: none when switched off; when the journal cannot be
    // opened, none with that as its problem.
    std::shared_ptr<RunJournal> runJournal();

    // The thread for a print's tidying and the journal window's settling.
    // Shared, so that work posted late (a print followed after its window
    // closed) still finds it.
    const std::shared_ptr<JournalWorker>& worker() const { return m_worker; }

private:
    const std::string m_path;
    std::mutex m_mutex;
    std::shared_ptr<Journal> m_journal;
    std::shared_ptr<JournalWorker> m_worker;
};

} // namespace ordavel
