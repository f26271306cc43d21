// The data field of the date, picture and barcode dialogs.
#include "dialog_fixture.h"

#include "dialogs/barcode_dialog.h"
#include "dialogs/data_field_list.h"
#include "dialogs/graphic_dialogs.h"
#include "dialogs/text_dialogs.h"

#include <functional>

namespace ordavel {
namespace {

class DataFieldDialogTest : public DialogTest {
protected:
    struct Kind {
        BoxType type;
        std::function<std::unique_ptr<PropertyDialog>(DataFieldDialogTest&, int)> open;
    };
    template <typename D> static Kind kind(BoxType type)
    {
        return {type, [](DataFieldDialogTest& t, int index) -> std::unique_ptr<PropertyDialog> {
                    auto dialog = std::make_unique<D>(nullptr, t.doc, index, t.prompter);
                    dialog->setDataColumns(t.columns);
                    dialog->load();
                    return dialog;
                }};
    }
    static DataFieldList* list(QWidget* dialog)
    {
        return dialog->findChild<DataFieldList*>(QStringLiteral("组合框_数据字段"));
    }
    static QStringList entries(DataFieldList* list)
    {
        QStringList all;
        for (int i = 0; i < list->count(); ++i)
            all << list->itemText(i);
        return all;
    }

    // A repeated column is offered once.
    std::vector<std::string> columns{"单号", "寄件日期", "照片", "单号"};
    const std::vector<Kind> kinds{kind<DateDialog>(BoxType::DatePicker), kind<PictureDialog>(BoxType::PicBox),
                                  kind<BarcodeDialog>(BoxType::BarcodeBox)};
};

TEST_F(DataFieldDialogTest, EachDialogOffersTheColumnsAndWritesTheFieldOnOk)
{
    for (const Kind& k : kinds) {
        SCOPED_TRACE(static_cast<int>(k.type));
        const int index = doc.addBox(k.type, 20, 20, 200, 80);
        auto d = k.open(*this, index);
        DataFieldList* field = list(d.get());
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(entries(field), (QStringList{QString(), QStringLiteral("单号"), QStringLiteral("寄件日期"),
                                               QStringLiteral("照片")}));
        EXPECT_EQ(field->currentText(), QString());
        field->setCurrentIndex(2);
        click(d.get(), "按钮_确定");
        EXPECT_EQ(doc.box(index).dataField, "寄件日期");

        // Reopened, the field is shown; a name typed with blanks around it is
        // taken without them, and blanks alone clear it.
        d = k.open(*this, index);
        EXPECT_EQ(list(d.get())->currentText(), QStringLiteral("寄件日期"));
        list(d.get())->setEditText(QStringLiteral("\t照片 "));
        click(d.get(), "按钮_确定");
        EXPECT_EQ(doc.box(index).dataField, "照片");
        d = k.open(*this, index);
        list(d.get())->setEditText(QStringLiteral("   "));
        click(d.get(), "按钮_确定");
        EXPECT_EQ(doc.box(index).dataField, "");
        doc.deleteBox(index);
    }
}

TEST_F(DataFieldDialogTest, AFieldNotInTheDataIsKeptAndAFailedCheckChangesNothing)
{
    columns = {" 备注 "}; // a column whose name has blanks of its own keeps them
    for (const Kind& k : kinds) {
        SCOPED_TRACE(static_cast<int>(k.type));
        const int index = doc.addBox(k.type, 20, 20, 200, 80);
        doc.box(index).dataField = "旧列";
        auto d = k.open(*this, index);
        EXPECT_EQ(list(d.get())->currentText(), QStringLiteral("旧列"));
        EXPECT_EQ(list(d.get())->count(), 2);
        // The edit position check fails: the dialog stays open, the field unchanged.
        list(d.get())->setCurrentIndex(1);
        type(d.get(), "编辑框_顶边", "-100");
        click(d.get(), "按钮_确定");
        EXPECT_EQ(doc.box(index).dataField, "旧列");
        type(d.get(), "编辑框_顶边", "20");
        click(d.get(), "按钮_确定");
        EXPECT_EQ(doc.box(index).dataField, " 备注 ");
        doc.deleteBox(index);
    }
}

// With the data field added, every dialog still fits a 1366 x 768 screen
// with room for a panel (its OK button must stay reachable).
TEST_F(DataFieldDialogTest, DialogsWithAFieldFitASmallScreen)
{
    for (const Kind& k : kinds) {
        SCOPED_TRACE(static_cast<int>(k.type));
        const int index = doc.addBox(k.type, 20, 20, 200, 80);
        auto d = k.open(*this, index);
        d->adjustSize();
        EXPECT_LE(d->height(), 700);
        EXPECT_LE(d->width(), 1300);
        doc.deleteBox(index);
    }
}

} // namespace
} // namespace ordavel
