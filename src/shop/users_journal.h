#pragma once
// The journal this user's prints go to: the shop's database when this
// station joined a shop (shop.ini), else the user's own journal file. Every
// program of the user (designer, tool, print service) opens it here, so that
// all of them record into the same one.

#include "journal/journal.h"
#include "shop/shop_config.h"

#include <optional>
#include <string>

namespace ordavel {

// The shop this station joined; none outside a shop. An unreadable shop.ini
// is an error: printing on into the station's own file would split the
// shop's history without anyone noticing.
Result<std::optional<ShopMembership>, std::string> joinedShop(const ShopConfig& config = ShopConfig());

// Opens the journal: the shop's (as the station named in shop.ini) or the
// file at `path`.
Journal::Opened openUsersJournal(const std::string& path = Journal::defaultPath(),
                                 const ShopConfig& config = ShopConfig());

} // namespace ordavel
