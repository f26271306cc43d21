// The designer of a station in a shop: a print after the shop's database went
// away falls back to the station's own journal file (a numbered form is
// refused), the status bar counts what waits, and the next print once the
// shop answers again uploads it first, exactly once. The "模板库" submenu of
// Open lists the library and opens a byte-for-byte copy of a revision.
#include "window_fixture.h"

#include "designer/file_toolbar.h"
#include "designer/upload_waiting_label.h"
#include "journal/journal.h"
#include "shop/library_copy.h"
#include "shop/shop_config.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>

#if ORDAVEL_POSTGRES
#include "support/postgres_server.h"
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

namespace ordavel {
namespace {

#if ORDAVEL_POSTGRES
namespace fs = std::filesystem;

std::string bytesOf(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// The submenu of the Open button's menu named `objectName`, null when absent.
QMenu* openSubmenu(FileToolBar& bar, const QString& objectName)
{
    for (QAction* action : bar.openMenu()->actions())
        if (action->menu() != nullptr && action->menu()->objectName() == objectName)
            return action->menu();
    return nullptr;
}

class ShopDesigner : public WindowTest {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            m_oldDataHome = old;
        dataHome = folder.filePath(QStringLiteral("data-home")).toStdString();
        ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        WindowTest::SetUp();
    }
    void TearDown() override
    {
        window.reset();
        if (m_oldDataHome)
            ::setenv("XDG_DATA_HOME", m_oldDataHome->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

    // Waits (running the event loop) until `done`, at most 10 s.
    static bool eventually(const std::function<bool()>& done)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            if (done())
                return true;
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        return done();
    }

    std::string dataHome;

private:
    std::optional<std::string> m_oldDataHome;
};

class ShopDesignerOnServer : public ShopDesigner {
protected:
    void SetUp() override
    {
        ShopDesigner::SetUp();
        std::string error;
        server = test::PostgresServer::shared(error);
        ASSERT_NE(server, nullptr) << error;
        url = server->createDatabase(error);
        ASSERT_FALSE(url.empty()) << error;
        ASSERT_TRUE(initShopJournal(url).ok());
        shop = Journal::openShop(url, "east").journal;
        ASSERT_TRUE(shop);
        ASSERT_EQ(shop->joinStation("east"), "");
    }
    void TearDown() override
    {
        if (server != nullptr && !server->running())
            (void)server->start(); // a test that failed while it was stopped
        ShopDesigner::TearDown();
    }

    void join() { ASSERT_EQ(ShopConfig().save({url, "east"}), ""); }

    // The shop's jobs that printed `text`, once every one of them is final.
    std::vector<JournalJob> shopJobsOf(const std::string& text)
    {
        JournalQuery query;
        query.search = text;
        std::vector<JournalJob> jobs;
        eventually([&] {
            jobs = shop->listJobs(query).value;
            return !jobs.empty() && std::all_of(jobs.begin(), jobs.end(), [](const JournalJob& j) { return isFinal(j.outcome); });
        });
        return jobs;
    }

    bool printTo(const std::string& oxf, const char* pdf)
    {
        if (!window->openTemplate(oxf))
            return false;
        prompter.printers.push_back(true);
        prompter.printToFile = folder.filePath(QString::fromUtf8(pdf)).toStdString();
        return window->print();
    }

    test::PostgresServer* server = nullptr;
    std::string url;
    std::unique_ptr<Journal> shop;
};

TEST_F(ShopDesignerOnServer, APrintAfterTheShopWentAwayIsKeptHereAndTheNextOneUploadsItOnce)
{
    join();
    const auto text = [&](const char* name, const std::string& value) {
        return writeTemplate(QString::fromUtf8(name), [&](Document& d) {
            d.box(d.addBox(BoxType::Label, 40, 60, 400, 40)).attributes.text = value;
        });
    };
    const std::string before = text("before.oxf", "BEFORE");
    const std::string numbered = text("numbered.oxf", "No.${#seq:card:000}");
    const std::string offline = text("offline.oxf", "OFFLINE");
    const std::string after = text("after.oxf", "AFTER");
    JournalSession& session = window->journalSession();
    auto* label = window->findChild<UploadWaitingLabel*>(QStringLiteral("状态_待上传"));
    ASSERT_NE(label, nullptr);

    // The session opens the shop with its first print and keeps it.
    ASSERT_TRUE(printTo(before, "before.pdf"));
    ASSERT_EQ(shopJobsOf("BEFORE").size(), 1u);
    ASSERT_EQ(server->stop(), "");

    EXPECT_FALSE(printTo(numbered, "numbered.pdf"));
    ASSERT_FALSE(prompter.messages.empty());
    EXPECT_NE(prompter.messages.back().text.find("连不上，用到计数器的模板现在不能打印"), std::string::npos)
        << prompter.messages.back().text;
    EXPECT_EQ(prompter.messages.back().caption, "打印文件");
    prompter.messages.clear();

    ASSERT_TRUE(printTo(offline, "offline.pdf"));
    const auto own = Journal::open(session.path()).journal;
    ASSERT_TRUE(own);
    ASSERT_TRUE(eventually([&] {
        const auto jobs = own->listJobs().value;
        return jobs.size() == 1u && isFinal(jobs[0].outcome);
    }));
    EXPECT_EQ(own->listJobs().value[0].outcome, JournalOutcome::Printed);
    session.uploadWaiting();
    session.worker()->drain();
    label->refresh();
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->text(), QStringLiteral("待上传：1"));

    ASSERT_EQ(server->start(), "");
    ASSERT_TRUE(printTo(after, "after.pdf"));
    session.worker()->drain();
    const auto uploaded = shopJobsOf("OFFLINE");
    ASSERT_EQ(uploaded.size(), 1u);
    EXPECT_EQ(uploaded[0].station, "east");
    EXPECT_EQ(uploaded[0].outcome, JournalOutcome::Printed);
    EXPECT_EQ(shopJobsOf("AFTER").size(), 1u);
    label->refresh();
    EXPECT_FALSE(label->isVisible());

    // Further passes (the timer's) upload nothing again.
    session.uploadWaiting();
    session.worker()->drain();
    EXPECT_EQ(shopJobsOf("OFFLINE").size(), 1u);
    EXPECT_EQ(session.waitingUpload(), 0);
}

TEST_F(ShopDesignerOnServer, TheLibraryUnderOpenOpensACopyOfTheRevisionShownByteForByte)
{
    FileToolBar& bar = *window->fileToolBar();
    bar.fillOpenMenuNow();
    EXPECT_EQ(openSubmenu(bar, QStringLiteral("模板库菜单")), nullptr) << "shown only in a shop";

    const std::string first = writeTextTemplate(QStringLiteral("first.oxf"), "REVISION 1");
    const std::string second = writeTextTemplate(QStringLiteral("second.oxf"), "REVISION 2 & more");
    ASSERT_TRUE(shop->publishTemplate("waybill", bytesOf(first), "").ok());
    ASSERT_TRUE(shop->publishTemplate("waybill", bytesOf(second), "夏季版").ok());
    // A name the tool would refuse to publish, put into the database by other means.
    ASSERT_TRUE(shop->publishTemplate("../evil", bytesOf(first), "").ok());
    join();
    bar.fillOpenMenuNow();
    QMenu* library = openSubmenu(bar, QStringLiteral("模板库菜单"));
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(library->title(), QStringLiteral("模板库"));
    emit library->aboutToShow();
    const QList<QAction*> entries = library->actions();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]->text(), QStringLiteral("../evil  第1版"));
    EXPECT_EQ(entries[1]->text(), QStringLiteral("waybill  第2版  夏季版"));

    entries[1]->trigger();
    const std::string copy = libraryCopyFolder(window->journalSession().path()) + "/waybill.oxf";
    EXPECT_EQ(copy, dataHome + "/ordavel/library/waybill.oxf");
    EXPECT_EQ(doc().fileName(), copy);
    EXPECT_EQ(bytesOf(copy), bytesOf(second));
    ASSERT_EQ(doc().liveBoxCount(), 1);
    EXPECT_EQ(doc().box(1).attributes.text, "REVISION 2 & more");
    EXPECT_TRUE(prompter.messages.empty());

    entries[0]->trigger();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].caption, "模板库");
    EXPECT_EQ(prompter.messages[0].text.rfind("无法从模板库取出“../evil”：", 0), 0u) << prompter.messages[0].text;
    EXPECT_FALSE(fs::exists(dataHome + "/ordavel/evil.oxf"));
    EXPECT_EQ(doc().fileName(), copy) << "the open template stays";

    // Once the shop cannot be reached, the submenu says so instead of waiting.
    ASSERT_EQ(server->stop(), "");
    bar.fillOpenMenuNow();
    library = openSubmenu(bar, QStringLiteral("模板库菜单"));
    ASSERT_NE(library, nullptr);
    emit library->aboutToShow();
    ASSERT_EQ(library->actions().size(), 1);
    EXPECT_FALSE(library->actions()[0]->isEnabled());
    EXPECT_TRUE(library->actions()[0]->text().startsWith(QStringLiteral("（模板库读不出来："))) << library->actions()[0]->text().toStdString();
}
#endif

} // namespace
} // namespace ordavel
