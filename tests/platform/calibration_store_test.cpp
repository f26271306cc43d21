#include "platform/calibration_store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace ordavel {
namespace {

class CalibrationStoreTest : public ::testing::Test {
protected:
    QTemporaryDir folder;
    std::string path = folder.filePath("ordavel/printers.ini").toStdString();
    CalibrationStore store{path};
};

TEST_F(CalibrationStoreTest, KeepsOneCalibrationPerPrinterNameWhateverItsCharacters)
{
    EXPECT_FALSE(store.load("Tractor").calibration);
    EXPECT_TRUE(store.load("Tractor").error.empty());
    const Calibration tractor{-2.0, -1.4955134596211366, 100.0, 99.70089730807577, 0.2};
    const Calibration laser{1.5, -0.8, 100.2, 99.8, 0.0};
    for (const auto& [name, c] : {std::pair{std::string("Tractor"), tractor}, std::pair{std::string("激光/副本 2"), laser}})
        ASSERT_EQ(store.save(name, c), "") << name;
    // A fresh store on the same file reads the exact values back.
    CalibrationStore again(path);
    EXPECT_EQ(again.load("Tractor").calibration, tractor);
    EXPECT_EQ(again.load("激光/副本 2").calibration, laser);
    EXPECT_FALSE(again.load("激光").calibration);
    std::vector<std::string> printers = again.printers();
    std::sort(printers.begin(), printers.end());
    EXPECT_EQ(printers, (std::vector<std::string>{"Tractor", "激光/副本 2"}));
    // Replaced whole: no temporary file stays beside it.
    EXPECT_EQ(QDir(folder.filePath("ordavel")).entryList(QDir::Files), QStringList{"printers.ini"});

    // Saving the identity or resetting leaves no calibration for that printer only.
    ASSERT_EQ(again.save("Tractor", Calibration{}), "");
    EXPECT_FALSE(again.load("Tractor").calibration);
    ASSERT_EQ(again.remove("激光/副本 2"), "");
    EXPECT_TRUE(again.printers().empty());
}

TEST_F(CalibrationStoreTest, RefusesValuesOutsideTheLimitsOnSaveAndOnLoad)
{
    EXPECT_EQ(store.save("Tractor", Calibration{0, 0, 100, 100, 10.5}), "page length 10.50 mm is outside -10 to 10 mm");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));

    QDir().mkpath(folder.filePath("ordavel"));
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Tractor]\noffsetXMm=31\n[Laser]\nscaleYPercent=abc\n[Ok]\noffsetYMm=1.25\n");
    file.close();
    const StoredCalibration tractor = store.load("Tractor");
    EXPECT_FALSE(tractor.calibration);
    EXPECT_EQ(tractor.error, "the calibration of \"Tractor\": offset X 31.00 mm is outside -30 to 30 mm");
    EXPECT_EQ(store.load("Laser").error, "the calibration of \"Laser\" has an unreadable scaleYPercent");
    // Keys left out keep the identity's values.
    EXPECT_EQ(store.load("Ok").calibration, (Calibration{0, 1.25, 100, 100, 0}));
}

TEST(CalibrationStorePath, FollowsXdgConfigHome)
{
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/somewhere");
    EXPECT_EQ(CalibrationStore::defaultPath(), "/tmp/somewhere/ordavel/printers.ini");
    qputenv("XDG_CONFIG_HOME", "relative/ignored");
    EXPECT_EQ(CalibrationStore::defaultPath(), (QDir::homePath() + "/.config/ordavel/printers.ini").toStdString());
    qputenv("XDG_CONFIG_HOME", old);
}

} // namespace
} // namespace ordavel
