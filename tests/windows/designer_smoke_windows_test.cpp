// The designer on Windows' own windows (Qt's windows platform, run under Wine
// and Xvfb by scripts/test-windows): started with the sample waybill on its
// command line, titled with its name, switched to preview, and closed without
// a question since nothing changed.
#include "app/main_window.h"
#include "app/startup.h"
#include "support/scripted_prompter.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <filesystem>

namespace ordavel {
namespace {

TEST(DesignerOnWindows, OpensTheSampleWithItsTitleShowsPreviewAndClosesWithoutAQuestion)
{
    // The title names the file as Windows does: absolute, on its drive.
    const std::string sample =
        QDir::toNativeSeparators(QFileInfo(QStringLiteral(ORDAVEL_SOURCE_DIR "/samples/waybill.oxf")).absoluteFilePath())
            .toStdString();
    ScriptedPrompter prompter;
    const Startup started = startDesigner(prompter, {sample});
    ASSERT_TRUE(started.window);
    EXPECT_FALSE(started.exitStatus);
    MainWindow& window = *started.window;
    QApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Ordavel v" ORDAVEL_VERSION " - ") + QString::fromStdString(sample));
    EXPECT_EQ(window.document().appMode(), AppMode::EditMode);

    window.dispatch(DesignerCommand::PreviewMode);
    QApplication::processEvents();
    EXPECT_EQ(window.document().appMode(), AppMode::PreviewMode);
    EXPECT_FALSE(window.document().modified());

    EXPECT_TRUE(window.close());
    EXPECT_TRUE(prompter.messages.empty()) << prompter.messages.front().text;
}

} // namespace
} // namespace ordavel
