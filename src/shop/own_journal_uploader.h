#pragma once
// Uploads, pass after pass, what this station printed into its own journal
// file while its shop's database could not be reached: the designer runs a
// pass before a print and on a timer, the print service every few seconds.
// It keeps a connection of its own to the shop, made again when lost, and
// follows shop.ini (a join or a leave) at every pass. Each pass uploads the
// jobs in order and each exactly once (uploadOwnJournal), so that several
// programs uploading at once, or `shop sync` beside them, do no harm.
//
// Not thread-safe: one thread at a time (the designer's journal worker, the
// service's upload thread).

#include "journal/journal.h"
#include "shop/shop_config.h"

#include <memory>
#include <optional>
#include <string>

namespace ordavel {

struct UploadPass {
    int uploaded = 0;    // jobs this pass uploaded
    int waiting = 0;     // jobs of the own journal still to be uploaded after it
    bool inShop = false; // the station is in a shop (else nothing is done)
    std::string error;   // why the shop could not be asked or the upload stopped
};

class OwnJournalUploader {
public:
    explicit OwnJournalUploader(std::string ownPath = Journal::defaultPath(), ShopConfig config = ShopConfig());
    ~OwnJournalUploader();
    OwnJournalUploader(const OwnJournalUploader&) = delete;
    OwnJournalUploader& operator=(const OwnJournalUploader&) = delete;

    // Uploads what waits. When the shop cannot be reached, `waiting` counts
    // the own journal's jobs after the last one the shop was seen to have, or
    // after `printingOffline`'s mark when the shop was not asked yet.
    UploadPass run();

    // A print is about to go into the own journal while the shop cannot be
    // reached; `newestBefore` is the own journal's newest job id before it.
    // What waits is counted from there until the shop answers.
    void printingOffline(JournalJobId newestBefore);

private:
    // The own journal's jobs after `after`; -1 when it cannot be read.
    int jobsAfter(JournalJobId after);

    std::string m_ownPath;
    ShopConfig m_config;
    std::optional<ShopMembership> m_member; // the shop m_shop is connected to
    std::unique_ptr<Journal> m_shop;
    std::unique_ptr<Journal> m_own;
    std::optional<JournalJobId> m_lastUploaded; // as the shop last said
    std::optional<JournalJobId> m_offlineFrom;
};

} // namespace ordavel
