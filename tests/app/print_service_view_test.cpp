// The designer's view of the print service: the status bar counts the
// service's waiting jobs while the service runs, and the 打印记录 window lists
// the service's jobs with the others, showing what each record printed and
// previewing it from the template the journal kept. Jobs are written by the
// service's own queue into a journal in the test's folder.
#include "window_fixture.h"

#include "designer/journal_window.h"
#include "designer/service_queue_label.h"
#include "journal/journal.h"
#include "platform/print_service_presence.h"
#include "service/journal_queue.h"
#include "service/render/qt_page_maker.h"
#include "service/template_catalog.h"

#include <QLineEdit>
#include <QTableWidget>

#include <cstdlib>
#include <optional>

namespace ordavel {
namespace {

class PrintServiceView : public WindowTest {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            m_oldDataHome = old;
        ::setenv("XDG_DATA_HOME", folder.filePath(QStringLiteral("data-home")).toStdString().c_str(), 1);
        WindowTest::SetUp();
        journal = Journal::defaultPath();
        writeTemplate(QStringLiteral("card.oxf"), [](Document& d) {
            const int index = d.addBox(BoxType::Label, 40, 60, 400, 40);
            d.box(index).attributes.text = "单号 ${单号}";
            d.box(index).attributes.font = FontSpec{"WenQuanYi Zen Hei", 20};
        });
        std::string error;
        queue = service::JournalQueue::open(journal, error);
        ASSERT_TRUE(queue) << error;
    }
    void TearDown() override
    {
        window.reset();
        queue.reset();
        if (m_oldDataHome)
            ::setenv("XDG_DATA_HOME", m_oldDataHome->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

    // A job as the service accepts it: the template's bytes and each record's printed text.
    std::int64_t submit(const std::vector<std::string>& numbers)
    {
        std::string error;
        const auto info = service::TemplateCatalog(folder.path().toStdString()).describe("card", error);
        EXPECT_TRUE(info) << error;
        if (!info)
            return 0;
        service::NewJob job;
        job.owner = "shop";
        job.templateName = "card";
        job.templatePath = info->path;
        job.templateBytes = info->bytes;
        job.printer = "front-desk";
        for (const auto& number : numbers)
            job.records.push_back({{"单号", number}});
        job.printed = pages.printedText(*info->doc, job.records);
        const auto submitted = queue->submit(job, error);
        EXPECT_TRUE(submitted) << error;
        return submitted ? submitted->id : 0;
    }

    ServiceQueueLabel* statusLabel() const
    {
        return window->findChild<ServiceQueueLabel*>(QStringLiteral("状态_打印服务"));
    }

    std::string journal;
    std::unique_ptr<service::JournalQueue> queue;
    service::QtPageMaker pages;

private:
    std::optional<std::string> m_oldDataHome;
};

TEST_F(PrintServiceView, TheStatusBarCountsWaitingServiceJobsOnlyWhileTheServiceRuns)
{
    ServiceQueueLabel* label = statusLabel();
    ASSERT_NE(label, nullptr);
    const std::int64_t first = submit({"A1", "A2"});
    submit({"B1"});
    EXPECT_EQ(label->refresh(), -1) << "no service runs: nothing shown though jobs wait";
    EXPECT_FALSE(label->isVisible());

    {
        ServicePresence presence;
        std::string error;
        ASSERT_TRUE(presence.take(journal, error)) << error;
        ServicePresence second;
        EXPECT_FALSE(second.take(journal, error)) << "one service per journal";
        EXPECT_EQ(label->refresh(), 2);
        EXPECT_TRUE(label->isVisible());
        EXPECT_EQ(label->text(), QStringLiteral("打印服务：2 个任务等待"));
        queue->markSent({{first, 1}}, 41);
        EXPECT_EQ(label->refresh(), 2) << "a job partly in CUPS still waits";
        queue->markOutcome(first, 1, service::Outcome::Printed);
        queue->markOutcome(first, 2, service::Outcome::Cancelled);
        EXPECT_EQ(label->refresh(), 1);
        EXPECT_EQ(label->text(), QStringLiteral("打印服务：1 个任务等待"));
        const auto rest = queue->unfinished();
        ASSERT_EQ(rest.size(), 1u);
        queue->markOutcome(rest[0].id, 1, service::Outcome::Expired);
        EXPECT_EQ(label->refresh(), 0);
        EXPECT_FALSE(label->isVisible()) << "hidden when nothing waits";
        submit({"C1"});
    }
    EXPECT_EQ(label->refresh(), -1) << "the service stopped: hidden again";
    EXPECT_FALSE(label->isVisible());
}

TEST_F(PrintServiceView, TheJournalWindowListsServiceJobsWithTheirPrintedValues)
{
    const std::int64_t id = submit({"S-101", "S-102"});
    ASSERT_GT(id, 0);
    queue->markSent({{id, 1}, {id, 2}}, 42);
    queue->markOutcome(id, 1, service::Outcome::Printed);
    queue->markOutcome(id, 2, service::Outcome::Printed);
    // The file changes afterwards; the window shows what printed.
    writeTemplate(QStringLiteral("card.oxf"), [](Document& d) {
        d.box(d.addBox(BoxType::Label, 40, 60, 400, 40)).attributes.text = "CHANGED";
    });

    JournalSession session(journal);
    JournalWindow w(prompter, session);
    ASSERT_EQ(w.jobs().size(), 1u);
    EXPECT_EQ(w.jobList()->item(0, 3)->text(), QStringLiteral("打印服务"));
    EXPECT_EQ(w.jobList()->item(0, 5)->text(), QStringLiteral("front-desk"));
    EXPECT_EQ(w.jobList()->item(0, 7)->text(), QStringLiteral("2"));
    EXPECT_EQ(w.jobList()->item(0, 8)->text(), QStringLiteral("已打印"));
    ASSERT_EQ(w.recordList()->rowCount(), 2);
    EXPECT_EQ(w.recordList()->item(1, 3)->text(), QStringLiteral("单号 S-102"));

    w.recordList()->setCurrentCell(0, 0);
    const QImage one = w.previewImage();
    w.recordList()->setCurrentCell(1, 0);
    ASSERT_FALSE(one.isNull());
    EXPECT_NE(one, w.previewImage()) << "each record previews its own values from the kept template";

    w.searchLine()->setText(QStringLiteral("S-102"));
    EXPECT_EQ(w.jobs().size(), 1u);
    w.searchLine()->setText(QStringLiteral("S-999"));
    EXPECT_TRUE(w.jobs().empty());
    EXPECT_TRUE(prompter.messages.empty());
}

} // namespace
} // namespace ordavel
