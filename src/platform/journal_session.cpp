#include "platform/journal_session.h"

#include "journal/journal_system.h"
#include "shop/users_journal.h"

#include <utility>

namespace ordavel {

JournalSession::JournalSession(std::string path)
    : m_path(std::move(path)), m_worker(std::make_shared<JournalWorker>())
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

std::shared_ptr<RunJournal> JournalSession::runJournal()
{
    if (isOff())
        return std::make_shared<RunJournal>();
    std::string error;
    std::shared_ptr<Journal> opened = journal(error);
    if (opened)
        return std::make_shared<RunJournal>(opened);
    std::string problem;
    std::string unreachableShop;
    std::shared_ptr<Journal> own = journalWhenUnopened(m_path, error, problem, &unreachableShop);
    auto run = std::make_shared<RunJournal>(std::move(own), problem);
    run->setUnreachableShop(unreachableShop);
    return run;
}

} // namespace ordavel
