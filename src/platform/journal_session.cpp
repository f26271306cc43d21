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
    if (opened)
        return std::make_shared<RunJournal>(opened);
    // A station cut off from its shop keeps the print in its own journal
    // file, for `ordavel-cli shop sync` to upload once the shop answers.
    if (const auto shop = joinedShop(); shop.ok() && shop.value()) {
        std::shared_ptr<RunJournal> run;
        if (Journal::Opened own = Journal::open(m_path); own.journal)
            run = std::make_shared<RunJournal>(std::shared_ptr<Journal>(std::move(own.journal)),
                                               error + "; the print is kept in this station's own journal until ordavel-cli shop sync");
        else
            run = std::make_shared<RunJournal>(nullptr, "the print journal cannot be opened: " + error);
        run->setUnreachableShop(describeConnection(shop.value()->connection));
        return run;
    }
    return std::make_shared<RunJournal>(nullptr, "the print journal cannot be opened: " + error);
}

} // namespace ordavel
