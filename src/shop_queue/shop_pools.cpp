#include "shop_queue/shop_pools.h"

#include "journal/postgres/pg_connection.h"
#include "journal/postgres/pg_schema.h"
#include "shop/shop_config.h"

namespace ordavel::service {

using ordavel::postgres_journal::PgConnection;
using ordavel::postgres_journal::PgResult;
using ordavel::postgres_journal::textArray;

namespace {

bool blankAtEnds(const std::string& text)
{
    return text.empty() || text.front() == ' ' || text.back() == ' ' || text.front() == '\t' || text.back() == '\t';
}

std::string connected(PgConnection& db, const std::string& url)
{
    if (const auto error = db.connect(url); error.failed())
        return error.message;
    const auto version = ordavel::postgres_journal::checkSchema(db);
    return version.ok() ? std::string() : version.error;
}

} // namespace

std::string poolNameProblem(const std::string& name)
{
    if (blankAtEnds(name))
        return "a pool's name is neither empty nor blank at its ends";
    if (name.find('/') != std::string::npos)
        return "a pool's name has no '/' (\"" + name + "\" names a printer)";
    if (name.find('\n') != std::string::npos || name.size() > 63)
        return "a pool's name is one line of at most 63 bytes";
    return {};
}

std::string poolMemberProblem(const std::string& member)
{
    const auto slash = member.find('/');
    if (slash == std::string::npos || slash + 1 >= member.size() || member.find('/', slash + 1) != std::string::npos)
        return "\"" + member + "\" is not STATION/PRINTER";
    if (const std::string problem = stationNameProblem(member.substr(0, slash)); !problem.empty())
        return problem;
    return blankAtEnds(member.substr(slash + 1)) ? "\"" + member + "\" names no printer" : std::string();
}

std::string addPool(const std::string& url, const ShopPool& pool)
{
    if (std::string problem = poolNameProblem(pool.name); !problem.empty())
        return problem;
    if (pool.members.empty())
        return "a pool has at least one member";
    for (std::size_t i = 0; i < pool.members.size(); ++i) {
        if (std::string problem = poolMemberProblem(pool.members[i]); !problem.empty())
            return problem;
        for (std::size_t j = 0; j < i; ++j)
            if (pool.members[j] == pool.members[i])
                return "\"" + pool.members[i] + "\" is named twice";
    }
    PgConnection db;
    if (std::string error = connected(db, url); !error.empty())
        return error;
    return db
        .execute("INSERT INTO shop_pools(name, members) VALUES ($1, $2::text[])"
                 " ON CONFLICT (name) DO UPDATE SET members = excluded.members",
                 {pool.name, textArray(pool.members)})
        .message;
}

std::string removePool(const std::string& url, const std::string& name)
{
    PgConnection db;
    if (std::string error = connected(db, url); !error.empty())
        return error;
    PgResult removed = db.run("DELETE FROM shop_pools WHERE name = $1", {name});
    if (const auto error = db.failure(removed); error.failed())
        return error.message;
    return removed.changed() == 0 ? "the shop has no pool \"" + name + "\"" : std::string();
}

std::vector<ShopPool> listPools(const std::string& url, std::string& error)
{
    std::vector<ShopPool> pools;
    PgConnection db;
    if (error = connected(db, url); !error.empty())
        return pools;
    // One row per member, in order.
    PgResult rows = db.run("SELECT p.name, u.m FROM shop_pools p, unnest(p.members) WITH ORDINALITY AS u(m, o)"
                           " ORDER BY p.name, u.o");
    if (const auto failed = db.failure(rows); failed.failed()) {
        error = failed.message;
        return pools;
    }
    for (int row = 0; row < rows.rows(); ++row) {
        const std::string name = rows.text(row, 0);
        if (pools.empty() || pools.back().name != name)
            pools.push_back({name, {}});
        pools.back().members.push_back(rows.text(row, 1));
    }
    return pools;
}

} // namespace ordavel::service
