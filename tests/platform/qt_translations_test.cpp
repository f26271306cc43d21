// Qt's stock texts in Chinese: the buttons of a message box shown through the
// real prompter, while the program's own caption and text stay as given.
#include "platform/qt_prompter.h"
#include "platform/qt_translations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>

#include <gtest/gtest.h>

namespace ordavel {
namespace {

TEST(QtTranslationLocale, ChineseLocalesStayAndOthersGetSimplifiedChinese)
{
    const struct {
        const char* system;
        const char* expected;
    } rows[] = {{"zh_CN", "zh_CN"}, {"zh_TW", "zh_TW"}, {"en_US", "zh_CN"}, {"C", "zh_CN"}, {"de_DE", "zh_CN"}};
    for (const auto& row : rows)
        EXPECT_EQ(qtTranslationLocale(QLocale(QString::fromLatin1(row.system))).name(),
                  QString::fromLatin1(row.expected))
            << row.system;
}

// Installs the translations for `locale` for the life of the object.
class InstalledTranslations {
public:
    explicit InstalledTranslations(const QLocale& locale)
        : m_translator(installQtTranslations(*QCoreApplication::instance(), locale))
    {
    }
    ~InstalledTranslations()
    {
        if (m_translator) {
            QCoreApplication::removeTranslator(m_translator);
            delete m_translator;
        }
    }
    InstalledTranslations(const InstalledTranslations&) = delete;
    InstalledTranslations& operator=(const InstalledTranslations&) = delete;
    bool loaded() const { return m_translator != nullptr; }

private:
    QTranslator* m_translator;
};

struct SeenBox {
    QString caption;
    QString text;
    QStringList buttons;
};

// Shows `message` through the real prompter and records the box, then presses Cancel/OK.
SeenBox showAndRead(const Message& message)
{
    SeenBox seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        seen.caption = box->windowTitle();
        seen.text = box->text();
        for (QAbstractButton* button : box->findChild<QDialogButtonBox*>()->buttons())
            seen.buttons << button->text();
        box->reject();
    });
    QtPrompter prompter;
    prompter.show(message);
    seen.buttons.sort();
    return seen;
}

TEST(QtTranslations, MessageBoxButtonsAreChineseInAZhCnLocale)
{
    const InstalledTranslations translations(QLocale(QStringLiteral("zh_CN")));
    ASSERT_TRUE(translations.loaded()) << "qtbase_zh_CN.qm is missing (Debian: qt6-translations-l10n)";

    Message question{"是否保存对文档的修改?", "退出程序", MessageIcon::Question, MessageButtons::YesNoCancel};
    const SeenBox asked = showAndRead(question);
    EXPECT_EQ(asked.caption, QStringLiteral("退出程序"));
    EXPECT_EQ(asked.text, QStringLiteral("是否保存对文档的修改?"));
    QStringList expected{QStringLiteral("是(&Y)"), QStringLiteral("否(&N)"), QStringLiteral("取消")};
    expected.sort();
    EXPECT_EQ(asked.buttons, expected);

    Message warning{"错误的命令行格式。", "打开文件", MessageIcon::Exclamation, MessageButtons::Ok};
    EXPECT_EQ(showAndRead(warning).buttons, QStringList{QStringLiteral("确定")});
}

TEST(QtTranslations, AnEnglishSystemStillGetsChineseButtonsAndRemovingThemRestoresEnglish)
{
    {
        const InstalledTranslations translations(QLocale(QStringLiteral("en_US")));
        ASSERT_TRUE(translations.loaded());
        Message warning{"x", "y", MessageIcon::Exclamation, MessageButtons::Ok};
        EXPECT_EQ(showAndRead(warning).buttons, QStringList{QStringLiteral("确定")});
    }
    // Other tests in this program expect Qt's own English texts.
    Message warning{"x", "y", MessageIcon::Exclamation, MessageButtons::Ok};
    EXPECT_EQ(showAndRead(warning).buttons, QStringList{QStringLiteral("OK")});
}

} // namespace
} // namespace ordavel
