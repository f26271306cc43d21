#include "shop/own_journal_uploader.h"

#include "shop/connection_string.h"
#include "shop/own_journal_upload.h"

#include <algorithm>
#include <utility>

namespace ordavel {

OwnJournalUploader::OwnJournalUploader(std::string ownPath, ShopConfig config)
    : m_ownPath(std::move(ownPath)), m_config(std::move(config))
{
}

OwnJournalUploader::~OwnJournalUploader() = default;

void OwnJournalUploader::printingOffline(JournalJobId newestBefore)
{
    m_offlineFrom = m_offlineFrom ? std::min(*m_offlineFrom, newestBefore) : newestBefore;
}

int OwnJournalUploader::jobsAfter(JournalJobId after)
{
    JournalQuery newer;
    newer.after = after;
    const auto jobs = m_own->listJobs(newer);
    return jobs.ok() ? static_cast<int>(jobs.value.size()) : -1;
}

UploadPass OwnJournalUploader::run()
{
    UploadPass pass;
    const auto shop = m_config.load();
    if (!shop.ok() || !shop.value()) {
        m_shop.reset();
        m_member.reset();
        m_lastUploaded.reset();
        pass.error = shop.ok() ? std::string() : shop.error();
        return pass;
    }
    pass.inShop = true;
    const ShopMembership& member = *shop.value();
    if (!m_member || m_member->connection != member.connection || m_member->station != member.station) {
        m_shop.reset();
        m_lastUploaded.reset();
        m_member = member;
    }
    // The own journal is looked at only once it exists (it is never made here).
    if (!m_own || !m_own->isCurrent()) {
        Journal::Opened own = openOwnJournal(m_ownPath);
        m_own = std::move(own.journal);
        if (!m_own) {
            pass.error = own.error;
            return pass;
        }
    }
    if (!m_shop) {
        Journal::Opened opened = Journal::openShop(member.connection, member.station);
        if (!opened.journal) {
            pass.error = describeConnection(member.connection) + ": " + opened.error;
            const std::optional<JournalJobId> from = m_lastUploaded ? m_lastUploaded : m_offlineFrom;
            pass.waiting = from ? std::max(jobsAfter(*from), 0) : 0;
            return pass;
        }
        m_shop = std::move(opened.journal);
    }
    const OwnJournalUpload upload = uploadOwnJournal(*m_shop, *m_own);
    pass.uploaded = upload.uploaded;
    pass.error = upload.error;
    // What the shop has now; a shop that went away mid-way leaves the count
    // from what it said before.
    if (const auto last = m_shop->lastUploaded(); last.ok()) {
        m_lastUploaded = last.value;
        m_offlineFrom.reset();
    } else if (pass.error.empty()) {
        pass.error = last.error;
    }
    const std::optional<JournalJobId> from = m_lastUploaded ? m_lastUploaded : m_offlineFrom;
    pass.waiting = from ? std::max(jobsAfter(*from), 0) : 0;
    return pass;
}

} // namespace ordavel
