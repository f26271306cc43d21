#include "designer/box_view.h"

#include "designer/input_validator.h"
#include "model/document.h"
#include "support/scripted_prompter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>
#include <vector>

namespace ordavel {
namespace {

// A work area like the main window's: paper panel, workbench, focus holder, and an
// observer that syncs the views whenever the model says a box changed.
class BoxViewTest : public ::testing::Test, public DocumentObserver {
protected:
    void SetUp() override
    {
        paper.resize(500, 400);
        workbench = new QWidget(&paper);
        workbench->setObjectName(QStringLiteral("画板_工作台"));
        workbench->setGeometry(0, 0, 500, 400);
        focusHolder = new QLineEdit(&paper);
        focusHolder->setObjectName(QStringLiteral("编辑框_滚动"));
        focusHolder->setGeometry(0, 0, 1, 1);
        focusHolder->lower();
        doc.addObserver(this);
    }
    void TearDown() override
    {
        doc.removeObserver(this);
        views.clear();
    }
    void boxChanged(int index) override
    {
        for (auto& view : views)
            if (view->index() == index)
                view->sync();
    }

    BoxView& add(BoxType type, int left = 20, int top = 30, int width = 0, int height = 0)
    {
        const int index = doc.addBox(type, left, top, width, height);
        for (auto& view : views)
            if (view->index() == index)
                return *view;
        views.push_back(std::make_unique<BoxView>(doc, index, workbench, focusHolder, prompter));
        return *views.back();
    }
    void enterEditMode()
    {
        doc.setAppMode(AppMode::EditMode);
        doc.setTitle(false);
    }

    Document doc;
    ScriptedPrompter prompter;
    QWidget paper;
    QWidget* workbench = nullptr;
    QLineEdit* focusHolder = nullptr;
    std::vector<std::unique_ptr<BoxView>> views;
};

QColor pixel(QWidget* widget, int x, int y) { return widget->grab().toImage().pixelColor(x, y); }

TEST_F(BoxViewTest, ControlsAndHandlesCarryTemplateNamesAndTheBoxIndex)
{
    const std::pair<BoxType, const char*> types[] = {
        {BoxType::EditBox, "编辑框_模板"},   {BoxType::Label, "标签_模板"},     {BoxType::PicBox, "图片框_模板"},
        {BoxType::ShapeBox, "外形框_模板"},  {BoxType::DatePicker, "日期框_模板"}, {BoxType::ComboBox, "组合框_模板"},
        {BoxType::ColorPicker, "颜色选择器_模板"}};
    const char* handleNames[] = {"标签_左上", "标签_左中", "标签_左下", "标签_上中",
                                 "标签_下中", "标签_右上", "标签_右中", "标签_右下"};
    int expectedIndex = 1;
    for (const auto& [type, name] : types) {
        BoxView& view = add(type, 10 * expectedIndex, 40);
        ASSERT_NE(view.control(), nullptr);
        EXPECT_EQ(view.control()->objectName(), QString::fromUtf8(name));
        EXPECT_EQ(view.control()->parentWidget(), workbench);
        EXPECT_EQ(view.control()->property("tag").toString(), QString::number(expectedIndex));
        for (int which = 0; which < HandleCount; ++which) {
            EXPECT_EQ(view.handle(which)->objectName(), QString::fromUtf8(handleNames[which]));
            EXPECT_EQ(view.handle(which)->property("tag").toString(), QString::number(expectedIndex));
            EXPECT_EQ(view.handle(which)->parentWidget(), workbench);
        }
        ++expectedIndex;
    }
}

TEST_F(BoxViewTest, ABoxThatPrintsADataColumnNamesItInItsTip)
{
    BoxView& date = add(BoxType::DatePicker);
    EXPECT_TRUE(date.control()->toolTip().isEmpty());
    doc.box(date.index()).dataField = "寄件日期";
    date.sync();
    EXPECT_EQ(date.control()->toolTip(), QStringLiteral("数据字段：寄件日期"));
    doc.box(date.index()).dataField.clear();
    date.sync();
    EXPECT_TRUE(date.control()->toolTip().isEmpty());
}

TEST_F(BoxViewTest, SyncFollowsMovesAndSelection)
{
    BoxView& view = add(BoxType::Label, 40, 50, 100, 30);
    // A new box is selected: blue handles around it.
    for (int which = 0; which < HandleCount; ++which) {
        EXPECT_TRUE(view.handle(which)->isVisibleTo(workbench));
        EXPECT_EQ(view.handle(which)->size(), QSize(5, 5));
    }
    EXPECT_EQ(pixel(view.handle(HandleTopLeft), 2, 2), QColor(0, 0, 255));
    EXPECT_EQ(view.handle(HandleBottomRight)->pos(), QPoint(140, 80));

    doc.setProperty(1, "left", 200);
    EXPECT_EQ(view.control()->geometry(), QRect(200, 50, 100, 30));
    EXPECT_EQ(view.handle(HandleTopLeft)->pos(), QPoint(195, 45));
    EXPECT_EQ(view.handle(HandleMiddleRight)->pos(), QPoint(300, 62));

    doc.clearSelection();
    for (int which = 0; which < HandleCount; ++which)
        EXPECT_FALSE(view.handle(which)->isVisibleTo(workbench));
    doc.select(1);
    EXPECT_TRUE(view.handle(HandleBottomMiddle)->isVisibleTo(workbench));

    doc.deleteBox(1);
    EXPECT_FALSE(view.control()->isVisibleTo(workbench));
    EXPECT_FALSE(view.handle(HandleTopLeft)->isVisibleTo(workbench));
}

TEST_F(BoxViewTest, ReusedSlotOfAnotherTypeGetsANewControl)
{
    BoxView& view = add(BoxType::EditBox);
    doc.deleteBox(1);
    add(BoxType::ColorPicker, 60, 70);
    ASSERT_NE(view.control(), nullptr);
    EXPECT_EQ(view.control()->objectName(), QStringLiteral("颜色选择器_模板"));
    EXPECT_TRUE(view.control()->isVisibleTo(workbench));
    EXPECT_EQ(workbench->findChildren<QLineEdit*>().size(), 0);
}

TEST_F(BoxViewTest, TypingChangesNothingInDesignModeAndEntersTextInEditMode)
{
    BoxView& view = add(BoxType::EditBox);
    auto* edit = qobject_cast<QLineEdit*>(view.control());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->cursor().shape(), Qt::SizeAllCursor);
    doc.setTitle(false);
    QTest::keyClicks(edit, QStringLiteral("xyz"));
    EXPECT_EQ(edit->text(), QStringLiteral("编辑框"));
    EXPECT_EQ(doc.box(1).attributes.text, "编辑框");
    EXPECT_FALSE(doc.modified());

    enterEditMode();
    EXPECT_NE(edit->cursor().shape(), Qt::SizeAllCursor);
    edit->setCursorPosition(1);
    QTest::keyClicks(edit, QStringLiteral("ab"));
    EXPECT_EQ(doc.box(1).attributes.text, "编ab辑框");
    EXPECT_TRUE(doc.modified());
    // The model's echo (boxEdited -> sync) leaves the caret where the user put it.
    EXPECT_EQ(edit->cursorPosition(), 3);
}

TEST_F(BoxViewTest, LongTextSurvivesAnEdit)
{
    BoxView& view = add(BoxType::EditBox);
    doc.box(1).attributes.text = std::string(40000, '7');
    doc.boxEdited(1);
    enterEditMode();
    auto* edit = qobject_cast<QLineEdit*>(view.control());
    edit->end(false);
    QTest::keyClicks(edit, QStringLiteral("8"));
    EXPECT_EQ(doc.box(1).attributes.text, std::string(40000, '7') + "8");
}

TEST_F(BoxViewTest, MultiLineTextKeepsCrLfAndTheCaret)
{
    add(BoxType::EditBox);
    doc.box(1).attributes.multiLine = true;
    doc.box(1).attributes.text = "ab\r\ncd";
    doc.boxEdited(1);
    auto* edit = qobject_cast<QPlainTextEdit*>(views[0]->control());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("ab\ncd"));

    enterEditMode();
    QTextCursor caret = edit->textCursor();
    caret.setPosition(4);
    edit->setTextCursor(caret);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, QStringLiteral("Z"));
    EXPECT_EQ(doc.box(1).attributes.text, "ab\r\nc\r\nZd");
    EXPECT_EQ(edit->textCursor().position(), 6);
    EXPECT_TRUE(doc.modified());
}

TEST_F(BoxViewTest, InputModesFilterTyping)
{
    add(BoxType::EditBox);
    add(BoxType::EditBox, 20, 100);
    doc.box(1).attributes.inputMode = InputByte;
    doc.box(1).attributes.text.clear();
    doc.box(2).attributes.inputMode = InputIntegerText;
    doc.box(2).attributes.multiLine = true;
    doc.boxEdited(1);
    doc.boxEdited(2);
    enterEditMode();

    auto* byteEdit = qobject_cast<QLineEdit*>(views[0]->control());
    QTest::keyClicks(byteEdit, QStringLiteral("2a96"));
    EXPECT_EQ(doc.box(1).attributes.text, "29");

    // Text that does not fit the mode (set before the mode) can be shortened, not extended.
    doc.box(1).attributes.text = "x9";
    doc.boxEdited(1);
    byteEdit->end(false);
    QTest::keyClicks(byteEdit, QStringLiteral("1"));
    EXPECT_EQ(doc.box(1).attributes.text, "x9");
    EXPECT_EQ(byteEdit->text(), QStringLiteral("x9"));
    byteEdit->home(false);
    QTest::keyClick(byteEdit, Qt::Key_Delete);
    EXPECT_EQ(doc.box(1).attributes.text, "9");

    auto* digitsEdit = qobject_cast<QPlainTextEdit*>(views[1]->control());
    ASSERT_NE(digitsEdit, nullptr);
    digitsEdit->moveCursor(QTextCursor::End);
    QTest::keyClicks(digitsEdit, QStringLiteral("7"));
    EXPECT_EQ(doc.box(2).attributes.text, "编辑框");
    digitsEdit->selectAll();
    QTest::keyClicks(digitsEdit, QStringLiteral("4x2"));
    QTest::keyClick(digitsEdit, Qt::Key_Return);
    EXPECT_EQ(doc.box(2).attributes.text, "42");
}

TEST_F(BoxViewTest, ReadOnlyAndPasswordModes)
{
    add(BoxType::EditBox);
    doc.box(1).attributes.inputMode = InputReadOnly;
    doc.boxEdited(1);
    enterEditMode();
    auto* edit = qobject_cast<QLineEdit*>(views[0]->control());
    QTest::keyClicks(edit, QStringLiteral("q"));
    EXPECT_EQ(doc.box(1).attributes.text, "编辑框");
    EXPECT_FALSE(doc.modified());

    doc.box(1).attributes.inputMode = InputPassword;
    doc.box(1).attributes.multiLine = true; // a password is never shown in clear
    doc.boxEdited(1);
    edit = qobject_cast<QLineEdit*>(views[0]->control());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
}

TEST_F(BoxViewTest, FocusGoesToTheHolderInDesignModeStaysInEditModeAndGoesToThePaperInPreview)
{
    add(BoxType::EditBox);
    BoxView& second = add(BoxType::ComboBox, 20, 100);
    paper.show();
    QApplication::setActiveWindow(&paper);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&paper));
    doc.setCurrentBoxIndex(1);

    second.control()->setFocus();
    EXPECT_EQ(doc.currentBoxIndex(), 2);
    EXPECT_EQ(QApplication::focusWidget(), focusHolder);

    enterEditMode();
    doc.setCurrentBoxIndex(1);
    second.control()->setFocus();
    EXPECT_EQ(doc.currentBoxIndex(), 2);
    EXPECT_TRUE(second.control()->isAncestorOf(QApplication::focusWidget())
                || QApplication::focusWidget() == second.control());

    doc.setAppMode(AppMode::PreviewMode);
    views[0]->control()->setFocus();
    EXPECT_EQ(doc.currentBoxIndex(), 1);
    EXPECT_EQ(QApplication::focusWidget(), &paper);
}

TEST_F(BoxViewTest, ColorBlockClickTakesTheChosenColourInEditModeOnly)
{
    BoxView& view = add(BoxType::ColorPicker, 20, 30, 40, 40);
    int reported = 0;
    QObject::connect(&view, &BoxView::controlMouse, [&reported] { ++reported; });
    prompter.colors.push_back(Color{0x0000FF});
    QTest::mouseClick(view.control(), Qt::LeftButton);
    EXPECT_TRUE(prompter.requests.empty());
    EXPECT_EQ(reported, 2); // press and release reported to the designer

    enterEditMode();
    QTest::mouseClick(view.control(), Qt::LeftButton);
    ASSERT_EQ(prompter.requests, std::vector<std::string>{"color"});
    EXPECT_EQ(doc.box(1).attributes.color, Color{0x0000FF});
    EXPECT_TRUE(doc.modified());
    EXPECT_EQ(pixel(view.control(), 20, 20), QColor(255, 0, 0));

    // Cancelling the chooser keeps the colour and the document unmodified.
    doc.setTitle(false);
    QTest::mouseClick(view.control(), Qt::LeftButton);
    EXPECT_EQ(doc.box(1).attributes.color, Color{0x0000FF});
    EXPECT_FALSE(doc.modified());
}

TEST_F(BoxViewTest, ComboAndDateWriteBackInEditMode)
{
    BoxView& combo = add(BoxType::ComboBox);
    BoxView& date = add(BoxType::DatePicker, 20, 100, 200, 28);
    doc.box(1).attributes.items = {"apple", "banana"};
    doc.box(1).attributes.text = "banana";
    doc.box(2).attributes.dateTime = DateTime{2012, 12, 31, 9, 5, 0};
    doc.boxEdited(1);
    doc.boxEdited(2);
    auto* box = qobject_cast<QComboBox*>(combo.control());
    auto* dateEdit = qobject_cast<QDateTimeEdit*>(date.control());
    EXPECT_EQ(box->count(), 2);
    EXPECT_EQ(box->currentText(), QStringLiteral("banana"));
    EXPECT_EQ(dateEdit->dateTime(), QDateTime(QDate(2012, 12, 31), QTime(9, 5, 0)));

    // The wheel scrolls the page; it never turns the list, in either mode.
    auto turnWheel = [box] {
        QWheelEvent wheel(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
    };
    turnWheel();
    EXPECT_EQ(box->currentText(), QStringLiteral("banana"));
    enterEditMode();
    turnWheel();
    EXPECT_EQ(box->currentText(), QStringLiteral("banana"));
    EXPECT_FALSE(doc.modified());

    box->setCurrentIndex(0);
    EXPECT_EQ(doc.box(1).attributes.text, "apple");
    EXPECT_TRUE(doc.modified());
    // Typed text is stored as typed: no completion to "banana", no new item.
    paper.show();
    QApplication::setActiveWindow(&paper);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&paper));
    box->lineEdit()->setFocus();
    box->lineEdit()->clear();
    QTest::keyClicks(box->lineEdit(), QStringLiteral("b"));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(doc.box(1).attributes.text, "b");
    EXPECT_EQ(box->count(), 2);

    dateEdit->setDateTime(QDateTime(QDate(2013, 1, 5), QTime(8, 7, 6)));
    EXPECT_EQ(doc.box(2).attributes.dateTime, (DateTime{2013, 1, 5, 8, 7, 6}));
}

TEST_F(BoxViewTest, NarrowDateBoxShowsTheDateAndKeepsTheTime)
{
    BoxView& view = add(BoxType::DatePicker, 20, 30, 90, 28);
    doc.box(1).attributes.dateTime = DateTime{2012, 12, 31, 9, 5, 7};
    doc.boxEdited(1);
    enterEditMode();
    auto* dateEdit = qobject_cast<QDateTimeEdit*>(view.control());
    EXPECT_EQ(dateEdit->displayFormat(), QStringLiteral("yyyy-MM-dd"));
    dateEdit->setDate(QDate(2013, 1, 5));
    EXPECT_EQ(doc.box(1).attributes.dateTime, (DateTime{2013, 1, 5, 9, 5, 7}));

    doc.setProperty(1, "Width", 400);
    EXPECT_EQ(dateEdit->dateTime(), QDateTime(QDate(2013, 1, 5), QTime(9, 5, 7)));
    EXPECT_EQ(dateEdit->displayFormat(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

TEST_F(BoxViewTest, PictureDisplayModes)
{
    QFile file(QStringLiteral(ORDAVEL_TEST_DATA "/pictures/all-reds.gif"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    BoxView& view = add(BoxType::PicBox, 10, 10, 60, 60);
    Box& box = doc.box(1);
    // The picture holds shades of red only: no green, no blue.
    auto picture = [&view](int x, int y) {
        const QColor c = pixel(view.control(), x, y);
        return c.green() == 0 && c.blue() == 0;
    };
    const QColor white(255, 255, 255);
    EXPECT_EQ(pixel(view.control(), 30, 30), white); // no picture: plain background

    box.attributes.picture.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    box.attributes.pictureMode = 0; // own size, top-left inside the 2 px border
    doc.boxEdited(1);
    EXPECT_TRUE(picture(5, 5));
    EXPECT_EQ(pixel(view.control(), 30, 30), white);

    box.attributes.pictureMode = 1; // stretched
    doc.boxEdited(1);
    EXPECT_TRUE(picture(55, 55));

    box.attributes.pictureMode = 2; // centred
    doc.boxEdited(1);
    EXPECT_TRUE(picture(30, 30));
    EXPECT_EQ(pixel(view.control(), 5, 5), white);

    // PNG is not a picture format of templates: background only.
    QImage png(8, 8, QImage::Format_RGB32);
    png.fill(Qt::red);
    QByteArray pngBytes;
    QBuffer buffer(&pngBytes);
    buffer.open(QIODevice::WriteOnly);
    png.save(&buffer, "PNG");
    box.attributes.picture.assign(pngBytes.constData(), static_cast<std::size_t>(pngBytes.size()));
    box.attributes.pictureMode = 1;
    doc.boxEdited(1);
    EXPECT_EQ(pixel(view.control(), 30, 30), white);
}

TEST_F(BoxViewTest, ShapesDrawTheirKindWithLineAndFill)
{
    BoxView& view = add(BoxType::ShapeBox, 10, 10, 100, 60);
    BoxAttributes& a = doc.box(1).attributes;
    a.bgColor = 0x00FF00; // green fill
    a.lineColor = 0xFF0000; // blue line
    a.lineWidth = 3;
    doc.boxEdited(1);
    const QColor green(0, 255, 0);
    const QColor blue(0, 0, 255);
    EXPECT_EQ(pixel(view.control(), 50, 30), green);
    EXPECT_EQ(pixel(view.control(), 1, 30), blue); // solid line 3 px wide

    a.lineStyle = LineDash; // non-solid lines are 1 px wide
    doc.boxEdited(1);
    EXPECT_EQ(pixel(view.control(), 2, 30), green);

    a.shape = ShapeCircle; // diameter 60 from the top-left corner
    a.lineStyle = LineSolid;
    doc.boxEdited(1);
    EXPECT_EQ(pixel(view.control(), 30, 30), green);
    EXPECT_NE(pixel(view.control(), 80, 30), green);

    a.shape = ShapeHorizontalLine; // along the top edge, nothing filled
    doc.boxEdited(1);
    EXPECT_EQ(pixel(view.control(), 50, 1), blue);
    EXPECT_NE(pixel(view.control(), 50, 30), green);
}

TEST_F(BoxViewTest, LabelShowsCaptionEffectAndBackground)
{
    BoxView& view = add(BoxType::Label, 10, 10, 80, 30);
    BoxAttributes& a = doc.box(1).attributes;
    a.bgColor = 0x00FFFF; // yellow
    a.text.clear();
    a.effect = 1;
    doc.boxEdited(1);
    EXPECT_EQ(pixel(view.control(), 40, 15), QColor(255, 255, 0));
    EXPECT_NE(pixel(view.control(), 0, 0), QColor(255, 255, 0)); // sunken frame
    a.effect = 0;
    doc.boxEdited(1);
    EXPECT_EQ(pixel(view.control(), 0, 0), QColor(255, 255, 0));
}

} // namespace
} // namespace ordavel
