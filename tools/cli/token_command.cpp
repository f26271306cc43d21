// ordavel-cli token add NAME [--origin URL]... [--printer NAME]... [--template NAME]...
// | token list | token revoke NAME: the print service's access tokens; on a
// station of a shop, the shop's (a revoke also finds the station's own file's).
#include "command.h"
#include "option_parser.h"

#include "service/tokens.h"
#include "shop/users_journal.h"
#if ORDAVEL_SHOP_QUEUE
#include "shop_queue/shop_tokens.h"
#endif

#include <cstdio>

namespace ordavel::cli {

namespace {

struct Settings {
    std::string action;
    std::string name;
    service::Token rights;
};

OptionParser declare(Settings& s)
{
    OptionParser parser("token", "Adds (printing the new token once), lists or revokes the print service's access"
                                 " tokens; a running service sees the change within seconds.");
    parser.positional("add|list|revoke", "what to do", &s.action);
    parser.positional("NAME", "the token's name (add, revoke)", &s.name, /*required=*/false);
    const auto append = [](std::vector<std::string>* list) {
        return [list](const std::string& value) {
            list->push_back(value);
            return value.empty() ? std::string("the value is empty") : std::string();
        };
    };
    parser.option({.name = "--origin", .value = "URL",
                   .help = "a web page origin that may use the token (repeatable; none: no browser)"},
                  append(&s.rights.origins));
    parser.option({.name = "--printer", .value = "NAME", .help = "a printer it may print on (repeatable; none: all)"},
                  append(&s.rights.printers));
    parser.option({.name = "--template", .value = "NAME", .help = "a template it may print (repeatable; none: all)"},
                  append(&s.rights.templates));
    return parser;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "ordavel-cli token: %s\n", message.c_str());
    return 1;
}

std::string listed(const std::vector<std::string>& values, const char* none)
{
    if (values.empty())
        return none;
    std::string out;
    for (const auto& value : values)
        out += (out.empty() ? "" : ", ") + value;
    return out;
}

int run(const std::vector<std::string>& args)
{
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    std::unique_ptr<service::TokenStore> store = std::make_unique<service::TokenFile>();
    bool inShop = false;
    const auto shop = joinedShop();
    if (!shop.ok())
        return fail(shop.error());
    if (shop.value()) {
#if ORDAVEL_SHOP_QUEUE
        store = std::make_unique<service::ShopTokens>(shop.value()->connection);
        inShop = true;
#else
        return fail("this build of the program cannot reach a shop's database (no PostgreSQL)");
#endif
    }
    service::TokenStore& file = *store;
    if (s.action == "list") {
        if (!s.name.empty())
            return fail("list takes no name");
        std::string error;
        const auto tokens = file.load(error);
        if (!tokens)
            return fail(error);
        for (const auto& token : *tokens)
            std::printf("%s\n  origins: %s\n  printers: %s\n  templates: %s\n", token.name.c_str(),
                        listed(token.origins, "(none: not from a browser)").c_str(),
                        listed(token.printers, "(all)").c_str(), listed(token.templates, "(all)").c_str());
        return 0;
    }
    if (s.name.empty())
        return fail(s.action + " needs the token's NAME");
    if (s.action == "add") {
        s.rights.name = s.name;
        std::string error;
        const std::string secret = file.add(s.rights, error);
        if (secret.empty())
            return fail(error);
        std::printf("%s\n", secret.c_str());
        std::fprintf(stderr, "ordavel-cli token: token \"%s\" added; it is shown only this once\n", s.name.c_str());
        return 0;
    }
    if (s.action == "revoke") {
        if (!s.rights.origins.empty() || !s.rights.printers.empty() || !s.rights.templates.empty())
            return fail("revoke takes only the NAME");
        std::string error = file.revoke(s.name);
        // A token of the station's own file, made before it joined the shop.
        if (!error.empty() && inShop && service::TokenFile().revoke(s.name).empty())
            error.clear();
        if (!error.empty())
            return fail(error);
        return 0;
    }
    return fail("\"" + s.action + "\" is not add, list or revoke");
}

const CommandRegistration registration({"token", [] { return usageOf(declare); }, run});

} // namespace

} // namespace ordavel::cli
