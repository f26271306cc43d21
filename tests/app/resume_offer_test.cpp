// At start-up the designer offers to resume its own unfinished batch: the
// question goes through the prompter; "是" prints exactly the records that
// did not print (for a batch printed to a PDF file, to a new file beside it,
// which is left as it was), "否" leaves the job and
// is not asked again; other programs' jobs and jobs still being printed by a
// running process are not offered.
#include "app/resume_offer.h"

#include "journal/journal.h"
#include "platform/journal_resume.h"
#include "support/pdf_text.h"
#include "support/scripted_prompter.h"
#include "file/template_writer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace ordavel {
namespace {

using test::pdfText;

// A process id that no process has any more.
int deadPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<int>(child);
}

std::string hostName()
{
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

class ResumeOffer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        journalPath = folder.filePath(QStringLiteral("journal.sqlite")).toStdString();
        pdf = folder.filePath(QStringLiteral("batch.pdf")).toStdString();
        Document doc;
        const int index = doc.addBox(BoxType::Label, 40, 60, 400, 40);
        doc.box(index).attributes.text = "Order ${单号}";
        doc.box(index).attributes.font = FontSpec{"WenQuanYi Zen Hei", 20};
        ScriptedPrompter quiet;
        templateBytes = ordavel::templateBytes(doc, quiet).value_or(std::string());
        ASSERT_FALSE(templateBytes.empty());
    }

    // A batch of three records by `program`, whose first record printed and
    // whose printing process `claimant` is gone before the rest were sent.
    JournalJobId interruptedBatch(Journal& journal, const std::string& program, const std::string& claimant)
    {
        JournalJobIn job;
        job.program = program;
        job.kind = JournalKind::Batch;
        job.printer = pdf;
        job.templatePath = "/gone/orders.oxf";
        job.templateName = "orders.oxf";
        job.templateBytes = templateBytes;
        for (int i = 1; i <= 3; ++i) {
            JournalRecordIn record;
            record.number = i;
            record.columns = {{"单号", "A" + std::to_string(i)}};
            record.fields = {{"box 1", "Order A" + std::to_string(i)}};
            job.records.push_back(record);
        }
        const auto id = journal.recordJob(job);
        EXPECT_TRUE(id.ok()) << id.error;
        EXPECT_TRUE(journal.claimJob(id.value, claimant).value);
        EXPECT_EQ(journal.setRecordOutcome(id.value, 0, 0, JournalOutcome::Printed), "");
        return id.value;
    }

    // What the designer does when it starts: a session of its own on the journal.
    int offerOnStart()
    {
        JournalSession session(journalPath);
        return offerResume(prompter, nullptr, session);
    }

    std::string deadClaimant() const { return "pid " + std::to_string(deadPid()) + "@" + hostName(); }

    // Runs the event loop until job `id` has finished (the designer settles it there).
    std::optional<JournalJob> settled(Journal& journal, JournalJobId id)
    {
        QElapsedTimer clock;
        clock.start();
        std::optional<JournalJob> job;
        while (clock.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            job = journal.job(id).value;
            if (job && isFinal(job->outcome) && job->printedCount == job->recordCount)
                break;
        }
        return job;
    }

    QTemporaryDir folder;
    std::string journalPath;
    std::string pdf;
    std::string templateBytes;
    ScriptedPrompter prompter;
};

TEST_F(ResumeOffer, YesPrintsExactlyTheRecordsNotPrintedToANewFileAndTheJobEndsPrinted)
{
    auto journal = Journal::open(journalPath).journal;
    ASSERT_TRUE(journal);
    const JournalJobId id = interruptedBatch(*journal, "designer", deadClaimant());
    // The pages printed before the interruption.
    const std::string earlier = "%PDF-1.4 the pages printed first\n";
    std::ofstream(pdf, std::ios::binary) << earlier;
    const std::string resumed = folder.filePath(QStringLiteral("batch-resumed.pdf")).toStdString();

    prompter.answers.push_back(MessageAnswer::Yes);
    EXPECT_EQ(offerOnStart(), 1);
    ASSERT_EQ(prompter.messages.size(), 2u);
    const Message& question = prompter.messages[0];
    EXPECT_EQ(question.caption, "打印文件");
    EXPECT_EQ(question.buttons, MessageButtons::YesNo);
    EXPECT_NE(question.text.find("“orders”共 3 条记录，还有 2 条没有打印"), std::string::npos) << question.text;
    EXPECT_NE(question.text.find("ordavel-cli journal resume " + std::to_string(id)), std::string::npos);
    EXPECT_NE(question.text.find("新文件“" + resumed + "”"), std::string::npos) << question.text;
    // Where the records went, and that the earlier file is as it was.
    const Message& told = prompter.messages[1];
    EXPECT_EQ(told.caption, "打印文件");
    EXPECT_NE(told.text.find("“" + resumed + "”"), std::string::npos) << told.text;
    EXPECT_NE(told.text.find("“" + pdf + "”没有改动"), std::string::npos) << told.text;

    std::ifstream file(pdf, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), earlier);
    const std::string text = pdfText(resumed);
    EXPECT_EQ(text.find("Order A1"), std::string::npos) << text;
    EXPECT_NE(text.find("Order A2"), std::string::npos) << text;
    EXPECT_NE(text.find("Order A3"), std::string::npos) << text;

    const auto job = settled(*journal, id);
    ASSERT_TRUE(job.has_value());
    EXPECT_EQ(job->outcome, JournalOutcome::Printed);
    EXPECT_EQ(job->printedCount, 3);
    // Nothing is left to offer on the next start.
    EXPECT_EQ(offerOnStart(), 0);
    EXPECT_EQ(prompter.messages.size(), 2u);
}

TEST_F(ResumeOffer, AResumedFileNeverTakesTheNameOfAnExistingFile)
{
    auto journal = Journal::open(journalPath).journal;
    ASSERT_TRUE(journal);
    const JournalJobId id = interruptedBatch(*journal, "designer", deadClaimant());
    // An earlier resume's file, and a link where the next name would be.
    const std::string first = folder.filePath(QStringLiteral("batch-resumed.pdf")).toStdString();
    const std::string linked = folder.filePath(QStringLiteral("batch-resumed-2.pdf")).toStdString();
    const std::string target = folder.filePath(QStringLiteral("elsewhere.txt")).toStdString();
    std::ofstream(first) << "first resume";
    std::ofstream(target) << "not to be written";
    ASSERT_EQ(::symlink(target.c_str(), linked.c_str()), 0);
    const std::string third = folder.filePath(QStringLiteral("batch-resumed-3.pdf")).toStdString();
    EXPECT_EQ(resumedFileName(pdf), third);

    prompter.answers.push_back(MessageAnswer::Yes);
    EXPECT_EQ(offerOnStart(), 1);
    EXPECT_NE(pdfText(third).find("Order A3"), std::string::npos);
    const auto read = [](const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    EXPECT_EQ(read(first), "first resume");
    EXPECT_EQ(read(target), "not to be written");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(pdf)));
    ASSERT_TRUE(settled(*journal, id).has_value());
}

TEST_F(ResumeOffer, NoLeavesTheJobAndIsNotAskedAgainAndOtherJobsAreNotOffered)
{
    auto journal = Journal::open(journalPath).journal;
    ASSERT_TRUE(journal);
    const JournalJobId declined = interruptedBatch(*journal, "designer", deadClaimant());
    // The tool's own batch, and a designer batch whose process still runs (this one).
    interruptedBatch(*journal, "tool", deadClaimant());
    const JournalJobId running
        = interruptedBatch(*journal, "designer", "pid " + std::to_string(::getpid()) + "@" + hostName());

    prompter.answers.push_back(MessageAnswer::No);
    EXPECT_EQ(offerOnStart(), 0);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_NE(prompter.messages[0].text.find("resume " + std::to_string(declined)), std::string::npos);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(pdf)));

    const auto records = journal->records(declined).value;
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].outcome, JournalOutcome::Printed);
    EXPECT_NE(records[1].outcome, JournalOutcome::Printed);
    EXPECT_TRUE(journal->job(declined).value->resumeOffered);
    EXPECT_EQ(journal->job(running).value->outcome, JournalOutcome::Printing);

    // The next start asks nothing.
    EXPECT_EQ(offerOnStart(), 0);
    EXPECT_EQ(prompter.messages.size(), 1u);
}

TEST_F(ResumeOffer, NoJournalFileIsCreatedByLooking)
{
    EXPECT_EQ(offerOnStart(), 0);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(journalPath)));
    EXPECT_TRUE(prompter.messages.empty());
}

} // namespace
} // namespace ordavel
