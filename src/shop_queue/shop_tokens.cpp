#include "shop_queue/shop_tokens.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ctime>

namespace ordavel::service {

using ordavel::postgres_journal::PgResult;
using ordavel::postgres_journal::textArray;

namespace {

std::vector<std::string> listOf(const std::string& jsonText)
{
    std::vector<std::string> items;
    const auto parsed = nlohmann::json::parse(jsonText, nullptr, false);
    if (parsed.is_array())
        for (const auto& item : parsed)
            if (item.is_string())
                items.push_back(item.get<std::string>());
    return items;
}

} // namespace

ShopTokens::ShopTokens(std::string url, std::string stationFile)
    : m_url(std::move(url)), m_stationFile(std::move(stationFile))
{
}

std::string ShopTokens::ready() const
{
    if (m_db.connected())
        return {};
    return m_db.connect(m_url).message;
}

std::optional<std::vector<Token>> ShopTokens::load(std::string& error) const
{
    const std::lock_guard lock(m_mutex);
    if (error = ready(); !error.empty())
        return std::nullopt;
    PgResult rows = m_db.run("SELECT name, hash, array_to_json(origins)::text, array_to_json(printers)::text,"
                             " array_to_json(templates)::text FROM shop_tokens ORDER BY created_at, name");
    if (const auto failed = m_db.failure(rows); failed.failed()) {
        error = failed.message;
        return std::nullopt;
    }
    std::vector<Token> tokens;
    for (int row = 0; row < rows.rows(); ++row)
        tokens.push_back({rows.text(row, 0), rows.text(row, 1), listOf(rows.text(row, 2)), listOf(rows.text(row, 3)),
                          listOf(rows.text(row, 4))});
    if (!m_stationFile.empty()) {
        std::string unreadable;
        for (Token& own : TokenFile(m_stationFile).load(unreadable).value_or(std::vector<Token>()))
            if (std::none_of(tokens.begin(), tokens.end(), [&](const Token& t) { return t.name == own.name; }))
                tokens.push_back(std::move(own));
    }
    return tokens;
}

std::string ShopTokens::insert(const Token& token)
{
    const std::lock_guard lock(m_mutex);
    if (std::string error = ready(); !error.empty())
        return error;
    PgResult added = m_db.run("INSERT INTO shop_tokens(name, hash, origins, printers, templates, created_at)"
                              " VALUES ($1, $2, $3::text[], $4::text[], $5::text[], $6) ON CONFLICT (name) DO NOTHING",
                              {token.name, token.hash, textArray(token.origins), textArray(token.printers),
                               textArray(token.templates), static_cast<std::int64_t>(std::time(nullptr))});
    if (const auto failed = m_db.failure(added); failed.failed())
        return failed.message;
    return added.changed() == 0 ? "a token named \"" + token.name + "\" exists already (token revoke removes it)"
                                : std::string();
}

std::string ShopTokens::revoke(const std::string& name)
{
    const std::lock_guard lock(m_mutex);
    if (std::string error = ready(); !error.empty())
        return error;
    PgResult removed = m_db.run("DELETE FROM shop_tokens WHERE name = $1", {name});
    if (const auto failed = m_db.failure(removed); failed.failed())
        return failed.message;
    return removed.changed() == 0 ? "no token named \"" + name + "\"" : std::string();
}

} // namespace ordavel::service
