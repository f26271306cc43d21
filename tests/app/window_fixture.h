#pragma once
// A main window on the offscreen platform with the scripted prompter, and a
// template written by the program's own writer into a temporary folder.

#include "app/main_window.h"
#include "designer/box_menus.h"
#include "file/template_writer.h"
#include "support/scripted_prompter.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace ordavel {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        // Settings (recent files, the last folder, calibrations) of this test alone.
        qputenv("XDG_CONFIG_HOME", configFolder.path().toLocal8Bit());
        window = std::make_unique<MainWindow>(prompter, UnitFactors::fromDpi(96.0));
        // A modal pop-up menu would wait for a click no test sends.
        window->boxMenus()->popup = [](QMenu&) {};
        window->resize(1024, 700);
        window->show();
        QApplication::processEvents();
    }

    Document& doc() { return window->document(); }

    // Writes a template made by `fill` (a fresh document) to `name` in the folder.
    std::string writeTemplate(const QString& name, const std::function<void(Document&)>& fill)
    {
        Document source;
        fill(source);
        const std::string path = folder.filePath(name).toStdString();
        ScriptedPrompter writerMessages;
        EXPECT_TRUE(saveDocument(source, path, writerMessages));
        return path;
    }

    // A template with one printed text box reading `text` at (40, 60).
    std::string writeTextTemplate(const QString& name, const std::string& text)
    {
        return writeTemplate(name, [&](Document& d) {
            const int index = d.addBox(BoxType::EditBox, 40, 60, 160, 28);
            d.box(index).attributes.text = text;
            d.boxEdited(index);
        });
    }

    QTemporaryDir folder;
    QTemporaryDir configFolder;
    ScriptedPrompter prompter;
    std::unique_ptr<MainWindow> window;
};

} // namespace ordavel
