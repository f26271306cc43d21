#include "service/tokens.h"

#include "journal/sha256.h"
#include "service/service_system.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace ordavel::service {

namespace {

bool listed(const std::vector<std::string>& list, const std::string& value)
{
    return list.empty() || std::find(list.begin(), list.end(), value) != list.end();
}

bool validName(const std::string& name)
{
    if (name.empty() || name.size() > 64)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_'
            || c == '-';
    });
}

// An origin as browsers send it: scheme "://" host, an optional ":port", no
// path, no spaces or control characters.
bool validOrigin(const std::string& origin)
{
    const auto sep = origin.find("://");
    if (sep == std::string::npos || sep == 0 || sep + 3 >= origin.size())
        return false;
    for (std::size_t i = 0; i < sep; ++i)
        if (!std::isalpha(static_cast<unsigned char>(origin[i])))
            return false;
    for (std::size_t i = sep + 3; i < origin.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(origin[i]);
        if (c <= ' ' || c == '/' || c == '?' || c == '#' || c == 0x7f)
            return false;
    }
    return true;
}

bool isHex64(const std::string& text)
{
    return text.size() == 64
        && std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Compares two digests in time independent of where they differ.
bool sameDigest(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace

bool Token::allowsOrigin(const std::string& origin) const
{
    return std::find(origins.begin(), origins.end(), origin) != origins.end();
}
bool Token::allowsPrinter(const std::string& printer) const { return listed(printers, printer); }
bool Token::allowsTemplate(const std::string& templateName) const { return listed(templates, templateName); }

std::string TokenFile::defaultPath() { return service_system::defaultTokenFile(); }

TokenFile::TokenFile(std::string path) : m_path(std::move(path)) {}

std::optional<std::vector<Token>> TokenFile::load(std::string& error) const
{
    std::vector<Token> tokens;
    std::ifstream in(m_path);
    if (!in) {
        if (errno == ENOENT)
            return tokens;
        error = "cannot read " + m_path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line.front() == '[') {
            const std::string prefix = "[token ";
            if (line.rfind(prefix, 0) != 0 || line.back() != ']') {
                error = m_path + ":" + std::to_string(number) + ": not a [token NAME] section";
                return std::nullopt;
            }
            tokens.push_back({});
            tokens.back().name = line.substr(prefix.size(), line.size() - prefix.size() - 1);
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos || tokens.empty()) {
            error = m_path + ":" + std::to_string(number) + ": not a setting of a token";
            return std::nullopt;
        }
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        Token& token = tokens.back();
        if (key == "hash")
            token.hash = value;
        else if (key == "origin")
            token.origins.push_back(value);
        else if (key == "printer")
            token.printers.push_back(value);
        else if (key == "template")
            token.templates.push_back(value);
    }
    // A token without a well-formed digest can never match; it is dropped
    // rather than letting a damaged line accept anything.
    std::erase_if(tokens, [](const Token& t) { return !isHex64(t.hash); });
    return tokens;
}

std::string TokenFile::write(const std::vector<Token>& tokens) const
{
    std::ostringstream text;
    text << "# Access tokens of the Ordavel print service (ordavel-cli token). Only digests are kept.\n";
    for (const Token& token : tokens) {
        text << "\n[token " << token.name << "]\nhash=" << token.hash << "\n";
        for (const auto& origin : token.origins)
            text << "origin=" << origin << "\n";
        for (const auto& printer : token.printers)
            text << "printer=" << printer << "\n";
        for (const auto& name : token.templates)
            text << "template=" << name << "\n";
    }
    return service_system::writePrivateFile(m_path, text.str());
}

std::string TokenStore::add(const Token& rights, std::string& error)
{
    if (!validName(rights.name)) {
        error = "a token's name is 1 to 64 letters, digits, '.', '_' or '-'";
        return {};
    }
    for (const auto& origin : rights.origins)
        if (!validOrigin(origin)) {
            error = "\"" + origin + "\" is not an origin (scheme://host[:port], no path)";
            return {};
        }
    for (const auto* list : {&rights.printers, &rights.templates})
        for (const auto& value : *list)
            if (value.empty() || value.find_first_of("\r\n") != std::string::npos) {
                error = "printer and template names are not empty and on one line";
                return {};
            }
    const std::string secret = newSecret();
    if (secret.empty()) {
        error = "the system gave no random bytes";
        return {};
    }
    Token token = rights;
    token.hash = ordavel::sha256Hex(secret);
    error = insert(token);
    return error.empty() ? secret : std::string();
}

std::string TokenFile::insert(const Token& token)
{
    std::string error;
    auto tokens = load(error);
    if (!tokens)
        return error;
    if (std::any_of(tokens->begin(), tokens->end(), [&](const Token& t) { return t.name == token.name; }))
        return "a token named \"" + token.name + "\" exists already (token revoke removes it)";
    tokens->push_back(token);
    return write(*tokens);
}

long long TokenFile::stamp() const { return service_system::fileStamp(m_path); }

std::string TokenFile::revoke(const std::string& name)
{
    std::string error;
    auto tokens = load(error);
    if (!tokens)
        return error;
    const auto before = tokens->size();
    std::erase_if(*tokens, [&](const Token& t) { return t.name == name; });
    if (tokens->size() == before)
        return "no token named \"" + name + "\"";
    return write(*tokens);
}

std::string newSecret()
{
    unsigned char bytes[32];
    if (!service_system::randomBytes(bytes, sizeof bytes))
        return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string secret;
    for (const unsigned char b : bytes) {
        secret += kHex[b >> 4];
        secret += kHex[b & 0xf];
    }
    return secret;
}

TokenRegistry::TokenRegistry(TokenFile file) : m_store(std::make_shared<TokenFile>(std::move(file))) {}

TokenRegistry::TokenRegistry(std::shared_ptr<TokenStore> store) : m_store(std::move(store)) {}

void TokenRegistry::refresh()
{
    const std::time_t now = std::time(nullptr);
    if (m_loaded && now == m_checked)
        return;
    m_checked = now;
    const long long stamp = m_store->stamp();
    if (m_loaded && stamp >= 0 && stamp == m_stamp)
        return;
    std::string error;
    if (auto tokens = m_store->load(error)) {
        m_tokens = std::move(*tokens);
        m_stamp = stamp;
        m_loaded = true;
    }
}

std::optional<Token> TokenRegistry::find(const std::string& secret)
{
    if (secret.empty())
        return std::nullopt;
    const std::string digest = ordavel::sha256Hex(secret);
    const std::lock_guard lock(m_mutex);
    refresh();
    for (const Token& token : m_tokens)
        if (sameDigest(token.hash, digest))
            return token;
    return std::nullopt;
}

bool TokenRegistry::anyAllowsOrigin(const std::string& origin)
{
    const std::lock_guard lock(m_mutex);
    refresh();
    return std::any_of(m_tokens.begin(), m_tokens.end(), [&](const Token& t) { return t.allowsOrigin(origin); });
}

std::size_t TokenRegistry::count()
{
    const std::lock_guard lock(m_mutex);
    refresh();
    return m_tokens.size();
}

} // namespace ordavel::service
