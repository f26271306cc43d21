// The 打印记录 window of a station in a shop: every station's jobs, a 站点
// column naming who printed each, and a filter that lists one station's;
// outside a shop neither is shown. The status bar names the station.
#include "designer/journal_window.h"
#include "designer/shop_station_label.h"
#include "file/template_writer.h"
#include "journal/journal.h"
#include "platform/journal_session.h"
#include "support/scripted_prompter.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#if ORDAVEL_POSTGRES
#include "support/postgres_server.h"
#endif

#include <cstdlib>

namespace ordavel {
namespace {

// XDG_CONFIG_HOME in `folder` while the object lives: where shop.ini is read.
struct ConfigHome {
    explicit ConfigHome(const std::string& folder)
    {
        if (const char* set = std::getenv("XDG_CONFIG_HOME"))
            old = set;
        ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    ~ConfigHome() { old.empty() ? ::unsetenv("XDG_CONFIG_HOME") : ::setenv("XDG_CONFIG_HOME", old.c_str(), 1); }
    std::string old;
};

QString cell(const JournalWindow& w, int row, int column)
{
    const QTableWidgetItem* item = w.jobList()->item(row, column);
    return item ? item->text() : QString();
}

#if ORDAVEL_POSTGRES
// A shop of its own on the tests' server.
void newShop(std::string& url)
{
    std::string error;
    url = test::PostgresServer::newDatabase(error);
    ASSERT_FALSE(url.empty()) << error;
    ASSERT_TRUE(initShopJournal(url).ok());
}

// The bytes of a card template with one label of `text`.
void cardBytes(const std::string& text, std::string& bytes)
{
    Document card;
    card.box(card.addBox(BoxType::Label, 40, 60, 400, 40)).attributes.text = text;
    ScriptedPrompter quiet;
    bytes = templateBytes(card, quiet).value_or(std::string());
    ASSERT_FALSE(bytes.empty());
}
#endif

TEST(JournalWindowOutsideAShop, ShowsNoStationColumnNorFilterAndTheStatusBarSaysNothing)
{
    QTemporaryDir folder;
    const ConfigHome home(folder.filePath(QStringLiteral("config")).toStdString());
    const std::string path = folder.filePath(QStringLiteral("journal.sqlite")).toStdString();
    ASSERT_TRUE(Journal::open(path).journal);
    ScriptedPrompter prompter;
    JournalSession session(path);
    JournalWindow w(prompter, session);
    EXPECT_TRUE(w.jobList()->isColumnHidden(9));
    const auto* filter = w.findChild<QComboBox*>(QStringLiteral("下拉框_站点"));
    ASSERT_NE(filter, nullptr);
    EXPECT_TRUE(filter->isHidden());
    ShopStationLabel label;
    EXPECT_TRUE(label.isHidden());
}

#if ORDAVEL_POSTGRES
TEST(JournalWindowInAShop, ListsEveryStationsJobsWithTheirStationAndFiltersByOne)
{
    std::string url, bytes;
    ASSERT_NO_FATAL_FAILURE(newShop(url));
    ASSERT_NO_FATAL_FAILURE(cardBytes("No.001", bytes));
    for (const std::string station : {"east", "west"}) {
        auto journal = Journal::openShop(url).journal;
        ASSERT_TRUE(journal);
        ASSERT_EQ(journal->joinStation(station), "");
        JournalJobIn in;
        in.program = "tool";
        in.printer = "Front_Desk";
        in.templateName = station + "-card";
        in.templateBytes = bytes;
        in.records.push_back(JournalRecordIn{});
        ASSERT_TRUE(journal->recordJob(in).ok());
    }

    QTemporaryDir folder;
    const ConfigHome home(folder.filePath(QStringLiteral("config")).toStdString());
    ASSERT_EQ(ShopConfig().save({url, "west"}), "");
    ScriptedPrompter prompter;
    JournalSession session(folder.filePath(QStringLiteral("journal.sqlite")).toStdString());
    JournalWindow w(prompter, session);
    ASSERT_EQ(w.jobList()->rowCount(), 2);
    EXPECT_FALSE(w.jobList()->isColumnHidden(9));
    EXPECT_EQ(w.jobList()->horizontalHeaderItem(9)->text(), QStringLiteral("站点"));
    EXPECT_EQ(cell(w, 0, 9), QStringLiteral("west"));
    EXPECT_EQ(cell(w, 1, 9), QStringLiteral("east"));

    auto* filter = w.findChild<QComboBox*>(QStringLiteral("下拉框_站点"));
    ASSERT_NE(filter, nullptr);
    EXPECT_FALSE(filter->isHidden());
    ASSERT_EQ(filter->count(), 3);
    filter->setCurrentIndex(filter->findText(QStringLiteral("east")));
    ASSERT_EQ(w.jobList()->rowCount(), 1);
    EXPECT_EQ(cell(w, 0, 6), QStringLiteral("east-card"));
    for (const Message& told : prompter.messages)
        ADD_FAILURE() << told.text;

    ShopStationLabel label;
    EXPECT_FALSE(label.isHidden());
    EXPECT_TRUE(label.text().startsWith(QStringLiteral("站点：west（"))) << label.text().toStdString();
}

// A job of the shop's print queue whose station stopped answering after it
// handed two of three records to its printer: the window marks them
// uncertain, and the operator records one printed and sends the other back
// to the queue.
TEST(JournalWindowInAShop, TheOperatorSettlesAQueuedJobsUncertainRecords)
{
    std::string url, bytes;
    ASSERT_NO_FATAL_FAILURE(newShop(url));
    ASSERT_NO_FATAL_FAILURE(cardBytes("${单号}", bytes));
    auto journal = Journal::openShop(url).journal;
    ASSERT_TRUE(journal);
    ASSERT_EQ(journal->joinStation("front"), "");
    JournalJobIn in;
    in.program = "service";
    in.printer = "back/laser";
    in.templateName = "card";
    in.templateBytes = bytes;
    in.dataSource = R"({"service":{"token":"orders","key":"","expires":0,"queue":"shop"}})";
    for (int n = 1; n <= 3; ++n)
        in.records.push_back({.number = n, .copies = 1, .fields = {}, .columns = {{"单号", "R" + std::to_string(n)}},
                              .counters = {}});
    const auto id = journal->recordJob(in);
    ASSERT_TRUE(id.ok()) << id.error;
    const std::string job = std::to_string(id.value);
    ASSERT_EQ(test::runSql(url, "UPDATE print_queue SET state = 'uncertain', station = 'back', printer = 'laser',"
                                " holder = 'back pid 1@gone 1', cups_job = 9 WHERE idx < 2 AND job_id = " + job
                                    + "; UPDATE records SET outcome = 'printing', cups_job_id = 9 WHERE idx < 2;"
                                      " UPDATE jobs SET outcome = 'printing'"),
              "");

    QTemporaryDir folder;
    const ConfigHome home(folder.filePath(QStringLiteral("config")).toStdString());
    ASSERT_EQ(ShopConfig().save({url, "front"}), "");
    ScriptedPrompter prompter;
    JournalSession session(folder.filePath(QStringLiteral("journal.sqlite")).toStdString());
    JournalWindow w(prompter, session);
    ASSERT_EQ(w.jobList()->rowCount(), 1);
    w.jobList()->setCurrentCell(0, 0);
    ASSERT_FALSE(w.uncertainButton()->isHidden());
    ASSERT_EQ(w.recordList()->rowCount(), 3);
    EXPECT_EQ(w.recordList()->item(0, 2)->text(), QStringLiteral("不确定"));
    EXPECT_EQ(w.recordList()->item(1, 2)->text(), QStringLiteral("不确定"));
    EXPECT_NE(w.recordList()->item(2, 2)->text(), QStringLiteral("不确定"));

    // The first came out.
    w.recordList()->clearSelection();
    w.recordList()->selectRow(0);
    prompter.answers.push_back(MessageAnswer::Yes);
    EXPECT_TRUE(w.settleUncertain());
    ASSERT_FALSE(prompter.messages.empty());
    EXPECT_NE(prompter.messages.back().text.find("1 条记录交给了 back/laser"), std::string::npos)
        << prompter.messages.back().text;
    EXPECT_EQ(test::queryNumber(url, "SELECT count(*) FROM records WHERE outcome = 'printed' AND idx = 0"), 1);
    EXPECT_EQ(test::queryNumber(url, "SELECT count(*) FROM print_queue WHERE idx = 0"), 0);

    // The other did not: back into the queue; nothing of the job is uncertain now.
    ASSERT_FALSE(w.uncertainButton()->isHidden());
    w.recordList()->clearSelection();
    prompter.answers.push_back(MessageAnswer::No);
    EXPECT_TRUE(w.settleUncertain());
    EXPECT_EQ(test::queryNumber(url, "SELECT count(*) FROM print_queue WHERE idx = 1 AND state = 'queued'"), 1);
    EXPECT_EQ(test::queryNumber(url, "SELECT count(*) FROM records WHERE idx = 1 AND outcome = 'queued'"), 1);
    EXPECT_TRUE(w.uncertainButton()->isHidden());

    // Cancelled, nothing is decided.
    ASSERT_EQ(test::runSql(url, "UPDATE print_queue SET state = 'uncertain', station = 'back', printer = 'laser'"
                                " WHERE idx = 2"),
              "");
    w.refresh();
    w.jobList()->setCurrentCell(0, 0);
    prompter.answers.push_back(MessageAnswer::Cancel);
    EXPECT_FALSE(w.settleUncertain());
    EXPECT_EQ(test::queryNumber(url, "SELECT count(*) FROM print_queue WHERE state = 'uncertain'"), 1);
}
#endif

} // namespace
} // namespace ordavel
