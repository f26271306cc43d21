// A data field set in a box's property dialog: offered from the open data
// file, saved with the template, drawn by the preview of each record, undone
// like every other dialog edit; a box without one saves as it always did.
#include "window_fixture.h"

#include "designer/data_panel.h"
#include "designer/paper_panel.h"
#include "designer/work_area.h"
#include "dialogs/data_field_list.h"
#include "file/template_reader.h"

#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <fstream>

namespace ordavel {
namespace {

class DataFieldWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        oxf = writeTemplate(QStringLiteral("slip.oxf"), [](Document& d) {
            const int index = d.addBox(BoxType::DatePicker, 40, 60, 260, 40);
            d.box(index).attributes.font = FontSpec{"WenQuanYi Zen Hei", 16};
        });
        ASSERT_TRUE(window->openTemplate(oxf));
        original = bytes(oxf);
        window->switchMode(AppMode::DesignMode);
        settle();
    }
    void openData()
    {
        data = folder.filePath(QStringLiteral("slips.csv")).toStdString();
        std::ofstream(data) << "单号,寄件日期\nA1,2024-03-05\nA2,2025-11-30\n";
        ASSERT_TRUE(window->openDataFile(data));
        settle();
    }

    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
    static QByteArray bytes(const std::string& path)
    {
        QFile file(QString::fromStdString(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Opens box 1's dialog, types `field` into its data field and presses OK;
    // the entries the list offered come back.
    QStringList setField(const QString& field)
    {
        QStringList offered;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* list = dialog->findChild<DataFieldList*>(QStringLiteral("组合框_数据字段"));
            ASSERT_NE(list, nullptr);
            for (int i = 0; i < list->count(); ++i)
                offered << list->itemText(i);
            list->setEditText(field);
            dialog->findChild<QPushButton*>(QStringLiteral("按钮_确定"))->click();
        });
        window->boxMenus()->propertyDialog(1);
        settle();
        return offered;
    }
    void key(Qt::Key k)
    {
        QTest::keyClick(window->workArea()->focusHolder(), k, Qt::ControlModifier);
        // The application would keep Ctrl as held for the tests that follow.
        QTest::keyRelease(window->workArea()->focusHolder(), Qt::Key_Control, Qt::NoModifier);
        settle();
    }
    // The preview of record `row`.
    QImage previewOf(int row)
    {
        window->switchMode(AppMode::PreviewMode);
        window->dataPanel()->setCurrentRow(row);
        settle();
        const QImage shot = window->workArea()->paperPanel()->grab().toImage();
        window->switchMode(AppMode::DesignMode);
        settle();
        return shot;
    }
    std::string savedField()
    {
        Document read;
        ScriptedPrompter messages;
        EXPECT_TRUE(loadDocument(read, oxf, messages));
        return read.box(1).dataField;
    }

    std::string oxf;
    std::string data;
    QByteArray original;
};

TEST_F(DataFieldWindowTest, AFieldIsSavedPreviewedPerRecordAndUndone)
{
    openData();
    // Without a field both records preview alike: the box shows its own date.
    EXPECT_EQ(previewOf(0), previewOf(1));

    const QStringList offered = setField(QStringLiteral("寄件日期"));
    EXPECT_EQ(offered, (QStringList{QString(), QStringLiteral("单号"), QStringLiteral("寄件日期")}));
    EXPECT_EQ(doc().box(1).dataField, "寄件日期");
    EXPECT_TRUE(doc().modified());
    const QImage first = previewOf(0);
    EXPECT_NE(first, previewOf(1));

    key(Qt::Key_Z);
    EXPECT_EQ(doc().box(1).dataField, "");
    EXPECT_FALSE(doc().modified()); // back to the state on disk
    EXPECT_EQ(previewOf(0), previewOf(1));
    key(Qt::Key_Y);
    EXPECT_EQ(doc().box(1).dataField, "寄件日期");
    EXPECT_TRUE(doc().modified());
    EXPECT_EQ(previewOf(0), first);

    window->dispatch(DesignerCommand::Save);
    EXPECT_FALSE(doc().modified());
    EXPECT_EQ(savedField(), "寄件日期");
    EXPECT_NE(bytes(oxf), original);

    // Cleared, the template is written exactly as it was before it had a field.
    setField(QString());
    EXPECT_EQ(doc().box(1).dataField, "");
    EXPECT_TRUE(doc().modified());
    window->dispatch(DesignerCommand::Save);
    EXPECT_EQ(bytes(oxf), original);
}

TEST_F(DataFieldWindowTest, ATypedNameNeedsNoDataFileAndOkWithoutOneChangesNoByte)
{
    // No change of field: OK leaves the file as it was.
    setField(QString());
    window->dispatch(DesignerCommand::Save);
    EXPECT_EQ(bytes(oxf), original);

    // A name typed before there is data to offer it, blanks around it dropped.
    const QStringList offered = setField(QStringLiteral(" 日期 "));
    EXPECT_EQ(offered, QStringList{QString()});
    EXPECT_EQ(doc().box(1).dataField, "日期");
    window->dispatch(DesignerCommand::Save);
    EXPECT_EQ(savedField(), "日期");
}

} // namespace
} // namespace ordavel
