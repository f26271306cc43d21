// What the shop keeps for every station's service beside the queue: pools
// of printers and the tokens, on a real PostgreSQL database.

#include "shop_queue/shop_pools.h"
#include "shop_queue/shop_tokens.h"

#include "journal/journal.h"
#include "support/postgres_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace ordavel::service {
namespace {

class ShopCatalog : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        url = test::PostgresServer::newDatabase(error);
        ASSERT_FALSE(url.empty()) << error;
        ASSERT_TRUE(initShopJournal(url).ok());
    }
    std::string url;
};

TEST_F(ShopCatalog, PoolsKeepTheirMembersInOrderAndRefuseWhatNamesNoShopPrinter)
{
    EXPECT_EQ(addPool(url, {"cards", {"back/laser", "front/pdf"}}), "");
    EXPECT_EQ(addPool(url, {"labels", {"front/zebra"}}), "");
    // Added again: the members as now given.
    EXPECT_EQ(addPool(url, {"cards", {"front/pdf", "back/laser", "side/laser"}}), "");
    std::string error;
    const auto pools = listPools(url, error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(pools.size(), 2u);
    EXPECT_EQ(pools[0].name, "cards");
    EXPECT_EQ(pools[0].members, (std::vector<std::string>{"front/pdf", "back/laser", "side/laser"}));
    EXPECT_EQ(pools[1].members, (std::vector<std::string>{"front/zebra"}));

    for (const ShopPool& bad : std::vector<ShopPool>{{"a/b", {"front/pdf"}},
                                                     {"", {"front/pdf"}},
                                                     {" cards", {"front/pdf"}},
                                                     {"cards", {}},
                                                     {"cards", {"pdf"}},
                                                     {"cards", {"front/"}},
                                                     {"cards", {"/pdf"}},
                                                     {"cards", {"a/b/c"}},
                                                     {"cards", {"front/pdf", "front/pdf"}}})
        EXPECT_NE(addPool(url, bad), "") << bad.name << " " << (bad.members.empty() ? "" : bad.members[0]);
    EXPECT_EQ(listPools(url, error)[0].members.size(), 3u) << "a refused change changes nothing";

    EXPECT_EQ(removePool(url, "labels"), "");
    EXPECT_NE(removePool(url, "labels"), "");
    EXPECT_EQ(listPools(url, error).size(), 1u);
}

// A token added on one station works on another's service; revoked on
// either, on none. The station's own file's tokens work on that station only.
TEST_F(ShopCatalog, OneTokenServesEveryStationAndARevokeEndsItEverywhere)
{
    ShopTokens front(url);
    const std::string path = std::filesystem::temp_directory_path() / ("ordavel-own-tokens-" + std::to_string(::getpid()));
    std::filesystem::remove(path);
    TokenFile own(path);
    std::string error;
    const std::string ownSecret = own.add({"local", "", {}, {}, {}}, error);
    ASSERT_FALSE(ownSecret.empty()) << error;
    TokenRegistry back(std::make_shared<ShopTokens>(url, path));

    const std::string secret = front.add({"orders", "", {"https://shop.test"}, {"back/laser", "cards"}, {}}, error);
    ASSERT_FALSE(secret.empty()) << error;
    EXPECT_EQ(front.add({"orders", "", {}, {}, {}}, error), "");
    EXPECT_NE(error.find("exists already"), std::string::npos) << error;
    EXPECT_EQ(front.add({"bad name", "", {}, {}, {}}, error), "");

    const auto found = back.find(secret);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "orders");
    EXPECT_TRUE(found->allowsPrinter("cards"));
    EXPECT_FALSE(found->allowsPrinter("front/pdf"));
    EXPECT_TRUE(found->allowsOrigin("https://shop.test"));
    EXPECT_TRUE(back.find(ownSecret)) << "the station's own token still works there";
    EXPECT_EQ(test::queryNumber(url, "SELECT count(*) FROM shop_tokens WHERE hash = '" + secret + "'"), 0)
        << "only the digest is kept";

    EXPECT_EQ(front.revoke("orders"), "");
    EXPECT_NE(front.revoke("orders"), "");
    ::sleep(1); // the registry looks again once a second
    EXPECT_FALSE(back.find(secret));
    std::filesystem::remove(path);
}

} // namespace
} // namespace ordavel::service
