// ordavel-cli shop init URL | join URL [--station NAME] | leave | status [--json]
// | publish FILE.oxf [--name NAME] [--note TEXT] | templates [--json]
// | get NAME [--revision N] -o FILE.oxf | pool add|remove|list (pool_command.h):
// a shop of several stations printing into one journal on PostgreSQL, with
// one library of templates.
#include "cli_support.h"
#include "command.h"
#include "option_parser.h"
#include "pool_command.h"
#include "template_input.h"

#include "file/file_system.h"
#include "file/template_reader.h"
#include "model/document.h"

#include "journal/journal.h"
#include "journal/journal_system.h"
#include "shop/connection_string.h"
#include "shop/library_copy.h"
#include "shop/own_journal_upload.h"
#include "shop/shop_config.h"
#include "shop/shop_config_folder.h"
#include "shop/users_journal.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>

namespace ordavel::cli {

namespace {

struct Settings {
    std::string action;
    std::string url; // or the template file (publish), or the library's name (get)
    std::string station;
    std::string name;
    std::string note;
    std::string revision;
    std::string output;
    bool json = false;
};

OptionParser declare(Settings& s)
{
    OptionParser parser("shop", "Makes a shop's journal in a PostgreSQL database (init), makes this user on this"
                                " machine one of its stations (join) or none (leave), tells how the shop stands"
                                " (status), and keeps the shop's template library (publish, templates, get).");
    parser.positional("init|join|leave|status|sync|import|publish|templates|get|pool", "what to do (pool: shop pool"
                      " add NAME STATION/PRINTER... | pool remove NAME | pool list [--json])", &s.action);
    parser.positional("URL|FILE|NAME",
                      "the shop's database: a connection URI or keyword=value settings (init, join); the template"
                      " to publish (publish); the library's template (get)",
                      &s.url, /*required=*/false);
    parser.option({.name = "--station", .value = "NAME", .help = "this station's name in the shop (join; default: the host name)"},
                  [&s](const std::string& value) {
                      s.station = value;
                      return stationNameProblem(value);
                  });
    parser.flag("--json", "status or templates as JSON", &s.json);
    parser.option({.name = "--name", .value = "NAME", .help = "the name it is published under (publish; default: the"
                                                              " file's name without .oxf)"},
                  [&s](const std::string& value) {
                      s.name = value;
                      return isLibraryName(value) ? std::string() : "\"" + value + "\" cannot name a template";
                  });
    parser.option({.name = "--note", .value = "TEXT", .help = "what changed (publish)"},
                  [&s](const std::string& value) {
                      s.note = value;
                      return std::string();
                  });
    parser.option({.name = "--revision", .value = "N", .help = "that revision (get; default: the latest)"},
                  [&s](const std::string& value) {
                      s.revision = value;
                      return parsePositive(value) > 0 ? std::string() : "--revision takes a number from 1";
                  });
    declareOutput(parser, &s.output, "FILE.oxf", "where the template is written (get)", /*required=*/false);
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
                             " password file (%s, or PGPASSFILE)\n", passwordFileName());
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

// How many jobs of this station's own journal the shop lacks (shop sync uploads them).
int waitingUpload(Journal& shop)
{
    const Journal::Opened own = openOwnJournal();
    if (!own.journal)
        return 0;
    const auto jobs = jobsTheShopLacks(shop, *own.journal);
    return jobs.ok() ? static_cast<int>(jobs.value.size()) : 0;
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
                           {"waitingUpload", waitingUpload(journal)}};
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
    std::printf("waiting to be uploaded: %d jobs\n", waitingUpload(journal));
    return 0;
}

// The shop's journal of the station this user is on this machine.
std::unique_ptr<Journal> openJoinedShop()
{
    const auto shop = joinedShop();
    if (!shop.ok()) {
        fail(shop.error());
        return nullptr;
    }
    if (!shop.value()) {
        fail("this station is in no shop (ordavel-cli shop join URL)");
        return nullptr;
    }
    Journal::Opened opened = Journal::openShop(shop.value()->connection, shop.value()->station);
    if (!opened.journal)
        fail(describeConnection(shop.value()->connection) + ": " + opened.error);
    return std::move(opened.journal);
}

std::string revisionBy(const LibraryRevision& revision)
{
    std::string by = revision.user + "@" + revision.host;
    if (!revision.station.empty())
        by += " (" + revision.station + ")";
    return by;
}

int publish(const Settings& s)
{
    // Only a template this program can open goes into the library.
    Document doc;
    if (!loadTemplate(doc, s.url))
        return fail("\"" + s.url + "\" is not published");
    FileStatus status;
    const auto bytes = readRegularFile(s.url, kMaxTemplateBytes, &status);
    if (!bytes)
        return fail("cannot read \"" + s.url + "\": " + describeFileStatus(status));
    const std::string name = s.name.empty() ? journalTemplateName(s.url) : s.name;
    if (!isLibraryName(name))
        return fail("\"" + name + "\" cannot name a template (give one with --name)");
    const auto journal = openJoinedShop();
    if (!journal)
        return 1;
    const auto published = journal->publishTemplate(name, *bytes, s.note);
    if (!published.ok())
        return fail(published.error);
    const LibraryRevision& made = published.value;
    std::printf("%s revision %d (%s)\n", made.name.c_str(), made.revision, made.hash.c_str());
    return 0;
}

int templates(const Settings& s)
{
    const auto journal = openJoinedShop();
    if (!journal)
        return 1;
    const auto listed = journal->libraryTemplates();
    if (!listed.ok())
        return fail(listed.error);
    if (s.json) {
        nlohmann::json out = nlohmann::json::array();
        for (const LibraryRevision& r : listed.value)
            out.push_back({{"name", r.name}, {"revision", r.revision}, {"sha256", r.hash},
                           {"published", formatJournalTime(r.publishedAt)}, {"by", revisionBy(r)}, {"note", r.note}});
        std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        return 0;
    }
    if (listed.value.empty())
        std::printf("the shop's library holds no templates\n");
    for (const LibraryRevision& r : listed.value)
        std::printf("%s\trevision %d\t%s\t%s%s%s\n", r.name.c_str(), r.revision, formatJournalTime(r.publishedAt).c_str(),
                    revisionBy(r).c_str(), r.note.empty() ? "" : "\t", r.note.c_str());
    return 0;
}

int get(const Settings& s)
{
    if (s.output.empty())
        return fail("get needs -o FILE.oxf");
    const auto journal = openJoinedShop();
    if (!journal)
        return 1;
    const int revision = s.revision.empty() ? 0 : parsePositive(s.revision);
    const auto found = journal->libraryTemplate(s.url, revision);
    if (!found.ok())
        return fail(found.error);
    if (!found.value)
        return fail(revision > 0 ? "the library has no revision " + std::to_string(revision) + " of \"" + s.url + "\""
                                 : "the library has no template \"" + s.url + "\"");
    if (const FileStatus written = replaceFile(s.output, found.value->bytes); !written.ok())
        return fail("cannot write \"" + s.output + "\": " + describeFileStatus(written));
    std::printf("%s revision %d written to %s\n", found.value->revision.name.c_str(), found.value->revision.revision,
                s.output.c_str());
    return 0;
}

// Uploads what this station printed into its own journal (while the shop
// could not be reached, or before it joined) that the shop lacks.
int sync()
{
    const auto shop = joinedShop();
    if (!shop.ok())
        return fail(shop.error());
    if (!shop.value())
        return fail("this station is in no shop");
    Journal::Opened own = openOwnJournal();
    if (!own.journal && own.error.empty()) {
        std::printf("0 jobs uploaded: this station has no journal of its own\n");
        return 0;
    }
    if (!own.journal)
        return fail(own.error);
    Journal::Opened opened = Journal::openShop(shop.value()->connection, shop.value()->station);
    if (!opened.journal)
        return fail(describeConnection(shop.value()->connection) + ": " + opened.error);
    const OwnJournalUpload upload = uploadOwnJournal(*opened.journal, *own.journal);
    std::printf("%d jobs uploaded\n", upload.uploaded);
    if (upload.waiting > 0)
        std::printf("%d jobs wait until the first of them has finished printing\n", upload.waiting);
    return upload.error.empty() ? 0 : fail(upload.error);
}

int run(const std::vector<std::string>& args)
{
    // A pool takes any number of members: its arguments are its own.
    if (!args.empty() && args[0] == "pool")
        return poolCommand(args);
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    const bool needsUrl = s.action == "init" || s.action == "join";
    if (needsUrl && s.url.empty())
        return fail(s.action + " needs the shop database's URL");
    if (s.action == "publish" && s.url.empty())
        return fail("publish needs the template file");
    if (s.action == "get" && s.url.empty())
        return fail("get needs the library's name of the template");
    if (!needsUrl && s.action != "publish" && s.action != "get" && !s.url.empty())
        return fail(s.action + " takes no URL");
    if (!s.station.empty() && s.action != "join")
        return fail("--station goes with join");
    if (s.json && s.action != "status" && s.action != "templates")
        return fail("--json goes with status or templates");
    if ((!s.name.empty() || !s.note.empty()) && s.action != "publish")
        return fail("--name and --note go with publish");
    if ((!s.revision.empty() || !s.output.empty()) && s.action != "get")
        return fail("--revision and -o go with get");
    if (s.action == "publish")
        return publish(s);
    if (s.action == "templates")
        return templates(s);
    if (s.action == "get")
        return get(s);
    if (s.action == "init")
        return init(s);
    if (s.action == "join")
        return join(s);
    if (s.action == "leave")
        return leave();
    if (s.action == "status")
        return status(s);
    if (s.action == "sync" || s.action == "import")
        return sync();
    return fail("\"" + s.action + "\" is not init, join, leave, status, sync, import, publish, templates or get");
}

const CommandRegistration registration({"shop", [] { return usageOf(declare); }, run});

} // namespace

} // namespace ordavel::cli
