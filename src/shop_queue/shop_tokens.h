#pragma once
// The print service's tokens kept in the shop's database (`shop_tokens`),
// digests only as the station's token file keeps them: a token added on any
// station works on every station's service, and revoked on any, on none.
// A service may also accept its station's own file's tokens, so that those
// made before the station joined keep working there.

#include "service/tokens.h"

#include "journal/postgres/pg_connection.h"

#include <mutex>
#include <string>

namespace ordavel::service {

class ShopTokens final : public TokenStore {
public:
    // With `stationFile`, load() adds that file's tokens whose names the shop lacks.
    explicit ShopTokens(std::string url, std::string stationFile = {});

    // Nothing, with `error`, when the shop cannot be read.
    std::optional<std::vector<Token>> load(std::string& error) const override;
    std::string revoke(const std::string& name) override;

protected:
    std::string insert(const Token& token) override;

private:
    // Connects when not connected; "" or why not.
    std::string ready() const;
    const std::string m_url;
    const std::string m_stationFile;
    mutable std::mutex m_mutex;
    mutable ordavel::postgres_journal::PgConnection m_db;
};

} // namespace ordavel::service
