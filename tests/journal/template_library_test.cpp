// The shop's template library on a PostgreSQL server of the tests' own:
// revisions numbered per name, never a second revision for the same bytes,
// bytes back exactly, revisions that cannot be changed and outlive pruning.
#include "journal/journal.h"
#include "journal/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <thread>
#include <unistd.h>

#if ORDAVEL_POSTGRES
#include "support/postgres_server.h"
#endif

namespace ordavel {
namespace {

TEST(TemplateLibraryOfAStation, AStationsOwnJournalHasNone)
{
    const auto dir = std::filesystem::temp_directory_path() / ("ordavel-library-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    {
        Journal::Opened opened = Journal::open((dir / "journal.sqlite").string());
        ASSERT_NE(opened.journal, nullptr) << opened.error;
        const auto published = opened.journal->publishTemplate("waybill", "<oxf/>", "");
        EXPECT_NE(published.error.find("no template library"), std::string::npos) << published.error;
        EXPECT_FALSE(opened.journal->libraryTemplates().ok());
        EXPECT_FALSE(opened.journal->libraryTemplate("waybill").ok());
    }
    std::filesystem::remove_all(dir);
}

#if ORDAVEL_POSTGRES

class TemplateLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        url = test::PostgresServer::newDatabase(error);
        ASSERT_FALSE(url.empty()) << error;
        const auto made = initShopJournal(url);
        ASSERT_TRUE(made.ok()) << made.error;
        journal = openStation("desk");
        ASSERT_NE(journal, nullptr);
    }

    std::unique_ptr<Journal> openStation(const std::string& station)
    {
        Journal::Opened opened = Journal::openShop(url, station);
        EXPECT_NE(opened.journal, nullptr) << opened.error;
        return std::move(opened.journal);
    }

    int publish(const std::string& name, const std::string& bytes, const std::string& note = {})
    {
        const auto published = journal->publishTemplate(name, bytes, note);
        EXPECT_TRUE(published.ok()) << published.error;
        return published.value.revision;
    }

    std::optional<std::string> bytesOf(const std::string& name, int revision = 0)
    {
        const auto found = journal->libraryTemplate(name, revision);
        EXPECT_TRUE(found.ok()) << found.error;
        if (!found.value)
            return std::nullopt;
        EXPECT_EQ(found.value->revision.hash, sha256Hex(found.value->bytes));
        return found.value->bytes;
    }

    std::string url;
    std::unique_ptr<Journal> journal;
};

TEST_F(TemplateLibrary, RevisionsAreNumberedPerNameAndTheSameBytesMakeNoNewOne)
{
    const auto first = journal->publishTemplate("waybill", "one", "first form");
    ASSERT_TRUE(first.ok()) << first.error;
    EXPECT_EQ(first.value.revision, 1);
    EXPECT_EQ(first.value.hash, sha256Hex("one"));
    EXPECT_EQ(first.value.station, "desk");
    EXPECT_EQ(first.value.user, journalUserName());
    EXPECT_GT(first.value.publishedAt, 0);

    // Publishing the latest bytes again keeps that revision as it was, note and all.
    const auto again = journal->publishTemplate("waybill", "one", "again");
    EXPECT_EQ(again.value.revision, 1);
    EXPECT_EQ(again.value.note, "first form");
    EXPECT_EQ(publish("receipt", "one"), 1) << "each name counts its own revisions";
    EXPECT_EQ(publish("waybill", "two"), 2);
    EXPECT_EQ(publish("waybill", "one"), 3) << "going back to older bytes is a revision of its own";

    const auto listed = journal->libraryTemplates();
    ASSERT_TRUE(listed.ok()) << listed.error;
    ASSERT_EQ(listed.value.size(), 2u);
    EXPECT_EQ(listed.value[0].name, "receipt");
    EXPECT_EQ(listed.value[1].name, "waybill");
    EXPECT_EQ(listed.value[1].revision, 3);

    EXPECT_EQ(bytesOf("waybill", 2), "two");
    EXPECT_EQ(bytesOf("waybill"), "one");
    EXPECT_EQ(bytesOf("waybill", 4), std::nullopt);
    EXPECT_EQ(bytesOf("nothing"), std::nullopt);

    // Bytes of every value, NUL and invalid UTF-8 among them, come back as they went.
    std::string binary;
    for (int i = 0; i < 512; ++i)
        binary += static_cast<char>(i % 256);
    EXPECT_EQ(publish("binary", binary), 1);
    EXPECT_EQ(bytesOf("binary"), binary);
}

TEST_F(TemplateLibrary, StationsPublishingOneNameAtOnceGetRevisionsOfTheirOwn)
{
    std::vector<int> revisions(6);
    std::vector<std::thread> threads;
    for (int i = 0; i < 6; ++i)
        threads.emplace_back([&, i] {
            auto own = openStation("s" + std::to_string(i));
            if (own)
                revisions[i] = own->publishTemplate("shared", "bytes " + std::to_string(i), "").value.revision;
        });
    for (auto& thread : threads)
        thread.join();
    std::sort(revisions.begin(), revisions.end());
    EXPECT_EQ(revisions, (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST_F(TemplateLibrary, RevisionsCannotBeChangedAndOutliveThePruningOfTheJobsThatPrintedThem)
{
    ASSERT_EQ(publish("waybill", "<oxf>library</oxf>", "kept"), 1);
    EXPECT_NE(test::runSql(url, "UPDATE library SET note = 'changed'"), "");
    EXPECT_NE(test::runSql(url, "DELETE FROM library"), "");

    JournalJobIn in;
    in.program = "service";
    in.printer = "pdf";
    in.templateName = "waybill";
    in.templateBytes = "<oxf>library</oxf>";
    in.libraryRevision = 1;
    in.records.emplace_back();
    in.records.back().number = 1;
    const auto recorded = journal->recordJob(in);
    ASSERT_TRUE(recorded.ok()) << recorded.error;
    ASSERT_TRUE(journal->finishJob(recorded.value, JournalOutcome::Printed).empty());
    EXPECT_EQ(journal->job(recorded.value).value->libraryRevision, 1);
    in.libraryRevision = 0;
    in.templateBytes = "<oxf>a file</oxf>";
    const auto fromFile = journal->recordJob(in);
    ASSERT_TRUE(fromFile.ok()) << fromFile.error;
    EXPECT_EQ(journal->job(fromFile.value).value->libraryRevision, 0);
    ASSERT_TRUE(journal->finishJob(fromFile.value, JournalOutcome::Printed).empty());

    const auto pruned = journal->pruneBefore(std::numeric_limits<JournalTime>::max());
    ASSERT_TRUE(pruned.ok()) << pruned.error;
    EXPECT_EQ(pruned.value, 2);
    EXPECT_EQ(journal->stats().value.templates, 1) << "the file's bytes go, the library's stay";
    EXPECT_EQ(bytesOf("waybill", 1), "<oxf>library</oxf>");
}

#endif

} // namespace
} // namespace ordavel
