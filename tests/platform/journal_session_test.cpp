// The program's journal session: looking does not create a journal, a print
// does; one connection serves every print, and a journal whose file was
// moved away (by the user, by another program) is opened anew at its path.
#include "platform/journal_session.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

namespace ordavel {
namespace {

TEST(JournalSession, OpensOnceCreatesOnlyWhenAskedAndFollowsTheFileBeingMovedAway)
{
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("journal.sqlite")).toStdString();
    JournalSession session(path);
    std::string error;
    EXPECT_EQ(session.journal(error, false), nullptr);
    EXPECT_EQ(error, "");
    EXPECT_FALSE(std::filesystem::exists(path));

    const auto first = session.journal(error);
    ASSERT_NE(first, nullptr) << error;
    EXPECT_EQ(session.journal(error, false), first);
    EXPECT_EQ(session.runJournal()->journal(), first.get());

    std::filesystem::rename(path, path + ".moved");
    const auto again = session.journal(error);
    ASSERT_NE(again, nullptr) << error;
    EXPECT_NE(again, first);
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(JournalSession, ASwitchedOffJournalGivesPrintsNoneAndAnUnopenableOneSaysWhy)
{
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("journal.sqlite")).toStdString();
    ASSERT_EQ(Journal::setOff(true, path), "");
    JournalSession off(path);
    const auto none = off.runJournal();
    EXPECT_EQ(none->journal(), nullptr);
    EXPECT_EQ(none->takeProblem(), "");

    // A folder where the file should be cannot be opened as a journal.
    const std::string blocked = folder.filePath(QStringLiteral("blocked")).toStdString();
    std::filesystem::create_directories(blocked);
    JournalSession broken(blocked);
    const auto problem = broken.runJournal();
    EXPECT_EQ(problem->journal(), nullptr);
    EXPECT_NE(problem->takeProblem().find("the print journal cannot be opened"), std::string::npos);
}

} // namespace
} // namespace ordavel
