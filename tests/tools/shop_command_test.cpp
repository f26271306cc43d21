// ordavel-cli shop on a PostgreSQL server of the tests' own: init makes the
// shop's journal once, join checks the database and the station's name
// before it keeps anything (never a password), status tells the shop's
// stations, leave makes the station print into its own journal again.
#include "tool_run.h"

#if ORDAVEL_POSTGRES
#include "journal/journal.h"
#include "journal/postgres/pg_schema.h"
#include "support/postgres_server.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuoted;

class ShopCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        server = test::PostgresServer::shared(error);
        ASSERT_NE(server, nullptr) << error;
        url = server->createDatabase(error);
        ASSERT_FALSE(url.empty()) << error;
    }

    // The tool with this station's configuration and journal folders.
    test::RunResult shop(const std::string& args, const std::string& station = "a")
    {
        const fs::path home = scratch.path() / station;
        return runCommand("{ XDG_CONFIG_HOME=" + shellQuoted(home / "config") + " XDG_DATA_HOME="
                          + shellQuoted(home / "data") + " " + ORDAVEL_CLI + " " + args + " 2>&1; }");
    }

    // A template built from `json` at `out`; its bytes.
    std::string buildTemplate(const std::string& json, const fs::path& out)
    {
        const fs::path in = scratch.path() / "in.json";
        std::ofstream(in) << json;
        const auto built = runCommand(std::string(ORDAVEL_CLI) + " build " + shellQuoted(in) + " -o " + shellQuoted(out));
        EXPECT_EQ(built.status, 0) << built.output;
        return bytesOf(out);
    }

    static std::string bytesOf(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }

    test::ScratchDir scratch{"ordavel-shop"};
    test::PostgresServer* server = nullptr;
    std::string url;
};

// Pools and tokens are the shop's: kept in its database whichever station
// changes them, and seen by every station.
TEST_F(ShopCommand, PoolsAndTokensAreKeptForTheWholeShop)
{
    ASSERT_EQ(shop("shop init " + shellQuoted(url)).status, 0);
    ASSERT_EQ(shop("shop join " + shellQuoted(url) + " --station desk", "a").status, 0);
    ASSERT_EQ(shop("shop join " + shellQuoted(url) + " --station back", "b").status, 0);

    const auto added = shop("shop pool add cards back/laser desk/pdf", "a");
    ASSERT_EQ(added.status, 0) << added.output;
    EXPECT_EQ(shop("shop pool add labels back/zebra", "b").status, 0);
    const auto refused = shop("shop pool add cards laser", "a");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("STATION/PRINTER"), std::string::npos) << refused.output;
    const auto listed = shop("shop pool list --json", "b");
    ASSERT_EQ(listed.status, 0) << listed.output;
    EXPECT_EQ(nlohmann::json::parse(listed.output, nullptr, false),
              nlohmann::json::parse(R"([{"name":"cards","members":["back/laser","desk/pdf"]},)"
                                    R"({"name":"labels","members":["back/zebra"]}])"));
    EXPECT_EQ(shop("shop pool remove labels", "a").status, 0);
    EXPECT_EQ(shop("shop pool remove labels", "b").status, 1);
    EXPECT_NE(shop("shop pool list", "b").output.find("cards: back/laser desk/pdf"), std::string::npos);

    const auto token = shop("token add orders --printer cards", "a");
    ASSERT_EQ(token.status, 0) << token.output;
    EXPECT_NE(shop("token list", "b").output.find("orders"), std::string::npos) << "the other station sees it";
    EXPECT_EQ(test::queryNumber(url, "SELECT count(*) FROM shop_tokens WHERE printers = '{cards}'"), 1);
    EXPECT_EQ(shop("token add orders", "b").status, 1) << "one name in the whole shop";
    EXPECT_EQ(shop("token revoke orders", "b").status, 0);
    EXPECT_EQ(test::queryNumber(url, "SELECT count(*) FROM shop_tokens"), 0);
}

TEST_F(ShopCommand, InitJoinStatusAndLeave)
{
    const auto notYet = shop("shop join " + shellQuoted(url) + " --station desk");
    EXPECT_EQ(notYet.status, 1);
    EXPECT_NE(notYet.output.find("no shop's journal"), std::string::npos) << notYet.output;

    const auto made = shop("shop init " + shellQuoted(url));
    ASSERT_EQ(made.status, 0) << made.output;
    EXPECT_NE(made.output.find("schema " + std::to_string(postgres_journal::kSchemaVersion)), std::string::npos)
        << made.output;
    EXPECT_EQ(shop("shop init " + shellQuoted(url)).status, 0) << "init again changes nothing";

    // A password given in the URL is used for the check and never kept.
    const auto joined = shop("shop join " + shellQuoted(url + " password=unused") + " --station desk");
    ASSERT_EQ(joined.status, 0) << joined.output;
    EXPECT_NE(joined.output.find("password is not kept"), std::string::npos) << joined.output;
    std::ifstream ini(scratch.path() / "a" / "config" / "ordavel" / "shop.ini");
    const std::string kept((std::istreambuf_iterator<char>(ini)), {});
    EXPECT_NE(kept.find("station=desk"), std::string::npos) << kept;
    EXPECT_EQ(kept.find("password"), std::string::npos) << kept;

    // A name another user or machine holds is refused, and nothing is kept for it.
    ASSERT_EQ(test::runSql(url, "INSERT INTO stations VALUES ('front', 'ann', 'counter-pc', 0)"), "");
    const auto taken = shop("shop join " + shellQuoted(url) + " --station front", "b");
    EXPECT_EQ(taken.status, 1);
    EXPECT_NE(taken.output.find("ann@counter-pc"), std::string::npos) << taken.output;
    EXPECT_FALSE(fs::exists(scratch.path() / "b" / "config" / "ordavel" / "shop.ini"));
    EXPECT_EQ(shop("shop join " + shellQuoted(url) + " --station a/b", "b").status, 1);

    const auto status = shop("shop status --json");
    ASSERT_EQ(status.status, 0) << status.output;
    const auto shown = nlohmann::json::parse(status.output, nullptr, false);
    ASSERT_TRUE(shown.is_object()) << status.output;
    EXPECT_EQ(shown["station"], "desk");
    EXPECT_EQ(shown["schema"], postgres_journal::kSchemaVersion);
    ASSERT_EQ(shown["stations"].size(), 2u) << status.output;
    EXPECT_EQ(shown["stations"][0]["name"], "desk");
    EXPECT_EQ(shown["stations"][0]["lastPrinted"], "");

    // The journal command reads the shop's journal now.
    const auto listed = shop("journal --json");
    EXPECT_EQ(listed.status, 0) << listed.output;
    EXPECT_EQ(nlohmann::json::parse(listed.output, nullptr, false), nlohmann::json::array()) << listed.output;

    ASSERT_EQ(shop("shop leave").status, 0);
    const auto alone = shop("shop status");
    EXPECT_NE(alone.output.find("in no shop"), std::string::npos) << alone.output;
    EXPECT_EQ(shop("shop leave").status, 1);
}

// A connection that asks for TLS the server (or this build's libpq, on
// Windows) cannot give is refused at join, saying so, and nothing is kept.
TEST_F(ShopCommand, AJoinThatAsksForTlsItCannotHaveIsRefusedSayingWhy)
{
    if (!server->loopback())
        GTEST_SKIP() << "libpq takes no TLS on a Unix socket, the only way to this server here";
    ASSERT_EQ(shop("shop init " + shellQuoted(url)).status, 0);
    const auto joined = shop("shop join " + shellQuoted(url + " sslmode=require") + " --station desk");
    EXPECT_EQ(joined.status, 1);
    EXPECT_NE(joined.output.find("SSL"), std::string::npos) << joined.output;
    EXPECT_NE(joined.output.find("sslmode=require"), std::string::npos) << "names the connection: " << joined.output;
    if (const char* windows = std::getenv("ORDAVEL_WINDOWS_CLI"); windows != nullptr && windows[0] != '\0') {
        EXPECT_NE(joined.output.find("without TLS"), std::string::npos) << "the Windows build has none: " << joined.output;
    }
    EXPECT_FALSE(fs::exists(scratch.path() / "a" / "config" / "ordavel" / "shop.ini"));
}

TEST_F(ShopCommand, AStationWhoseShopCannotBeReachedSaysWhichDatabase)
{
    ASSERT_EQ(shop("shop init " + shellQuoted(url)).status, 0);
    ASSERT_EQ(shop("shop join " + shellQuoted(url) + " --station desk").status, 0);
    // The shop.ini now names a database that is gone.
    const fs::path ini = scratch.path() / "a" / "config" / "ordavel" / "shop.ini";
    std::ofstream(ini) << "[shop]\nconnection=host=" << (scratch.path() / "nowhere").string()
                       << " dbname=none connect_timeout=1\nstation=desk\n";
    const auto listed = shop("journal");
    EXPECT_EQ(listed.status, 1);
    EXPECT_NE(listed.output.find("the shop's journal (host=" + (scratch.path() / "nowhere").string()), std::string::npos)
        << listed.output;
}

TEST_F(ShopCommand, PublishedTemplatesComeBackByteForByteInEveryRevision)
{
    const fs::path form = scratch.path() / "waybill.oxf";
    const std::string first = buildTemplate(R"({"pageWidth": 10, "pageHeight": 5})", form);
    const auto outside = shop("shop publish " + shellQuoted(form));
    EXPECT_EQ(outside.status, 1);
    EXPECT_NE(outside.output.find("in no shop"), std::string::npos) << outside.output;

    ASSERT_EQ(shop("shop init " + shellQuoted(url)).status, 0);
    ASSERT_EQ(shop("shop join " + shellQuoted(url) + " --station desk").status, 0);
    const auto published = shop("shop publish " + shellQuoted(form) + " --note " + shellQuoted("第一版"));
    ASSERT_EQ(published.status, 0) << published.output;
    EXPECT_NE(published.output.find("waybill revision 1"), std::string::npos) << published.output;
    const auto again = shop("shop publish " + shellQuoted(form) + " --note again");
    EXPECT_EQ(again.status, 0) << again.output;
    EXPECT_NE(again.output.find("waybill revision 1"), std::string::npos) << again.output;

    const std::string second = buildTemplate(R"({"pageWidth": 21, "pageHeight": 5})", form);
    ASSERT_NE(first, second);
    const auto changed = shop("shop publish " + shellQuoted(form));
    ASSERT_EQ(changed.status, 0) << changed.output;
    EXPECT_NE(changed.output.find("waybill revision 2"), std::string::npos) << changed.output;
    ASSERT_EQ(shop("shop publish " + shellQuoted(form) + " --name " + shellQuoted("收据")).status, 0);

    const auto listed = shop("shop templates --json");
    ASSERT_EQ(listed.status, 0) << listed.output;
    const auto shown = nlohmann::json::parse(listed.output, nullptr, false);
    ASSERT_TRUE(shown.is_array()) << listed.output;
    ASSERT_EQ(shown.size(), 2u) << listed.output;
    const nlohmann::json& waybill = shown[0]["name"] == "waybill" ? shown[0] : shown[1];
    EXPECT_EQ(waybill.size(), 6u) << waybill.dump();
    EXPECT_EQ(waybill["revision"], 2);
    EXPECT_EQ(waybill["sha256"].get<std::string>().size(), 64u);
    EXPECT_EQ(waybill["note"], "");
    EXPECT_NE(waybill["by"].get<std::string>().find("(desk)"), std::string::npos) << waybill.dump();
    EXPECT_TRUE(parseJournalTime(waybill["published"].get<std::string>()).has_value()) << waybill.dump();

    const fs::path out = scratch.path() / "back.oxf";
    const auto old = shop("shop get waybill --revision 1 -o " + shellQuoted(out));
    ASSERT_EQ(old.status, 0) << old.output;
    EXPECT_EQ(bytesOf(out), first);
    ASSERT_EQ(shop("shop get waybill -o " + shellQuoted(out)).status, 0);
    EXPECT_EQ(bytesOf(out), second);
    EXPECT_EQ(shop("shop get waybill --revision 3 -o " + shellQuoted(out)).status, 1);
    EXPECT_EQ(shop("shop get nothing -o " + shellQuoted(out)).status, 1);
    EXPECT_EQ(bytesOf(out), second) << "a failed get leaves the file alone";
}

TEST_F(ShopCommand, RefusesWhatIsNoTemplateAndFilesItMayNotWrite)
{
    ASSERT_EQ(shop("shop init " + shellQuoted(url)).status, 0);
    ASSERT_EQ(shop("shop join " + shellQuoted(url) + " --station desk").status, 0);
    const fs::path text = scratch.path() / "notes.oxf";
    std::ofstream(text) << "not a template";
    EXPECT_EQ(shop("shop publish " + shellQuoted(text)).status, 1);
    EXPECT_EQ(shop("shop publish " + shellQuoted(scratch.path() / "missing.oxf")).status, 1);
    const fs::path form = scratch.path() / "form.oxf";
    buildTemplate("{}", form);
    EXPECT_EQ(shop("shop publish " + shellQuoted(form) + " --name a/b").status, 1);
    EXPECT_EQ(shop("shop publish " + shellQuoted(form) + " --name ..x").status, 1);
    const auto listed = shop("shop templates --json");
    EXPECT_EQ(nlohmann::json::parse(listed.output, nullptr, false), nlohmann::json::array()) << listed.output;

    ASSERT_EQ(shop("shop publish " + shellQuoted(form)).status, 0);
    const fs::path locked = scratch.path() / "locked.oxf";
    std::ofstream(locked) << "old";
    fs::permissions(locked, fs::perms::owner_read);
    if (::geteuid() != 0) {
        EXPECT_EQ(shop("shop get form -o " + shellQuoted(locked)).status, 1);
        EXPECT_EQ(bytesOf(locked), "old");
    }
}

TEST_F(ShopCommand, GetWritesNothingThroughABrokenLink)
{
    ASSERT_EQ(shop("shop init " + shellQuoted(url)).status, 0);
    ASSERT_EQ(shop("shop join " + shellQuoted(url) + " --station desk").status, 0);
    const fs::path form = scratch.path() / "form.oxf";
    buildTemplate("{}", form);
    ASSERT_EQ(shop("shop publish " + shellQuoted(form)).status, 0);
    const fs::path dangling = scratch.path() / "dangling.oxf";
    fs::create_symlink(scratch.path() / "nowhere" / "x.oxf", dangling);
    EXPECT_EQ(shop("shop get form -o " + shellQuoted(dangling)).status, 1);
    EXPECT_FALSE(fs::exists(scratch.path() / "nowhere"));
}

} // namespace
} // namespace ordavel
#endif
