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
    std::string error;
    test::PostgresServer* server = test::PostgresServer::shared(error);
    ASSERT_NE(server, nullptr) << error;
    const std::string url = server->createDatabase(error);
    ASSERT_FALSE(url.empty()) << error;
    ASSERT_TRUE(initShopJournal(url).ok());
    Document card;
    card.box(card.addBox(BoxType::Label, 40, 60, 400, 40)).attributes.text = "No.001";
    ScriptedPrompter quiet;
    const std::string bytes = templateBytes(card, quiet).value_or(std::string());
    ASSERT_FALSE(bytes.empty());
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
#endif

} // namespace
} // namespace ordavel
