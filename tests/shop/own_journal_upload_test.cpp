// What a station printed into its own journal file while its shop could not
// be reached goes up pass after pass: in order, each job once, a job still
// printing holding back the ones after it; while the shop is down the passes
// count what waits. A library template is taken out only under a name that
// cannot leave its folder.
#include "shop/library_copy.h"
#include "shop/own_journal_uploader.h"

#if ORDAVEL_POSTGRES
#include "support/postgres_server.h"
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace ordavel {
namespace {

namespace fs = std::filesystem;

TEST(LibraryName, IsOneFileNameThatStaysInItsFolder)
{
    for (const char* good : {"waybill", "运单 2026", "a.b", "~"})
        EXPECT_TRUE(isLibraryName(good)) << good;
    for (const std::string& bad : {std::string(), std::string(".."), std::string("../evil"), std::string("a/b"),
                                  std::string("a\\b"), std::string(".hidden"), std::string("tab\tname"),
                                  std::string("line\nname"), std::string("del\x7f"), std::string(256, 'n'),
                                  std::string("a..b")})
        EXPECT_FALSE(isLibraryName(bad)) << bad;
    EXPECT_TRUE(isLibraryName(std::string(255, 'n')));
}

TEST(LibraryCopyFolder, IsBesideTheJournalFile)
{
    // Compared as paths: Windows joins them with its own separator.
    EXPECT_EQ(fs::path(libraryCopyFolder("/home/clerk/.local/share/ordavel/journal.sqlite")),
              fs::path("/home/clerk/.local/share/ordavel/library"));
}

#if ORDAVEL_POSTGRES
class OwnJournalUpload : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        server = test::PostgresServer::shared(error);
        ASSERT_NE(server, nullptr) << error;
        url = server->createDatabase(error);
        ASSERT_FALSE(url.empty()) << error;
        ASSERT_TRUE(initShopJournal(url).ok());
        shop = Journal::openShop(url, "east").journal;
        ASSERT_TRUE(shop);
        ASSERT_EQ(shop->joinStation("east"), "");
        fs::create_directories(folder);
        own = Journal::open(ownPath).journal;
        ASSERT_TRUE(own);
    }
    void TearDown() override
    {
        if (server != nullptr && !server->running())
            (void)server->start();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // A job of the own journal printing `text`, printed (or still printing).
    JournalJobId print(const std::string& text, bool finished = true)
    {
        JournalJobIn in;
        in.program = "tool";
        in.printer = "Front_Desk";
        in.templateName = "card";
        in.templateBytes = "<bytes of " + text + ">";
        in.startPrinting = true;
        JournalRecordIn record;
        record.fields = {{"text", text}};
        in.records.push_back(record);
        const auto id = own->recordJob(in);
        EXPECT_TRUE(id.ok()) << id.error;
        if (finished) {
            EXPECT_EQ(own->setRecordOutcome(id.value, 0, 0, JournalOutcome::Printed), "");
            EXPECT_EQ(own->finishJob(id.value, JournalOutcome::Printed), "");
        }
        return id.value;
    }

    // How many of the shop's jobs printed `text`.
    std::size_t inShop(const std::string& text)
    {
        JournalQuery query;
        query.search = text;
        auto jobs = shop->listJobs(query);
        if (!jobs.ok()) // a connection the restarted server dropped is made again by the next call
            jobs = shop->listJobs(query);
        EXPECT_TRUE(jobs.ok()) << jobs.error;
        return jobs.value.size();
    }

    test::PostgresServer* server = nullptr;
    std::string url;
    std::unique_ptr<Journal> shop;
    const fs::path folder = fs::temp_directory_path() / ("ordavel-upload-" + std::to_string(::getpid()));
    const std::string ownPath = (folder / "journal.sqlite").string();
    const std::string configPath = (folder / "shop.ini").string();
    std::unique_ptr<Journal> own;
};

TEST_F(OwnJournalUpload, OutsideAShopNothingIsDone)
{
    print("ALONE");
    OwnJournalUploader up(ownPath, ShopConfig(configPath));
    const UploadPass pass = up.run();
    EXPECT_FALSE(pass.inShop);
    EXPECT_EQ(pass.uploaded, 0);
    EXPECT_EQ(inShop("ALONE"), 0u);
}

TEST_F(OwnJournalUpload, GoesUpInOrderOnceAndCountsWhatWaitsWhileTheShopIsDown)
{
    ASSERT_EQ(ShopConfig(configPath).save({url, "east"}), "");
    print("FIRST");
    const JournalJobId held = print("HELD", false);
    print("THIRD");
    OwnJournalUploader up(ownPath, ShopConfig(configPath));
    UploadPass pass = up.run();
    EXPECT_TRUE(pass.inShop);
    EXPECT_EQ(pass.error, "");
    EXPECT_EQ(pass.uploaded, 1) << "a job still printing holds back the ones after it";
    EXPECT_EQ(pass.waiting, 2);
    ASSERT_EQ(own->setRecordOutcome(held, 0, 0, JournalOutcome::Printed), "");
    ASSERT_EQ(own->finishJob(held, JournalOutcome::Printed), "");
    pass = up.run();
    EXPECT_EQ(pass.uploaded, 2);
    EXPECT_EQ(pass.waiting, 0);
    EXPECT_EQ(up.run().uploaded, 0);
    for (const char* text : {"FIRST", "HELD", "THIRD"})
        EXPECT_EQ(inShop(text), 1u) << text;

    ASSERT_EQ(server->stop(), "");
    print("DOWN1");
    print("DOWN2");
    pass = up.run();
    EXPECT_NE(pass.error, "");
    EXPECT_EQ(pass.uploaded, 0);
    EXPECT_EQ(pass.waiting, 2) << "counted from the last job the shop was seen to have";
    ASSERT_EQ(server->start(), "");
    pass = up.run();
    EXPECT_EQ(pass.error, "");
    EXPECT_EQ(pass.uploaded, 2);
    EXPECT_EQ(pass.waiting, 0);
    EXPECT_EQ(inShop("DOWN1"), 1u);
    EXPECT_EQ(inShop("DOWN2"), 1u);

    // A second program uploading beside the first (the service beside the
    // designer) finds nothing left to do.
    OwnJournalUploader other(ownPath, ShopConfig(configPath));
    EXPECT_EQ(other.run().uploaded, 0);
    const auto east = shop->listJobs();
    ASSERT_TRUE(east.ok());
    EXPECT_EQ(east.value.size(), 5u);
}

TEST_F(OwnJournalUpload, AProgramStartedWhileTheShopIsDownCountsFromItsOfflineMark)
{
    ASSERT_EQ(ShopConfig(configPath).save({url, "east"}), "");
    const JournalJobId before = print("EARLIER");
    ASSERT_EQ(server->stop(), "");
    OwnJournalUploader up(ownPath, ShopConfig(configPath));
    EXPECT_EQ(up.run().waiting, 0) << "unknown: the shop was never asked";
    up.printingOffline(before);
    print("OFFLINE");
    EXPECT_EQ(up.run().waiting, 1);
    ASSERT_EQ(server->start(), "");
    const UploadPass pass = up.run();
    EXPECT_EQ(pass.uploaded, 2) << "the earlier job had never gone up either";
    EXPECT_EQ(pass.waiting, 0);
}

TEST_F(OwnJournalUpload, ALibraryCopyIsTheRevisionsBytesAndABadNameWritesNothing)
{
    ASSERT_TRUE(shop->publishTemplate("waybill", std::string("one\0\r\n", 6), "").ok());
    ASSERT_TRUE(shop->publishTemplate("waybill", "two", "").ok());
    ASSERT_TRUE(shop->publishTemplate("../evil", "evil", "").ok());
    const std::string library = (folder / "data" / "library").string();
    const LibraryCopy first = copyFromLibrary(*shop, "waybill", 1, library);
    ASSERT_EQ(first.error, "");
    EXPECT_EQ(first.path, library + "/waybill.oxf");
    std::ifstream in(first.path, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), std::string("one\0\r\n", 6));
    EXPECT_NE(copyFromLibrary(*shop, "waybill", 3, library).error, "");
    EXPECT_NE(copyFromLibrary(*shop, "nothing", 0, library).error, "");
    EXPECT_NE(copyFromLibrary(*shop, "../evil", 0, library).error, "");
    EXPECT_FALSE(fs::exists(folder / "data" / "evil.oxf"));
}
#endif

} // namespace
} // namespace ordavel
