#include "app/startup.h"

#include "app/command_line.h"
#include "app/main_window.h"
#include "support/scripted_prompter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace ordavel {
namespace {

// The start-up looks in the print journal for unfinished batches: each test
// has a journal folder of its own, not the one the other tests print into.
class OwnJournal {
public:
    OwnJournal() { qputenv("XDG_DATA_HOME", QFile::encodeName(m_folder.path())); }
    ~OwnJournal() { qputenv("XDG_DATA_HOME", m_old); }

private:
    QByteArray m_old = qgetenv("XDG_DATA_HOME");
    QTemporaryDir m_folder;
};

TEST(Startup, PlacesTheWindowThenRunsTheCommandLine)
{
    const OwnJournal journal;
    ScriptedPrompter prompter;
    QWidget* made = nullptr;
    const Startup started = startDesigner(prompter, {"/h"}, [&](QWidget* w) { made = w; });
    ASSERT_TRUE(started.window);
    EXPECT_EQ(made, started.window.get());
    EXPECT_FALSE(started.exitStatus);
    const QRect frame = started.window->frameGeometry();
    EXPECT_EQ(frame, QRect(0, 0, 1024, QApplication::primaryScreen()->geometry().height() - 35));
    EXPECT_TRUE(started.window->isVisible());
    // The help switch shows the help through the program's prompter, and the program goes on.
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0], (Message{kHelpText, "打开文件", MessageIcon::Exclamation, MessageButtons::Ok}));
    // The splash has given way: the main window is the only visible top-level window.
    int visible = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        visible += w->isVisible() ? 1 : 0;
    EXPECT_EQ(visible, 1);
}

TEST(Startup, DirectPrintEndsWithTheStatusAndRemovesTheBackgroundCopy)
{
    const OwnJournal journal;
    QTemporaryDir folder;
    ScriptedPrompter prompter;
    // The first start-up only makes a template with a background picture to print.
    const std::string path = folder.filePath(QStringLiteral("bg.oxf")).toStdString();
    {
        const Startup maker = startDesigner(prompter, {});
        Document& doc = maker.window->document();
        QFile picture(QStringLiteral(ORDAVEL_TEST_DATA "/pictures/all-reds.gif"));
        ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
        doc.page().background = picture.readAll().toStdString();
        doc.addBox(BoxType::Label, 10, 10);
        prompter.files = {path};
        maker.window->dispatch(DesignerCommand::Save);
    }
    // A temporary folder of its own: tests running beside this one make and
    // remove background copies in the shared one.
    QTemporaryDir temps;
    const QByteArray sharedTemps = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temps.path()));
    const Startup started = startDesigner(prompter, {path, "-p"});
    if (sharedTemps.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", sharedTemps);
    EXPECT_EQ(started.exitStatus, kExitPrintCancelled);
    EXPECT_EQ(started.window->document().liveBoxCount(), 1);
    EXPECT_EQ(QDir(temps.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

} // namespace
} // namespace ordavel
