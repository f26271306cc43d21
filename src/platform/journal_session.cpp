#include "platform/journal_session.h"

#include "journal/journal_system.h"
#include "shop/connection_string.h"
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
    auto run = std::make_shared<RunJournal>(opened, opened ? std::string() : "the print journal cannot be opened: " + error);
    if (const auto shop = joinedShop(); !opened && shop.ok() && shop.value())
        run->setUnreachableShop(describeConnection(shop.value()->connection));
    return run;
}

} // namespace ordavel
