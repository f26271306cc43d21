#include "shop/users_journal.h"

#include "shop/connection_string.h"

namespace ordavel {

Result<std::optional<ShopMembership>, std::string> joinedShop(const ShopConfig& config)
{
    return config.load();
}

Journal::Opened openUsersJournal(const std::string& path, const ShopConfig& config)
{
    const auto shop = joinedShop(config);
    if (!shop.ok())
        return {nullptr, shop.error(), {}};
    if (!shop.value())
        return Journal::open(path);
    Journal::Opened opened = Journal::openShop(shop.value()->connection, shop.value()->station);
    if (!opened.journal)
        opened.error = "the shop's journal (" + describeConnection(shop.value()->connection) + ") cannot be opened: "
            + opened.error;
    return opened;
}

} // namespace ordavel
