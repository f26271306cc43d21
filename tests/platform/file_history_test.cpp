#include "platform/file_history.h"

#include "support/scripted_prompter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ordavel {
namespace {

class FileHistoryTest : public ::testing::Test {
protected:
    std::string path(const QString& name) const { return folder.filePath(name).toStdString(); }
    std::string makeFolder(const QString& name) const
    {
        EXPECT_TRUE(QDir(folder.path()).mkpath(name));
        return path(name);
    }

    QTemporaryDir folder;
    FileHistory history{path("config/ordavel/files.ini")};
};

TEST_F(FileHistoryTest, RecentTemplatesAreTheLastTenNewestFirstAndOutliveTheObject)
{
    EXPECT_TRUE(history.recentTemplates().empty());
    for (int i = 1; i <= 12; ++i)
        history.addRecentTemplate("/forms/" + std::to_string(i) + ".oxf");
    // Opened again: moves to the front, not listed twice.
    history.addRecentTemplate("/forms/5.oxf");
    const std::vector<std::string> expected{"/forms/5.oxf",  "/forms/12.oxf", "/forms/11.oxf", "/forms/10.oxf",
                                            "/forms/9.oxf",  "/forms/8.oxf",  "/forms/7.oxf",  "/forms/6.oxf",
                                            "/forms/4.oxf",  "/forms/3.oxf"};
    EXPECT_EQ(history.recentTemplates(), expected);

    // Another run reads the same file.
    FileHistory later(history.path());
    EXPECT_EQ(later.recentTemplates(), expected);
    later.removeRecentTemplate("/forms/12.oxf");
    later.removeRecentTemplate("/forms/not-listed.oxf");
    ASSERT_EQ(history.recentTemplates().size(), 9u);
    EXPECT_EQ(history.recentTemplates()[1], "/forms/11.oxf");

    // Names of every kind survive the settings file: spaces, commas, quotes, Chinese.
    const std::string odd = "/表单/快递, \"单\" a=b;c.oxf";
    history.addRecentTemplate(odd);
    EXPECT_EQ(FileHistory(history.path()).recentTemplates().front(), odd);
}

TEST_F(FileHistoryTest, ChoosersStartAtTheTemplateThenTheLastFolderThenTheDocuments)
{
    const std::string forms = makeFolder("forms");
    const std::string scans = makeFolder("scans");

    // Nothing known yet: the documents folder (the home folder without one).
    EXPECT_EQ(chooserStartFolder("", history), documentsFolder());
    EXPECT_TRUE(QDir(QString::fromStdString(documentsFolder())).exists());

    history.rememberFolderOf(scans + "/scan.jpg");
    EXPECT_EQ(history.lastFolder(), scans);
    EXPECT_EQ(chooserStartFolder("", history), scans);
    EXPECT_EQ(chooserStartFolder(forms + "/waybill.oxf", history), forms);

    // Folders that are gone are passed over.
    EXPECT_EQ(chooserStartFolder(path("gone/waybill.oxf"), history), scans);
    ASSERT_TRUE(QDir(QString::fromStdString(scans)).removeRecursively());
    EXPECT_EQ(chooserStartFolder("", history), documentsFolder());
}

TEST_F(FileHistoryTest, AChosenFileMakesItsFolderTheNextStart)
{
    const std::string forms = makeFolder("forms");
    const std::string other = makeFolder("other");
    ScriptedPrompter prompter;
    prompter.files = {other + "/a.oxf", std::nullopt};
    FileChoice choice;
    choice.title = "打开文件";
    EXPECT_EQ(chooseFileFrom(prompter, choice, forms + "/open.oxf", false, history), other + "/a.oxf");
    EXPECT_EQ(prompter.fileChoices.at(0).initialFolder, forms);
    EXPECT_EQ(prompter.requests.at(0), "open");

    // Untitled: the folder chosen last; a cancelled save chooser changes nothing.
    EXPECT_EQ(chooseFileFrom(prompter, choice, "", true, history), std::nullopt);
    EXPECT_EQ(prompter.fileChoices.at(1).initialFolder, other);
    EXPECT_EQ(prompter.requests.at(1), "save");
    EXPECT_EQ(history.lastFolder(), other);
}

TEST(SampleTemplates, AreFoundInTheInstalledDataFolders)
{
    QTemporaryDir data;
    ASSERT_TRUE(QDir(data.path()).mkpath(QStringLiteral("ordavel/samples")));
    QFile(QString::fromUtf8(ORDAVEL_SOURCE_DIR "/samples/waybill.oxf")).copy(data.filePath(QStringLiteral("ordavel/samples/waybill.oxf")));
    QFile note(data.filePath(QStringLiteral("ordavel/samples/README.md")));
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    const QByteArray old = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS", data.path().toLocal8Bit());
    const std::vector<std::string> samples = sampleTemplates();
    qputenv("XDG_DATA_DIRS", old);
    const std::string expected = QDir(data.path()).canonicalPath().toStdString() + "/ordavel/samples/waybill.oxf";
    EXPECT_NE(std::find(samples.begin(), samples.end(), expected), samples.end());
    for (const std::string& sample : samples)
        EXPECT_EQ(sample.substr(sample.size() - 4), ".oxf") << sample;
}

} // namespace
} // namespace ordavel
