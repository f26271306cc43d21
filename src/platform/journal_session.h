#pragma once
// The journal a program prints into, owned by the program (the designer's
// main window) and handed by reference to what prints or shows the journal,
// as the document is. It opens the journal once, when first needed, and
// again after its file was moved away; it keeps the thread that does what a
// print need not wait for. In a shop, that thread also uploads what the
// station printed into its own journal file while the shop could not be
// reached (OwnJournalUploader).

#include "journal/journal.h"
#include "platform/journal_worker.h"
#include "print_run/run_journal.h"
#include "shop/own_journal_uploader.h"

#include <atomic>
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
    // opened, none with that as its problem. In a shop, the shop's when it
    // answers (a connection lost since is made again), after an upload of
    // what waits is posted to the worker; else the station's own journal
    // file, which refuses templates with counters.
    std::shared_ptr<RunJournal> runJournal();

    // Posts a pass of the upload of what this station printed into its own
    // journal file to the worker, unless one is under way. Never waits.
    void uploadWaiting();
    // Jobs of the own journal waiting to be uploaded, as the last pass
    // counted them (0 outside a shop, and before the first pass).
    int waitingUpload() const { return m_upload->waiting.load(); }

    // The thread for a print's tidying and the journal window's settling.
    // Shared, so that work posted late (a print followed after its window
    // closed) still finds it.
    const std::shared_ptr<JournalWorker>& worker() const { return m_worker; }

private:
    // The upload's own state, shared with the passes posted to the worker.
    struct Upload {
        explicit Upload(const std::string& path) : uploader(path) {}
        OwnJournalUploader uploader;  // used on the worker only
        std::atomic<int> waiting{0};
        std::atomic<bool> posted{false};
        std::atomic<bool> counted{false}; // a pass has run
    };
    // The shop's journal answers (a statement, made again after a lost
    // connection); otherwise why not.
    static std::string shopAnswers(Journal& shop);

    const std::string m_path;
    std::mutex m_mutex;
    std::shared_ptr<Journal> m_journal;
    std::shared_ptr<JournalWorker> m_worker;
    std::shared_ptr<Upload> m_upload;
};

} // namespace ordavel
