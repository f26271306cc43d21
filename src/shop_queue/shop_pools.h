#pragma once
// The shop's pools of printers: a name for several shop printers
// ("STATION/PRINTER"), tried in order. A job sent to a pool prints on its
// first member that is published, accepting and not stopped.

#include <string>
#include <vector>

namespace ordavel::service {

struct ShopPool {
    std::string name;
    std::vector<std::string> members; // "STATION/PRINTER", in the order tried
};

// Why `name` cannot name a pool ("" when it can): one line without '/',
// neither empty nor blank at its ends.
std::string poolNameProblem(const std::string& name);
// Why `member` cannot be a pool's member ("" when it can): "STATION/PRINTER".
std::string poolMemberProblem(const std::string& member);

// Each returns "" when done, else why not. Adding a pool that exists
// replaces its members.
std::string addPool(const std::string& url, const ShopPool& pool);
std::string removePool(const std::string& url, const std::string& name);
// The pools by name; nothing with `error` set when they cannot be read.
std::vector<ShopPool> listPools(const std::string& url, std::string& error);

} // namespace ordavel::service
