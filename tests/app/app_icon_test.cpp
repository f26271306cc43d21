// The window icon and the splash picture come from the SVG the installed icons
// are rendered from (a resource of the program), at every theme size.
#include "app/app_icon.h"
#include "app/application_setup.h"

#include <QApplication>
#include <QFile>
#include <QTranslator>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace ordavel {
namespace {

bool isRed(QRgb pixel) { return qRed(pixel) > 180 && qGreen(pixel) < 110 && qBlue(pixel) < 110; }

TEST(ApplicationIcon, IsTheInstalledSvgDrawnAtEveryThemeSize)
{
    QFile resource(QStringLiteral(":/icons/ordavel.svg"));
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    QFile source(QStringLiteral(ORDAVEL_SOURCE_DIR "/data/icons/ordavel.svg"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    EXPECT_EQ(resource.readAll(), source.readAll());

    const QIcon icon = applicationIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
    // The red print mark sits at (94, 81) of the 128-unit view box; the corners stay clear.
    const QImage big = icon.pixmap(256).toImage();
    EXPECT_TRUE(isRed(big.pixel(188, 162)));
    EXPECT_EQ(qAlpha(big.pixel(2, 253)), 0);
}

TEST(ApplicationIcon, SplashLogoIsTheSameDrawingAtItsPlace)
{
    QImage splash(200, 200, QImage::Format_ARGB32);
    splash.fill(Qt::transparent);
    QPainter painter(&splash);
    paintLogo(painter, QRectF(36, 42, 112, 124));
    painter.end();
    // The logo's own origin is 8, 2 units into the view box: the mark lands at (36 + 86, 42 + 79).
    EXPECT_TRUE(isRed(splash.pixel(122, 121)));
    EXPECT_EQ(qAlpha(splash.pixel(20, 20)), 0);
}

TEST(ApplicationSetup, NamesTheLauncherSetsTheIconAndTranslatesQtsOwnTexts)
{
    QTranslator* translator = setUpApplication(*qApp);
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("ordavel"));
    EXPECT_EQ(QApplication::applicationName(), QStringLiteral("Ordavel"));
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    ASSERT_NE(translator, nullptr);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    // The other tests of this program expect Qt's English texts.
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}

} // namespace
} // namespace ordavel
