#include "window_fixture.h"

#include "designer/box_menus.h"
#include "designer/box_view.h"
#include "designer/work_area.h"
#include "designer/workbench.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryFile>
#include <QTest>

namespace ordavel {
namespace {

const char* kJfifPicture = ORDAVEL_TEST_DATA "/pictures/icc-profile.jpeg";

std::string fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

class BoxMenusTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        menus().popup = [this](QMenu& menu) {
            shown.push_back(menu.objectName().toStdString());
            entries = visibleEntries(menu);
            if (!plan.empty()) {
                const std::string caption = plan.front();
                plan.erase(plan.begin());
                QAction* action = find(menu, caption);
                ASSERT_NE(action, nullptr) << caption;
                ASSERT_TRUE(action->isEnabled()) << caption;
                action->trigger();
            }
        };
    }

    BoxMenus& menus() { return *window->boxMenus(); }
    QWidget* bench() { return window->workArea()->workbench(); }
    QWidget* control(int index) { return window->workArea()->boxView(index)->control(); }

    // Captions of the visible entries, "-" for a separator.
    static std::vector<std::string> visibleEntries(const QMenu& menu)
    {
        std::vector<std::string> out;
        for (QAction* action : menu.actions())
            if (action->isVisible())
                out.push_back(action->isSeparator() ? "-" : action->text().toStdString());
        return out;
    }
    // An entry of `menu` or of one of its submenus, by caption.
    static QAction* find(const QMenu& menu, const std::string& caption)
    {
        for (QAction* action : menu.actions()) {
            if (action->text().toStdString() == caption)
                return action;
            if (action->menu())
                if (QAction* inner = find(*action->menu(), caption))
                    return inner;
        }
        return nullptr;
    }
    // Right press on box `index` running `captions` (entry to trigger) from the menu that opens.
    void rightClickBox(int index, std::vector<std::string> captions = {})
    {
        plan = std::move(captions);
        QTest::mousePress(control(index), Qt::RightButton, {}, QPoint(3, 3));
        QTest::mouseRelease(control(index), Qt::RightButton, {}, QPoint(3, 3));
    }
    void rightClickBench(QPoint at, std::vector<std::string> captions = {})
    {
        plan = std::move(captions);
        QTest::mousePress(bench(), Qt::RightButton, {}, at);
        QTest::mouseRelease(bench(), Qt::RightButton, {}, at);
    }
    void selectAll(std::initializer_list<int> indices)
    {
        doc().clearSelection();
        for (int index : indices)
            doc().select(index);
    }

    std::vector<std::string> shown;   // object names of the menus popped up
    std::vector<std::string> entries; // visible entries of the last one
    std::vector<std::string> plan;    // entries to trigger, one per menu
};

TEST_F(BoxMenusTest, RightPressOnABoxOpensTheMenuOfItsSelectionState)
{
    for (int i = 0; i < 4; ++i)
        doc().addBox(BoxType::Label, 20 + 100 * i, 20);
    const int picture = doc().addBox(BoxType::PicBox, 20, 200);
    selectAll({1, 2, 3});

    // One of three selected: the multi-selection menu, selection kept.
    rightClickBox(2);
    EXPECT_EQ(shown, std::vector<std::string>{"多选控件"});
    EXPECT_EQ(entries, (std::vector<std::string>{"横向居中(&H)", "纵向居中(&V)", "-", "左对齐(&L)", "右对齐(&R)",
                                                 "上对齐(&T)", "下对齐(&B)", "-", "置等宽(&W)", "置等高(&H)",
                                                 "等宽高(&O)", "-", "删除(&D)"}));
    EXPECT_EQ(doc().selection(), (std::vector<int>{1, 2, 3}));

    // An unselected box: selected alone, current, box menu without picture entries.
    rightClickBox(4);
    EXPECT_EQ(shown.back(), "控件菜单");
    EXPECT_EQ(entries, (std::vector<std::string>{"横向居中(&H)", "纵向居中(&V)", "-", "复制(&C)", "删除(&D)", "-",
                                                 "移动底层(&B)", "-", "属性(&P)..."}));
    EXPECT_EQ(doc().selection(), std::vector<int>{4});
    EXPECT_EQ(doc().currentBoxIndex(), 4);

    // A picture box shows its two entries and the separator after them.
    rightClickBox(picture);
    EXPECT_EQ(entries, (std::vector<std::string>{"横向居中(&H)", "纵向居中(&V)", "-", "设置图片(&A)",
                                                 "清除图片(&U)", "-", "复制(&C)", "删除(&D)", "-", "移动底层(&B)",
                                                 "-", "属性(&P)..."}));
    EXPECT_EQ(doc().selection(), std::vector<int>{picture});

    // No menu of the program in EditMode on other types, nor in PreviewMode.
    window->switchMode(AppMode::EditMode);
    rightClickBox(1);
    window->switchMode(AppMode::PreviewMode);
    rightClickBox(picture);
    EXPECT_EQ(shown.size(), 3u);
}

TEST_F(BoxMenusTest, EntriesOfOtherPartsReachTheirHooksWithTheCurrentBoxOrTheSelection)
{
    doc().addBox(BoxType::EditBox, 20, 20);
    doc().addBox(BoxType::EditBox, 200, 20);
    std::vector<std::string> calls;
    menus().centreBox = [&](int index, bool horizontal) {
        calls.push_back("centre " + std::to_string(index) + (horizontal ? " h" : " v"));
    };
    menus().groupCommand = [&](GroupCommand c) { calls.push_back("group " + std::to_string(static_cast<int>(c))); };
    menus().propertyDialog = [&](int index) {
        calls.push_back("properties " + std::to_string(index));
        return true;
    };
    menus().pageSetup = [&] { calls.push_back("page setup"); };

    rightClickBox(1, {"纵向居中(&V)"});
    rightClickBox(1, {"属性(&P)..."});
    selectAll({1, 2});
    rightClickBox(2, {"下对齐(&B)"});
    rightClickBox(1, {"等宽高(&O)"});
    rightClickBench(QPoint(400, 300), {"页面设置(&S)..."});
    EXPECT_EQ(calls, (std::vector<std::string>{"centre 1 v", "properties 1", "group 5", "group 8", "page setup"}));
}

TEST_F(BoxMenusTest, PageMenuAddsAtThePointAndDeleteAllFreesEverySlot)
{
    rightClickBench(QPoint(120, 45), {"标签(&L)"});
    EXPECT_EQ(shown, std::vector<std::string>{"页面菜单"});
    EXPECT_EQ(entries, (std::vector<std::string>{"添加控件(&A)", "删除所有控件(&C)", "清除底图(&L)", "-",
                                                 "页面设置(&S)..."}));
    ASSERT_TRUE(doc().box(1).inUse);
    EXPECT_EQ(doc().box(1).type, BoxType::Label);
    EXPECT_EQ(doc().box(1).editRect, (Rect{120, 45, 80, 28}));
    EXPECT_EQ(control(1)->geometry(), QRect(120, 45, 80, 28));

    // Each entry of the submenu adds its own type.
    const std::vector<std::pair<std::string, BoxType>> types = {
        {"编辑框(&E)", BoxType::EditBox}, {"图片框(&P)", BoxType::PicBox},
        {"外形框(&R)", BoxType::ShapeBox}, {"组合框(&C)", BoxType::ComboBox},
        {"日期框(&D)", BoxType::DatePicker}, {"颜色选择器(&Y)", BoxType::ColorPicker}};
    int x = 300;
    for (const auto& [caption, type] : types) {
        rightClickBench(QPoint(x, 400), {caption});
        const int index = doc().currentBoxIndex();
        EXPECT_EQ(doc().box(index).type, type) << caption;
        EXPECT_EQ(doc().box(index).editRect, (Rect{x, 400, 80, 28})) << caption;
        EXPECT_EQ(doc().selection(), std::vector<int>{index}) << caption;
        x += 90;
    }
    EXPECT_EQ(doc().liveBoxCount(), 7);

    // No keeps everything; Yes deletes all, and the next box takes slot 1 again.
    rightClickBench(QPoint(10, 10), {"删除所有控件(&C)"});
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0], (Message{"确定要删除所有控件吗?", "全部清除", MessageIcon::Question,
                                             MessageButtons::YesNo}));
    EXPECT_EQ(doc().liveBoxCount(), 7);
    prompter.answers.push_back(MessageAnswer::Yes);
    rightClickBench(QPoint(10, 10), {"删除所有控件(&C)"});
    EXPECT_EQ(doc().liveBoxCount(), 0);
    EXPECT_TRUE(doc().selection().empty());
    EXPECT_FALSE(control(1)->isVisible());
    rightClickBench(QPoint(30, 30), {"颜色选择器(&Y)"});
    EXPECT_EQ(doc().currentBoxIndex(), 1);
}

TEST_F(BoxMenusTest, DuplicateOffsetsEachCopyAndDeleteAsksOnlyForSeveral)
{
    doc().addBox(BoxType::ShapeBox, 100, 50, 60, 40);
    doc().box(1).attributes.shape = ShapeEllipse;
    rightClickBox(1, {"复制(&C)"});
    EXPECT_EQ(doc().box(2).editRect, (Rect{110, 60, 60, 40}));
    EXPECT_EQ(doc().box(2).attributes.shape, ShapeEllipse);
    EXPECT_EQ(doc().selection(), std::vector<int>{2});
    rightClickBox(2, {"复制(&C)"});
    EXPECT_EQ(doc().box(3).editRect, (Rect{120, 70, 60, 40}));
    EXPECT_EQ(doc().currentBoxIndex(), 3);
    EXPECT_TRUE(doc().modified());

    // One selected box goes without a question.
    rightClickBox(3, {"删除(&D)"});
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_FALSE(doc().box(3).inUse);
    EXPECT_TRUE(doc().selection().empty());

    // Two selected: asked; No keeps both, Yes deletes both.
    selectAll({1, 2});
    rightClickBox(1, {"删除(&D)"});
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0], (Message{"确定要删除所选择的控件吗?", "全部清除", MessageIcon::Question,
                                             MessageButtons::YesNo}));
    EXPECT_TRUE(doc().box(1).inUse && doc().box(2).inUse);
    EXPECT_EQ(doc().selection(), (std::vector<int>{1, 2}));
    prompter.answers.push_back(MessageAnswer::Yes);
    rightClickBox(2, {"删除(&D)"});
    EXPECT_EQ(doc().liveBoxCount(), 0);
    EXPECT_TRUE(doc().selection().empty());
}

TEST_F(BoxMenusTest, SendToBackPutsTheControlBehindTheOtherBoxes)
{
    doc().addBox(BoxType::ColorPicker, 50, 50, 100, 100);
    doc().addBox(BoxType::ColorPicker, 80, 80, 100, 100);
    const QPoint overlap(100, 100);
    ASSERT_EQ(bench()->childAt(overlap), control(2));
    rightClickBox(2, {"移动底层(&B)"});
    EXPECT_EQ(bench()->childAt(overlap), control(1));
    EXPECT_EQ(control(2)->geometry(), QRect(80, 80, 100, 100));
}

TEST_F(BoxMenusTest, ClearingTheBackgroundDropsThePictureAndItsTemporaryCopy)
{
    QTemporaryFile temp;
    temp.setAutoRemove(false);
    ASSERT_TRUE(temp.open());
    temp.close();
    doc().page().background = fileBytes(QString::fromUtf8(kJfifPicture));
    doc().page().backgroundTempPath = temp.fileName().toStdString();
    doc().notifyPageChanged();
    doc().setTitle(false);
    ASSERT_FALSE(window->workArea()->workbench()->picture().isNull());

    rightClickBench(QPoint(5, 5), {"清除底图(&L)"});
    EXPECT_TRUE(doc().page().background.empty());
    EXPECT_TRUE(doc().page().backgroundTempPath.empty());
    EXPECT_FALSE(QFile::exists(temp.fileName()));
    EXPECT_TRUE(window->workArea()->workbench()->picture().isNull());
    EXPECT_TRUE(doc().modified());
}

TEST_F(BoxMenusTest, PictureMenuInEditModeSetsSavesAndClearsThePicture)
{
    doc().addBox(BoxType::Label, 200, 20);
    const int index = doc().addBox(BoxType::PicBox, 20, 20, 100, 100);
    window->switchMode(AppMode::EditMode);
    doc().setTitle(false);

    // Empty box: "save as" disabled; a cancelled chooser changes nothing.
    rightClickBox(index, {"设置图片(&A)"});
    EXPECT_EQ(shown, std::vector<std::string>{"图片框"});
    EXPECT_EQ(entries, (std::vector<std::string>{"设置图片(&A)", "清除图片(&U)", "-", "图片另存为(&S)"}));
    EXPECT_FALSE(find(*menus().pictureMenu(), "图片另存为(&S)")->isEnabled());
    ASSERT_EQ(prompter.fileChoices.size(), 1u);
    EXPECT_EQ(prompter.fileChoices[0].title, "选择图片文件");
    EXPECT_EQ(prompter.fileChoices[0].filter, kPictureFilter);
    EXPECT_FALSE(doc().modified());

    // A file that cannot be read leaves the box as it was.
    prompter.files.push_back(folder.filePath(QStringLiteral("missing.jpg")).toStdString());
    rightClickBox(index, {"设置图片(&A)"});
    EXPECT_TRUE(doc().box(index).attributes.picture.empty());
    EXPECT_FALSE(doc().modified());

    const std::string bytes = fileBytes(QString::fromUtf8(kJfifPicture));
    prompter.files.push_back(kJfifPicture);
    rightClickBox(index, {"设置图片(&A)"});
    EXPECT_EQ(doc().box(index).attributes.picture, bytes);
    EXPECT_EQ(doc().box(index).picturePath, kJfifPicture);
    EXPECT_TRUE(doc().modified());

    // Saved unchanged under the proposed name.
    const std::string saved = folder.filePath(QStringLiteral("copy.jpg")).toStdString();
    prompter.files.push_back(saved);
    rightClickBox(index, {"图片另存为(&S)"});
    EXPECT_EQ(prompter.fileChoices.back().title, "图片另存为");
    EXPECT_EQ(prompter.fileChoices.back().proposedName, "image2.jpg");
    EXPECT_EQ(prompter.fileChoices.back().filter, kPictureFilter);
    EXPECT_EQ(fileBytes(QString::fromStdString(saved)), bytes);

    doc().setTitle(false);
    rightClickBox(index, {"清除图片(&U)"});
    EXPECT_TRUE(doc().box(index).attributes.picture.empty());
    EXPECT_TRUE(doc().box(index).picturePath.empty());
    EXPECT_TRUE(doc().modified());

    // A double click during data entry chooses a picture too.
    doc().setCurrentBoxIndex(1);
    prompter.files.push_back(kJfifPicture);
    QTest::mouseDClick(control(index), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(control(index), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(doc().currentBoxIndex(), index);
    EXPECT_EQ(doc().box(index).attributes.picture, bytes);
}

TEST_F(BoxMenusTest, PictureFilesThatCannotBeReadOrWrittenAreReported)
{
    const int index = doc().addBox(BoxType::PicBox, 20, 20, 100, 100);
    window->switchMode(AppMode::EditMode);
    const std::string bytes = fileBytes(QString::fromUtf8(kJfifPicture));
    doc().box(index).attributes.picture = bytes;
    doc().setTitle(false);

    // Set picture: a missing file and a folder are refused with a message; the box keeps its picture.
    const std::string missing = folder.filePath(QStringLiteral("missing.jpg")).toStdString();
    const std::string aFolder = folder.path().toStdString();
    for (const std::string& path : {missing, aFolder}) {
        prompter.messages.clear();
        prompter.files.push_back(path);
        rightClickBox(index, {"设置图片(&A)"});
        EXPECT_EQ(prompter.messages, (std::vector<Message>{Message{"读取图片文件失败，请重试。\r\n（" + path + "）",
                                                                 "设置图片", MessageIcon::Stop, MessageButtons::Ok}}));
        EXPECT_EQ(doc().box(index).attributes.picture, bytes);
        EXPECT_FALSE(doc().modified());
    }

    // Save picture as: a name in a missing folder, and one that is a folder.
    QDir(folder.path()).mkdir(QStringLiteral("image1.jpg"));
    for (const QString& name : {QStringLiteral("no folder/image1.jpg"), QStringLiteral("image1.jpg")}) {
        const std::string path = folder.filePath(name).toStdString();
        prompter.messages.clear();
        prompter.files.push_back(path);
        rightClickBox(index, {"图片另存为(&S)"});
        EXPECT_EQ(prompter.messages, (std::vector<Message>{Message{"创建文件失败，请重试。\r\n（" + path + "）",
                                                                 "图片另存为", MessageIcon::Stop, MessageButtons::Ok}}));
    }
    EXPECT_TRUE(QFileInfo(folder.filePath(QStringLiteral("image1.jpg"))).isDir());
}

} // namespace
} // namespace ordavel
