#include "pool_command.h"

#include "shop/connection_string.h"
#include "shop/users_journal.h"
#if ORDAVEL_SHOP_QUEUE
#include "shop_queue/shop_pools.h"
#endif

#include <nlohmann/json.hpp>

#include <cstdio>

namespace ordavel::cli {

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "ordavel-cli shop pool: %s\n", message.c_str());
    return 1;
}

constexpr const char* kUsage = "usage: ordavel-cli shop pool add NAME STATION/PRINTER... | pool remove NAME"
                               " | pool list [--json]\n";

} // namespace

int poolCommand(const std::vector<std::string>& args)
{
    if (args.size() < 2 || args[1] == "--help") {
        std::fputs(kUsage, args.size() < 2 ? stderr : stdout);
        return args.size() < 2 ? 2 : 0;
    }
#if ORDAVEL_SHOP_QUEUE
    const auto shop = joinedShop();
    if (!shop.ok())
        return fail(shop.error());
    if (!shop.value())
        return fail("this station is in no shop (ordavel-cli shop join URL)");
    const std::string& url = shop.value()->connection;
    const std::string& action = args[1];
    if (action == "add") {
        if (args.size() < 4)
            return fail("add needs the pool's name and at least one STATION/PRINTER");
        service::ShopPool pool{args[2], {args.begin() + 3, args.end()}};
        if (const std::string error = service::addPool(url, pool); !error.empty())
            return fail(error);
        std::printf("pool %s:", pool.name.c_str());
        for (const std::string& member : pool.members)
            std::printf(" %s", member.c_str());
        std::printf("\n");
        return 0;
    }
    if (action == "remove") {
        if (args.size() != 3)
            return fail("remove takes the pool's name");
        if (const std::string error = service::removePool(url, args[2]); !error.empty())
            return fail(error);
        std::printf("pool %s removed\n", args[2].c_str());
        return 0;
    }
    if (action == "list") {
        const bool json = args.size() == 3 && args[2] == "--json";
        if (args.size() > 3 || (args.size() == 3 && !json))
            return fail("list takes only --json");
        std::string error;
        const auto pools = service::listPools(url, error);
        if (!error.empty())
            return fail(describeConnection(url) + ": " + error);
        if (json) {
            nlohmann::json out = nlohmann::json::array();
            for (const auto& pool : pools)
                out.push_back({{"name", pool.name}, {"members", pool.members}});
            std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
            return 0;
        }
        if (pools.empty())
            std::printf("the shop has no pools\n");
        for (const auto& pool : pools) {
            std::printf("%s:", pool.name.c_str());
            for (const std::string& member : pool.members)
                std::printf(" %s", member.c_str());
            std::printf("\n");
        }
        return 0;
    }
    return fail("\"" + action + "\" is not add, remove or list");
#else
    return fail("this build of the program has no shop's print queue");
#endif
}

} // namespace ordavel::cli
