// A station's membership of a shop: the connection string is kept without
// its password in either form a user writes it, the station's name can name
// its printers, and the file says plainly what is wrong with it.
#include "shop/connection_string.h"
#include "shop/shop_config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace ordavel {
namespace {

namespace fs = std::filesystem;

TEST(ConnectionString, APasswordIsTakenOutOfAUriAndOfKeywordPairsAndTheRestKeptAsWritten)
{
    const struct {
        const char* given;
        const char* kept;
        bool hadPassword;
    } cases[] = {
        {"postgresql://clerk:s3cr@t@db.shop:5433/forms?sslmode=verify-full", "postgresql://clerk@db.shop:5433/forms?sslmode=verify-full", true},
        {"postgres://db.shop/forms?password=x&sslmode=require&application_name=a", "postgres://db.shop/forms?sslmode=require&application_name=a", true},
        {"postgresql://clerk@db.shop/forms", "postgresql://clerk@db.shop/forms", false},
        {"postgresql:///forms?host=/run/postgresql", "postgresql:///forms?host=/run/postgresql", false},
        {"host=db.shop dbname=forms password='it\\'s \\\\ secret' user=clerk", "host=db.shop dbname=forms user=clerk", true},
        {"host = /tmp/sock  dbname = 'my forms'", "host = /tmp/sock dbname = 'my forms'", false},
        {"password=x", "", true},
    };
    for (const auto& c : cases) {
        const ConnectionString read = withoutPassword(c.given);
        EXPECT_EQ(read.error, "") << c.given;
        EXPECT_EQ(read.kept, c.kept) << c.given;
        EXPECT_EQ(read.hadPassword, c.hadPassword) << c.given;
    }
    EXPECT_NE(withoutPassword("host='db.shop").error, "");
    EXPECT_NE(withoutPassword("host").error, "");
    EXPECT_NE(withoutPassword("mysql://db/forms").error, "");
    EXPECT_EQ(describeConnection("postgresql://u:pw@h/d"), "postgresql://u@h/d");
    EXPECT_EQ(describeConnection("password='unclosed").find("unclosed"), std::string::npos);
}

TEST(StationName, NamesItsPrintersAsStationSlashPrinter)
{
    EXPECT_EQ(stationNameProblem("packing-1"), "");
    EXPECT_EQ(stationNameProblem("前台 2"), "");
    EXPECT_NE(stationNameProblem(""), "");
    EXPECT_NE(stationNameProblem("a/b"), "");
    EXPECT_NE(stationNameProblem(" front"), "");
    EXPECT_NE(stationNameProblem("line\nbreak"), "");
    EXPECT_NE(stationNameProblem(std::string(64, 'x')), "");
}

class ShopConfigFile : public ::testing::Test {
protected:
    fs::path folder = fs::temp_directory_path() / ("ordavel-shop-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::string path = (folder / "ordavel" / "shop.ini").string();
    void TearDown() override { fs::remove_all(folder); }
};

TEST_F(ShopConfigFile, JoiningWritesTheMembershipLeavingRemovesItAndNoneIsNoShop)
{
    const ShopConfig config(path);
    const auto none = config.load();
    ASSERT_TRUE(none.ok()) << none.error();
    EXPECT_FALSE(none.value().has_value());

    ASSERT_EQ(config.save({"host=/run/pg dbname=shop", "packing-1"}), "");
    const auto joined = config.load();
    ASSERT_TRUE(joined.ok()) << joined.error();
    ASSERT_TRUE(joined.value().has_value());
    EXPECT_EQ(joined.value()->connection, "host=/run/pg dbname=shop");
    EXPECT_EQ(joined.value()->station, "packing-1");

    // A password is refused, never written.
    EXPECT_NE(config.save({"host=/run/pg password=x", "packing-1"}), "");
    {
        // Closed before the file is removed: Windows removes no open file.
        std::ifstream written(path);
        const std::string text((std::istreambuf_iterator<char>(written)), {});
        EXPECT_EQ(text.find("password"), std::string::npos);
    }

    EXPECT_EQ(config.forget(), "");
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(config.forget(), "");
}

TEST_F(ShopConfigFile, AFileEditedByHandIsReadOrRefusedWithItsReason)
{
    fs::create_directories(fs::path(path).parent_path());
    const auto loadOf = [&](const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
        return ShopConfig(path).load();
    };
    const auto crlf = loadOf("; by hand\r\n[shop]\r\nconnection=dbname=shop\r\nstation=desk\r\n[other]\r\nstation=x\r\n");
    ASSERT_TRUE(crlf.ok()) << crlf.error();
    EXPECT_EQ(crlf.value()->station, "desk");

    const auto withPassword = loadOf("[shop]\nconnection=dbname=shop password=x\nstation=desk\n");
    ASSERT_FALSE(withPassword.ok());
    EXPECT_NE(withPassword.error().find("password"), std::string::npos);
    EXPECT_FALSE(loadOf("[shop]\nstation=desk\n").ok());
    EXPECT_FALSE(loadOf("[shop]\nconnection=dbname=shop\nstation=a/b\n").ok());
    EXPECT_FALSE(loadOf("[shop]\nnonsense\n").ok());
}

// The membership's path is UTF-8 on every system (a Windows profile is often
// named in Chinese), and a file that cannot be read is a reason, never "no shop".
TEST_F(ShopConfigFile, KeptInAFolderNamedInChineseAndAFolderInItsPlaceIsAnError)
{
    const std::string chinese = folder.string() + "/门店/ordavel/shop.ini";
    const ShopConfig config(chinese);
    ASSERT_EQ(config.save({"dbname=shop", "前台 2"}), "");
    const auto joined = config.load();
    ASSERT_TRUE(joined.ok()) << joined.error();
    ASSERT_TRUE(joined.value().has_value());
    EXPECT_EQ(joined.value()->station, "前台 2");
    EXPECT_EQ(config.forget(), "");
    EXPECT_FALSE(fs::exists(folder / fs::path(std::u8string(u8"门店")) / "ordavel" / "shop.ini"));
    const auto left = config.load();
    ASSERT_TRUE(left.ok()) << left.error();
    EXPECT_FALSE(left.value().has_value());

    fs::create_directories(path);
    const auto folderInstead = ShopConfig(path).load();
    ASSERT_FALSE(folderInstead.ok()) << "a folder named shop.ini is not a station of no shop";
    EXPECT_NE(folderInstead.error().find(path), std::string::npos) << folderInstead.error();
}

} // namespace
} // namespace ordavel
