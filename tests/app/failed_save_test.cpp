// A save that cannot be written stops the command that asked for it: the
// modified document and the window stay as they were.
#include "window_fixture.h"

#include <QDir>
#include <QFile>

#include <sys/mount.h>

#include <fstream>

namespace ordavel {
namespace {

Message saveQuestion(const char* caption)
{
    return Message{"是否保存对文件的修改?", caption, MessageIcon::Question, MessageButtons::YesNoCancel};
}

Message createFailed(const std::string& path)
{
    return Message{"创建文件失败，请重试。\r\n（" + path + "）", "保存文件", MessageIcon::Stop, MessageButtons::Ok};
}

class FailedSaveTest : public WindowTest {
protected:
    // One label, modified, named `fileName` (empty: untitled).
    void makeUnsaved(const std::string& fileName)
    {
        doc().addBox(BoxType::Label, 10, 10);
        doc().setFileName(fileName);
        doc().setTitle(true);
    }

    void expectKept(const std::string& fileName)
    {
        EXPECT_TRUE(doc().modified());
        EXPECT_EQ(doc().liveBoxCount(), 1);
        EXPECT_EQ(doc().fileName(), fileName);
        EXPECT_EQ(doc().appMode(), AppMode::DesignMode);
        EXPECT_TRUE(window->isVisible());
    }

    std::string inMissingFolder() const
    {
        return folder.filePath(QStringLiteral("no such folder/form.oxf")).toStdString();
    }

    std::string existingFolder() const
    {
        const QString path = folder.filePath(QStringLiteral("folder.oxf"));
        QDir().mkpath(path);
        return path.toStdString();
    }
};

TEST_F(FailedSaveTest, ExitAndTheCloseBoxKeepTheWindowOpen)
{
    const std::string path = inMissingFolder();
    makeUnsaved(path);
    prompter.answers = {MessageAnswer::Yes};
    window->dispatch(DesignerCommand::Exit);
    EXPECT_EQ(prompter.messages, (std::vector<Message>{saveQuestion("退出程序"), createFailed(path)}));
    expectKept(path);

    prompter.messages.clear();
    prompter.answers = {MessageAnswer::Yes};
    EXPECT_FALSE(window->close());
    EXPECT_EQ(prompter.messages, (std::vector<Message>{saveQuestion("退出程序"), createFailed(path)}));
    expectKept(path);

    // The close box does not count the failed Exit as confirmed: it asks again.
    prompter.messages.clear();
    prompter.answers = {MessageAnswer::No};
    EXPECT_TRUE(window->close());
    EXPECT_EQ(prompter.messages, std::vector<Message>{saveQuestion("退出程序")});
}

TEST_F(FailedSaveTest, NewKeepsTheDocumentUnderTheNameChosenForIt)
{
    makeUnsaved("");
    const std::string path = existingFolder();
    prompter.answers = {MessageAnswer::Yes};
    prompter.files = {path};
    window->dispatch(DesignerCommand::New);
    EXPECT_EQ(prompter.requests, (std::vector<std::string>{"message", "save", "message"}));
    EXPECT_EQ(prompter.messages, (std::vector<Message>{saveQuestion("新建文件"), createFailed(path)}));
    expectKept(path); // a failed save keeps the name it was given
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path)).isDir());
}

TEST_F(FailedSaveTest, OpenStopsBeforeItsChooser)
{
    const std::string other = writeTextTemplate(QStringLiteral("other.oxf"), "别的");
    const std::string path = inMissingFolder();
    makeUnsaved(path);
    prompter.answers = {MessageAnswer::Yes};
    prompter.files = {other};
    window->dispatch(DesignerCommand::Open);
    EXPECT_EQ(prompter.requests, (std::vector<std::string>{"message", "message"}));
    EXPECT_EQ(prompter.messages, (std::vector<Message>{saveQuestion("打开文件"), createFailed(path)}));
    expectKept(path);
}

// A small file system that is full, mounted for the test; needs the right to mount.
class FullDisk {
public:
    explicit FullDisk(const QString& mountPoint) : m_path(mountPoint.toStdString())
    {
        QDir().mkpath(mountPoint);
        m_mounted = ::mount("tmpfs", m_path.c_str(), "tmpfs", 0, "size=64k") == 0;
        if (!m_mounted)
            return;
        std::ofstream filler(m_path + "/filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
        }
    }
    ~FullDisk()
    {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    std::string file(const char* name) const { return m_path + "/" + name; }

private:
    std::string m_path;
    bool m_mounted = false;
};

TEST_F(FailedSaveTest, AFullDiskStopsExitNewAndOpen)
{
    const FullDisk disk(folder.filePath(QStringLiteral("small")));
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    const std::string other = writeTextTemplate(QStringLiteral("other.oxf"), "别的");
    const std::string path = disk.file("form.oxf");
    makeUnsaved(path);
    for (const char* caption : {"退出", "新建", "打开"}) {
        prompter.messages.clear();
        prompter.answers = {MessageAnswer::Yes};
        prompter.files = {other};
        window->dispatch(*commandCaptioned(QString::fromUtf8(caption)));
        ASSERT_EQ(prompter.messages.size(), 2u) << caption;
        EXPECT_EQ(prompter.messages[1], createFailed(path)) << caption;
        expectKept(path);
    }
    EXPECT_EQ(std::count(prompter.requests.begin(), prompter.requests.end(), "open"), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
}

} // namespace
} // namespace ordavel
