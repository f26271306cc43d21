#pragma once
// The service's access tokens, in $XDG_CONFIG_HOME/ordavel/service.ini
// (~/.config when unset). A token is 32 random bytes from the system, shown
// once as 64 hex digits; the file keeps only its SHA-256, with the token's
// name and rights:
//
//   [token NAME]
//   hash=<64 hex digits>
//   origin=https://shop.example     (repeated; none: not usable from a browser)
//   printer=NAME                    (repeated; none: every printer)
//   template=NAME                   (repeated; none: every template)

#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ordavel::service {

struct Token {
    std::string name;
    std::string hash;
    std::vector<std::string> origins;
    std::vector<std::string> printers;
    std::vector<std::string> templates;

    bool allowsOrigin(const std::string& origin) const;
    bool allowsPrinter(const std::string& printer) const;
    bool allowsTemplate(const std::string& templateName) const;
};

// Where tokens are kept: a station's file, or a shop's database (one set of
// tokens for every station of the shop).
class TokenStore {
public:
    virtual ~TokenStore() = default;

    // The tokens, or nothing with `error` set when they cannot be read.
    virtual std::optional<std::vector<Token>> load(std::string& error) const = 0;

    // Adds a token with these rights and returns its secret (the only time it
    // exists outside the caller); empty with `error` set when the name is not
    // 1..64 of [A-Za-z0-9._-], is taken, an origin is not scheme://host[:port],
    // or the store cannot be written.
    std::string add(const Token& rights, std::string& error);
    // Empty on success, else why not (no such token, cannot write).
    virtual std::string revoke(const std::string& name) = 0;

    // A value that changes whenever the store does (a file's modification
    // time); -1 when there is none and the store is read again each time.
    virtual long long stamp() const { return -1; }

protected:
    // Keeps `token` (its digest set); "" or why not (its name taken, cannot write).
    virtual std::string insert(const Token& token) = 0;
};

// Reading and changing the file. Every change rewrites it whole under a
// temporary name (mode 0600) and renames it over the old one.
class TokenFile final : public TokenStore {
public:
    static std::string defaultPath();
    explicit TokenFile(std::string path = defaultPath());
    const std::string& path() const { return m_path; }

    // A missing file holds no tokens.
    std::optional<std::vector<Token>> load(std::string& error) const override;
    std::string revoke(const std::string& name) override;
    long long stamp() const override;

protected:
    std::string insert(const Token& token) override;

private:
    std::string write(const std::vector<Token>& tokens) const;
    std::string m_path;
};

// A 64 hex digit secret from the system's random source; empty when it fails.
std::string newSecret();

// The tokens a running service checks requests against. It looks at the
// store's stamp (the file's modification time) at most once a second and
// reloads it when it changed, or every second when the store has none, so
// tokens added or revoked take effect within about a second. A store that
// cannot be read keeps the tokens last read.
class TokenRegistry {
public:
    explicit TokenRegistry(TokenFile file);
    explicit TokenRegistry(std::shared_ptr<TokenStore> store);
    // The token whose secret this is, or nothing.
    std::optional<Token> find(const std::string& secret);
    // Whether any token lists this origin (preflight requests carry none).
    bool anyAllowsOrigin(const std::string& origin);
    std::size_t count();

private:
    void refresh();
    std::shared_ptr<TokenStore> m_store;
    bool m_loaded = false;
    std::mutex m_mutex;
    std::vector<Token> m_tokens;
    std::time_t m_checked = 0;
    long long m_stamp = -1;
};

} // namespace ordavel::service
