#include "window_fixture.h"

#include "app/load_progress.h"
#include "designer/box_view.h"
#include "designer/work_area.h"

#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace ordavel {
namespace {

using LoadCancelTest = WindowTest;

TEST_F(LoadCancelTest, CancelLeavesTheEmptyUntitledDocumentWithoutAMessage)
{
    const std::string path = writeTemplate(QStringLiteral("many.oxf"), [](Document& d) {
        for (int i = 0; i < 400; ++i)
            d.addBox(BoxType::Label, i % 20 * 30, i / 20 * 30);
    });
    doc().addBox(BoxType::Label, 10, 10);
    window->setLoadProgressDelay(0);

    // The progress window shows at the first box; its Cancel is pressed as soon
    // as the load lets events run.
    QString caption;
    QString button;
    int boxesWhenCancelled = -1;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        LoadProgress* progress = window->loadProgress();
        if (!progress || !progress->dialog())
            return;
        poll.stop();
        caption = progress->dialog()->windowTitle();
        auto* cancel = progress->dialog()->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        button = cancel->text();
        boxesWhenCancelled = doc().liveBoxCount();
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    poll.start();
    EXPECT_FALSE(window->openTemplate(path));

    EXPECT_EQ(caption, QStringLiteral("打开文件"));
    EXPECT_EQ(button, QStringLiteral("取消"));
    EXPECT_GT(boxesWhenCancelled, 0);
    EXPECT_LT(boxesWhenCancelled, 400);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(doc().liveBoxCount(), 0);
    EXPECT_TRUE(doc().fileName().empty());
    EXPECT_FALSE(doc().modified());
    EXPECT_EQ(doc().title(), "Ordavel v1.65 - 未命名文档.oxf");
    EXPECT_EQ(doc().appMode(), AppMode::EditMode);
    EXPECT_EQ(window->loadProgress(), nullptr);

    // The same template loads whole when nobody cancels.
    window->setLoadProgressDelay(LoadProgress::kQuietMs);
    EXPECT_TRUE(window->openTemplate(path));
    EXPECT_EQ(doc().liveBoxCount(), 400);
    EXPECT_TRUE(window->workArea()->boxView(400)->control()->isVisible());
}

} // namespace
} // namespace ordavel
