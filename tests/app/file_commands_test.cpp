#include "window_fixture.h"

#include "designer/file_toolbar.h"
#include "platform/file_history.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace ordavel {
namespace {

using FileCommandsTest = WindowTest;

Message saveQuestion(const char* caption)
{
    return Message{"是否保存对文件的修改?", caption, MessageIcon::Question, MessageButtons::YesNoCancel};
}

TEST_F(FileCommandsTest, NewAsksOnlyForChangesAndCancelKeepsTheDocument)
{
    window->dispatch(DesignerCommand::New);
    EXPECT_TRUE(prompter.requests.empty());

    doc().addBox(BoxType::Label, 10, 10);
    prompter.answers = {MessageAnswer::Cancel, MessageAnswer::No};
    window->dispatch(DesignerCommand::New);
    EXPECT_EQ(doc().liveBoxCount(), 1);
    window->dispatch(DesignerCommand::New);
    EXPECT_EQ(doc().liveBoxCount(), 0);
    EXPECT_FALSE(doc().modified());
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[0], saveQuestion("新建文件"));
}

TEST_F(FileCommandsTest, OpenStopsWhenTheSaveChooserIsCancelled)
{
    doc().addBox(BoxType::Label, 10, 10);
    prompter.answers = {MessageAnswer::Yes};
    window->dispatch(DesignerCommand::Open);
    EXPECT_EQ(prompter.requests, (std::vector<std::string>{"message", "save"}));
    EXPECT_EQ(prompter.fileChoices[0].title, "保存文件");
    EXPECT_EQ(prompter.fileChoices[0].filter, "Ordavel文件(*.oxf)|*.oxf|所有文件(*.*)|*.*");
    EXPECT_EQ(doc().liveBoxCount(), 1);
}

TEST_F(FileCommandsTest, OpeningTheFileAlreadyOpenDoesNothing)
{
    const std::string path = writeTextTemplate(QStringLiteral("a.oxf"), "原文");
    prompter.files = {path};
    window->dispatch(DesignerCommand::Open);
    ASSERT_EQ(doc().fileName(), path);
    doc().box(1).attributes.text = "改过";
    doc().boxEdited(1);

    prompter.answers = {MessageAnswer::No};
    prompter.files = {path};
    window->dispatch(DesignerCommand::Open);
    EXPECT_EQ(doc().box(1).attributes.text, "改过"); // not reloaded
    EXPECT_TRUE(doc().modified());
}

TEST_F(FileCommandsTest, SaveAsWritesTheChosenNameAndSaveStateFollows)
{
    doc().addBox(BoxType::EditBox, 10, 10);
    const std::string path = folder.filePath(QStringLiteral("copy.oxf")).toStdString();
    prompter.files = {path};
    window->dispatch(DesignerCommand::SaveAs);
    EXPECT_EQ(prompter.fileChoices.back().title, "另存为...");
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path)));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ordavel v1.65 - ") + QString::fromStdString(path));
    QAction* save = window->fileToolBar()->entry(FileToolBar::Save);
    EXPECT_FALSE(save->isEnabled());
    doc().setProperty(1, "顶边", 50);
    EXPECT_TRUE(save->isEnabled());
    window->dispatch(DesignerCommand::Save); // named: no chooser
    EXPECT_EQ(prompter.fileChoices.size(), 1u);
    EXPECT_FALSE(save->isEnabled());
}

TEST_F(FileCommandsTest, ClosingAsksAndNoDeletesTheBackgroundTempFileOnly)
{
    const std::string path = writeTemplate(QStringLiteral("bg.oxf"), [](Document& d) {
        QFile picture(QStringLiteral(ORDAVEL_TEST_DATA "/pictures/all-reds.gif"));
        ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
        d.page().background = picture.readAll().toStdString();
    });
    ASSERT_TRUE(window->openTemplate(path));
    const QString temp = QString::fromStdString(doc().page().backgroundTempPath);
    ASSERT_TRUE(QFile::exists(temp));
    doc().addBox(BoxType::Label, 10, 10);
    const QByteArray before = [&] {
        QFile f(QString::fromStdString(path));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    prompter.answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(QFile::exists(temp));

    prompter.answers = {MessageAnswer::No};
    EXPECT_TRUE(window->close());
    EXPECT_EQ(prompter.messages.back(), saveQuestion("退出程序"));
    EXPECT_FALSE(QFile::exists(temp));
    QFile after(QString::fromStdString(path));
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
}

TEST_F(FileCommandsTest, NewAndOpenDeleteTheBackgroundTempFileTheyReplace)
{
    const std::string path = writeTemplate(QStringLiteral("bg.oxf"), [](Document& d) {
        QFile picture(QStringLiteral(ORDAVEL_TEST_DATA "/pictures/all-reds.gif"));
        ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
        d.page().background = picture.readAll().toStdString();
    });
    ASSERT_TRUE(window->openTemplate(path));
    const QString first = QString::fromStdString(doc().page().backgroundTempPath);
    ASSERT_TRUE(window->openTemplate(path)); // loaded again: a new copy
    const QString second = QString::fromStdString(doc().page().backgroundTempPath);
    ASSERT_TRUE(QFile::exists(second));
    EXPECT_NE(first, second);
    EXPECT_FALSE(QFile::exists(first));

    window->dispatch(DesignerCommand::New);
    EXPECT_TRUE(doc().page().backgroundTempPath.empty());
    EXPECT_FALSE(QFile::exists(second));
}

TEST_F(FileCommandsTest, ExitSavesAnUntitledDocumentThroughTheChooserThenCloses)
{
    doc().addBox(BoxType::Label, 10, 10);
    const std::string path = folder.filePath(QStringLiteral("exit.oxf")).toStdString();
    prompter.answers = {MessageAnswer::Yes};
    prompter.files = {path};
    window->dispatch(DesignerCommand::Exit);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path)));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(prompter.messages.size(), 1u); // the close box did not ask again
    EXPECT_EQ(prompter.fileChoices[0].initialFolder, documentsFolder()); // nothing opened or chosen yet
}

TEST_F(FileCommandsTest, ChoosersStartAtTheOpenTemplateElseTheLastFolderElseTheDocuments)
{
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("forms")));
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("elsewhere")));
    const std::string forms = folder.filePath(QStringLiteral("forms")).toStdString();
    const std::string elsewhere = folder.filePath(QStringLiteral("elsewhere")).toStdString();
    const std::string path = writeTextTemplate(QStringLiteral("forms/a.oxf"), "x");

    window->dispatch(DesignerCommand::Open); // cancelled
    ASSERT_EQ(prompter.fileChoices.size(), 1u);
    EXPECT_EQ(prompter.fileChoices[0].initialFolder, documentsFolder());

    prompter.files = {path};
    window->dispatch(DesignerCommand::Open);
    ASSERT_EQ(doc().fileName(), path);
    window->dispatch(DesignerCommand::SaveAs);
    EXPECT_EQ(prompter.fileChoices.back().initialFolder, forms);

    // Saved elsewhere: that is now the template's folder and the last one.
    prompter.files = {elsewhere + "/b.oxf"};
    window->dispatch(DesignerCommand::SaveAs);
    ASSERT_EQ(doc().fileName(), elsewhere + "/b.oxf");
    window->dispatch(DesignerCommand::New);
    window->dispatch(DesignerCommand::Open);
    EXPECT_EQ(prompter.fileChoices.back().initialFolder, elsewhere);
    // Kept for the next run as well.
    EXPECT_EQ(FileHistory().lastFolder(), elsewhere);
}

TEST_F(FileCommandsTest, TheOpenArrowListsRecentTemplatesAndDropsMissingOnesWithANote)
{
    std::vector<std::string> paths;
    for (const char* name : {"1.oxf", "2.oxf", "3.oxf"})
        paths.push_back(writeTextTemplate(QString::fromUtf8(name), name));
    for (const std::string& path : paths) {
        prompter.files = {path};
        window->dispatch(DesignerCommand::Open);
    }
    ASSERT_EQ(doc().fileName(), paths[2]);
    FileToolBar* bar = window->fileToolBar();
    ASSERT_NE(bar->openMenu(), nullptr);
    EXPECT_EQ(bar->openMenu()->objectName().toStdString(), "打开菜单");
    bar->fillOpenMenuNow();
    std::vector<std::string> shown;
    QAction* second = nullptr;
    for (QAction* action : bar->openMenu()->actions()) {
        if (action->toolTip().endsWith(QStringLiteral(".oxf")) && !action->menu()) {
            shown.push_back(action->toolTip().toStdString());
            if (action->text() == QStringLiteral("&2 2.oxf"))
                second = action;
        }
    }
    EXPECT_EQ(shown, (std::vector<std::string>{paths[2], paths[1], paths[0]}));
    ASSERT_NE(second, nullptr);

    // Chosen from the menu: opened, and first again.
    second->trigger();
    EXPECT_EQ(doc().fileName(), paths[1]);
    EXPECT_EQ(FileHistory().recentTemplates().front(), paths[1]);
    EXPECT_TRUE(prompter.messages.empty());

    // A template deleted meanwhile: a note, and it leaves the list.
    ASSERT_TRUE(QFile::remove(QString::fromStdString(paths[0])));
    bar->fillOpenMenuNow();
    QAction* gone = nullptr;
    for (QAction* action : bar->openMenu()->actions())
        if (action->toolTip().toStdString() == paths[0])
            gone = action;
    ASSERT_NE(gone, nullptr);
    gone->trigger();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0], (Message{"找不到文件“" + paths[0] + "”，已把它从最近打开的列表中删除。", "打开文件",
                                             MessageIcon::Exclamation, MessageButtons::Ok}));
    EXPECT_EQ(FileHistory().recentTemplates(), (std::vector<std::string>{paths[1], paths[2]}));
    EXPECT_EQ(doc().fileName(), paths[1]);

    // The sample templates have a submenu of their own.
    bool samples = false;
    for (QAction* action : bar->openMenu()->actions())
        samples = samples || (action->menu() && action->text() == QStringLiteral("示例模板"));
    EXPECT_TRUE(samples);
}

TEST_F(FileCommandsTest, TheRecentListKeepsTenAndAModifiedDocumentIsAskedAbout)
{
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i) {
        paths.push_back(writeTextTemplate(QString::number(i) + QStringLiteral(".oxf"), "x"));
        ASSERT_TRUE(window->openTemplate(paths.back()));
    }
    const std::vector<std::string> recent = FileHistory().recentTemplates();
    ASSERT_EQ(recent.size(), 10u);
    EXPECT_EQ(recent.front(), paths[11]);
    EXPECT_EQ(recent.back(), paths[2]);

    doc().box(1).attributes.text = "改过";
    doc().boxEdited(1);
    prompter.answers = {MessageAnswer::Cancel};
    window->fileToolBar()->fillOpenMenuNow();
    emit window->fileToolBar()->templateChosen(QString::fromStdString(paths[5]));
    EXPECT_EQ(prompter.messages.at(0), saveQuestion("打开文件"));
    EXPECT_EQ(doc().fileName(), paths[11]);
}

} // namespace
} // namespace ordavel

namespace ordavel {
namespace {

TEST_F(FileCommandsTest, SaveAsShortcutWorksWhileTheSaveButtonIsOff)
{
    const std::string path = writeTextTemplate(QStringLiteral("a.oxf"), "x");
    ASSERT_TRUE(window->openTemplate(path));
    ASSERT_FALSE(window->fileToolBar()->entry(FileToolBar::Save)->isEnabled());
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window->windowHandle(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(prompter.fileChoices.size(), 1u);
    EXPECT_EQ(prompter.fileChoices[0].title, "另存为...");
}

TEST_F(FileCommandsTest, SaveAsIsOneClickAwayOnTheSaveArrowAfterASave)
{
    const std::string path = writeTextTemplate(QStringLiteral("a.oxf"), "x");
    ASSERT_TRUE(window->openTemplate(path));
    FileToolBar* bar = window->fileToolBar();
    ASSERT_FALSE(bar->entry(FileToolBar::Save)->isEnabled());
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(bar->entry(FileToolBar::Save)));
    ASSERT_NE(button, nullptr);
    QTimer::singleShot(0, [bar] {
        if (QApplication::activePopupWidget() == bar->saveMenu()) {
            bar->saveMenu()->actions().constFirst()->trigger();
            bar->saveMenu()->close();
        }
    });
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() - 3, button->height() / 2));
    EXPECT_EQ(prompter.requests, std::vector<std::string>{"save"});
    ASSERT_EQ(prompter.fileChoices.size(), 1u);
    EXPECT_EQ(prompter.fileChoices[0].title, "另存为...");
}

} // namespace
} // namespace ordavel
