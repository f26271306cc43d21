// ordavel-cli shop init URL | join URL [--station NAME] | leave | status [--json]:
// a shop of several stations printing into one journal on PostgreSQL.
#include "command.h"
#include "option_parser.h"

#include "journal/journal.h"
#include "journal/journal_system.h"
#include "shop/connection_string.h"
#include "shop/shop_config.h"
#include "shop/users_journal.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace ordavel::cli {

namespace {

struct Settings {
    std::string action;
    std::string url;
    std::string station;
    bool json = false;
};

OptionParser declare(Settings& s)
{
    OptionParser parser("shop", "Makes a shop's journal in a PostgreSQL database (init), makes this user on this"
                                " machine one of its stations (join) or none (leave), and tells how the shop stands"
                                " (status).");
    parser.positional("init|join|leave|status", "what to do", &s.action);
    parser.positional("URL", "the shop's database: a connection URI or keyword=value settings (init, join)", &s.url,
                      /*required=*/false);
    parser.option({.name = "--station", .value = "NAME", .help = "this station's name in the shop (join; default: the host name)"},
                  [&s](const std::string& value) {
                      s.station = value;
                      return stationNameProblem(value);
                  });
    parser.flag("--json", "status as JSON", &s.json);
    return parser;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "ordavel-cli shop: %s\n", message.c_str());
    return 1;
}

std::string timeOrNever(JournalTime time)
{
    return time > 0 ? formatJournalTime(time) : std::string();
}

int init(const Settings& s)
{
    const auto made = initShopJournal(s.url);
    if (!made.ok())
        return fail(describeConnection(s.url) + ": " + made.error);
    std::printf("the shop's journal in %s has schema %d\n", describeConnection(s.url).c_str(), made.value);
    return 0;
}

int join(const Settings& s)
{
    const ConnectionString read = withoutPassword(s.url);
    if (!read.error.empty())
        return fail(read.error);
    const std::string station = s.station.empty() ? journal_system::hostName() : s.station;
    if (const std::string problem = stationNameProblem(station); !problem.empty())
        return fail(problem + " (give one with --station)");
    // The connection and the schema are checked before anything is kept.
    Journal::Opened opened = Journal::openShop(s.url);
    if (!opened.journal)
        return fail(read.kept + ": " + opened.error);
    if (const std::string error = opened.journal->joinStation(station); !error.empty())
        return fail(error);
    if (const std::string error = ShopConfig().save({read.kept, station}); !error.empty())
        return fail(error);
    if (read.hadPassword)
        std::fprintf(stderr, "ordavel-cli shop: the password is not kept; the station will take it from the"
                             " password file (~/.pgpass, or PGPASSFILE)\n");
    std::printf("this station is \"%s\" of the shop at %s\n", station.c_str(), read.kept.c_str());
    return 0;
}

int leave()
{
    const ShopConfig config;
    const auto shop = config.load();
    if (shop.ok() && !shop.value())
        return fail("this station is in no shop");
    if (const std::string error = config.forget(); !error.empty())
        return fail(error);
    std::printf("this station left the shop; it prints into its own journal again\n");
    return 0;
}

int status(const Settings& s)
{
    const auto shop = joinedShop();
    if (!shop.ok())
        return fail(shop.error());
    if (!shop.value()) {
        if (s.json)
            std::printf("%s\n", nlohmann::json{{"shop", nullptr}}.dump(2).c_str());
        else
            std::printf("this station is in no shop; it prints into its own journal\n");
        return 0;
    }
    const ShopMembership& member = *shop.value();
    Journal::Opened opened = Journal::openShop(member.connection, member.station);
    if (!opened.journal)
        return fail(describeConnection(member.connection) + ": " + opened.error);
    Journal& journal = *opened.journal;
    const auto stations = journal.stations();
    if (!stations.ok())
        return fail(stations.error);
    const auto counters = journal.counters();
    if (!counters.ok())
        return fail(counters.error);
    if (s.json) {
        nlohmann::json out{{"shop", describeConnection(member.connection)},
                           {"station", member.station},
                           {"schema", journal.schemaVersion()},
                           {"stations", nlohmann::json::array()},
                           {"counters", nlohmann::json::object()},
                           {"waitingUpload", 0}};
        for (const JournalStation& st : stations.value)
            out["stations"].push_back({{"name", st.name}, {"user", st.user}, {"host", st.host},
                                       {"joined", timeOrNever(st.joinedAt)}, {"lastPrinted", timeOrNever(st.lastPrinted)}});
        for (const CounterValue& counter : counters.value)
            out["counters"][counter.name] = counter.value;
        std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        return 0;
    }
    std::printf("shop: %s (schema %d)\nthis station: %s\nstations:\n", describeConnection(member.connection).c_str(),
                journal.schemaVersion(), member.station.c_str());
    for (const JournalStation& st : stations.value)
        std::printf("  %s\t%s@%s\tlast printed %s\n", st.name.c_str(), st.user.c_str(), st.host.c_str(),
                    st.lastPrinted > 0 ? formatJournalTime(st.lastPrinted).c_str() : "never");
    std::printf("counters:\n");
    for (const CounterValue& counter : counters.value)
        std::printf("  %s: next %lld\n", counter.name.c_str(), static_cast<long long>(counter.value));
    std::printf("waiting to be uploaded: 0 jobs\n");
    return 0;
}

int run(const std::vector<std::string>& args)
{
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    const bool needsUrl = s.action == "init" || s.action == "join";
    if (needsUrl && s.url.empty())
        return fail(s.action + " needs the shop database's URL");
    if (!needsUrl && !s.url.empty())
        return fail(s.action + " takes no URL");
    if (!s.station.empty() && s.action != "join")
        return fail("--station goes with join");
    if (s.json && s.action != "status")
        return fail("--json goes with status");
    if (s.action == "init")
        return init(s);
    if (s.action == "join")
        return join(s);
    if (s.action == "leave")
        return leave();
    if (s.action == "status")
        return status(s);
    return fail("\"" + s.action + "\" is not init, join, leave or status");
}

const CommandRegistration registration({"shop", [] { return usageOf(declare); }, run});

} // namespace

} // namespace ordavel::cli
