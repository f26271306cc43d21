#pragma once
// A PostgreSQL connection string as a user gives it: a URI
// ("postgresql://clerk@db.shop/forms?sslmode=verify-full") or keyword=value
// pairs ("host=db.shop dbname=forms user=clerk"). The station keeps it in a
// file, and a password never goes there: it is taken out, and the server's
// password comes from the user's password file instead.

#include <string>
#include <string_view>

namespace ordavel {

struct ConnectionString {
    std::string kept;          // the string without any password
    bool hadPassword = false;  // a password was taken out
    std::string error;         // not a connection string (an unclosed quote, a URI without '//')
};

ConnectionString withoutPassword(std::string_view text);

// The connection string for messages: what withoutPassword keeps, or the
// text itself when it cannot be read (never with a password).
std::string describeConnection(std::string_view text);

} // namespace ordavel
