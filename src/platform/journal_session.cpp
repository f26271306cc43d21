#include "platform/journal_session.h"

#include "journal/journal_system.h"
#include "shop/connection_string.h"
#include "shop/users_journal.h"

#include <utility>

namespace ordavel {

JournalSession::JournalSession(std::string path)
    : m_path(std::move(path)), m_worker(std::make_shared<JournalWorker>()), m_upload(std::make_shared<Upload>(m_path))
{
}

bool JournalSession::isOff() const
{
    return Journal::isOff(m_path);
}

std::shared_ptr<Journal> JournalSession::journal(std::string& error, bool create)
{
    const std::lock_guard lock(m_mutex);
    if (m_journal && m_journal->isCurrent())
        return m_journal;
    m_journal.reset();
    // Looking does not create a journal that was never written.
    const auto shop = joinedShop();
    if (!create && shop.ok() && !shop.value() && !journal_system::fileIdentity(m_path))
        return nullptr;
    Journal::Opened opened = openUsersJournal(m_path);
    if (!opened.journal) {
        error = opened.error;
        return nullptr;
    }
    m_journal = std::shared_ptr<Journal>(std::move(opened.journal));
    return m_journal;
}

std::string JournalSession::shopAnswers(Journal& shop)
{
    // A server that went away since the last print is not known to be gone
    // until a statement is sent; the print must know before it begins.
    const auto asked = shop.lastUploaded();
    return asked.ok() ? std::string() : asked.error;
}

std::shared_ptr<RunJournal> JournalSession::runJournal()
{
    if (isOff())
        return std::make_shared<RunJournal>();
    std::string error;
    std::shared_ptr<Journal> opened = journal(error);
    if (opened && !opened->station().empty()) {
        if (std::string why = shopAnswers(*opened); !why.empty()) {
            const auto shop = joinedShop();
            error = "the shop's journal ("
                + (shop.ok() && shop.value() ? describeConnection(shop.value()->connection) : opened->path())
                + ") cannot be reached: " + why;
            opened.reset();
        } else if (waitingUpload() > 0 || !m_upload->counted) {
            uploadWaiting(); // what waits goes before, on the worker
        }
    }
    if (opened)
        return std::make_shared<RunJournal>(opened);
    std::string problem;
    std::string unreachableShop;
    std::shared_ptr<Journal> own = journalWhenUnopened(m_path, error, problem, &unreachableShop);
    if (own && !unreachableShop.empty()) {
        JournalQuery newest;
        newest.limit = 1;
        const auto jobs = own->listJobs(newest);
        const JournalJobId before = jobs.ok() && !jobs.value.empty() ? jobs.value.front().id : 0;
        m_worker->post([upload = m_upload, before] { upload->uploader.printingOffline(before); });
    }
    auto run = std::make_shared<RunJournal>(std::move(own), problem);
    run->setUnreachableShop(unreachableShop);
    return run;
}

void JournalSession::uploadWaiting()
{
    if (m_upload->posted.exchange(true))
        return;
    m_worker->post([upload = m_upload] {
        const UploadPass pass = upload->uploader.run();
        upload->waiting = pass.waiting;
        upload->counted = true;
        upload->posted = false;
    });
}

} // namespace ordavel
