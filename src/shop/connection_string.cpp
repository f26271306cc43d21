#include "shop/connection_string.h"

#include <cctype>
#include <vector>

namespace ordavel {

namespace {

bool isUri(std::string_view text)
{
    return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

// A URI: the password after "user:" in the authority, and "password=" among
// the parameters after '?'.
ConnectionString fromUri(std::string_view text)
{
    ConnectionString out;
    const std::size_t scheme = text.find("://") + 3;
    const std::size_t authorityEnd = text.find_first_of("/?", scheme);
    std::string_view authority = text.substr(scheme, authorityEnd == std::string_view::npos ? std::string_view::npos
                                                                                          : authorityEnd - scheme);
    std::string rest(authorityEnd == std::string_view::npos ? std::string_view() : text.substr(authorityEnd));
    out.kept = std::string(text.substr(0, scheme));
    // The last '@' ends the user part: a password may itself hold an '@'.
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        std::string_view user = authority.substr(0, at);
        if (const std::size_t colon = user.find(':'); colon != std::string_view::npos) {
            user = user.substr(0, colon);
            out.hadPassword = true;
        }
        out.kept += std::string(user) + "@" + std::string(authority.substr(at + 1));
    } else {
        out.kept += std::string(authority);
    }
    const std::size_t query = rest.find('?');
    if (query == std::string::npos) {
        out.kept += rest;
        return out;
    }
    out.kept += rest.substr(0, query);
    std::vector<std::string> kept;
    std::size_t start = query + 1;
    while (start <= rest.size()) {
        std::size_t end = rest.find('&', start);
        if (end == std::string::npos)
            end = rest.size();
        const std::string parameter = rest.substr(start, end - start);
        if (startsWithNoCase(parameter, "password="))
            out.hadPassword = true;
        else if (!parameter.empty())
            kept.push_back(parameter);
        start = end + 1;
    }
    for (std::size_t i = 0; i < kept.size(); ++i)
        out.kept += (i == 0 ? "?" : "&") + kept[i];
    return out;
}

// keyword=value pairs, spaces around '=' allowed, a value in single quotes
// with backslash escapes; every pair but password's is kept as written.
ConnectionString fromKeywords(std::string_view text)
{
    ConnectionString out;
    std::size_t i = 0;
    const auto skipSpace = [&] {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
    };
    while (true) {
        skipSpace();
        if (i >= text.size())
            break;
        const std::size_t pairStart = i;
        while (i < text.size() && text[i] != '=' && !std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        const std::string_view keyword = text.substr(pairStart, i - pairStart);
        skipSpace();
        if (i >= text.size() || text[i] != '=' || keyword.empty()) {
            out.error = "“" + std::string(keyword) + "” is not followed by “=”";
            return out;
        }
        ++i;
        skipSpace();
        if (i < text.size() && text[i] == '\'') {
            ++i;
            bool closed = false;
            while (i < text.size()) {
                if (text[i] == '\\' && i + 1 < text.size()) {
                    i += 2;
                    continue;
                }
                if (text[i++] == '\'') {
                    closed = true;
                    break;
                }
            }
            if (!closed) {
                out.error = "the quoted value of “" + std::string(keyword) + "” is not closed";
                return out;
            }
        } else {
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])))
                ++i;
        }
        if (keyword == "password") {
            out.hadPassword = true;
            continue;
        }
        out.kept += (out.kept.empty() ? "" : " ") + std::string(text.substr(pairStart, i - pairStart));
    }
    return out;
}

} // namespace

ConnectionString withoutPassword(std::string_view text)
{
    if (isUri(text))
        return fromUri(text);
    if (text.find("://") != std::string_view::npos) {
        ConnectionString out;
        out.error = "a connection URI begins with postgresql:// or postgres://";
        return out;
    }
    return fromKeywords(text);
}

std::string describeConnection(std::string_view text)
{
    const ConnectionString read = withoutPassword(text);
    return read.error.empty() ? read.kept : "(an unreadable connection string)";
}

} // namespace ordavel
