// Where a Linux station keeps its shop.ini: $XDG_CONFIG_HOME/ordavel/ when
// that is an absolute path, else ~/.config/ordavel/.
#include "shop/shop_config_folder.h"
#include "shop/shop_config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace ordavel {
namespace {

// Sets an environment variable for one test and puts it back after.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(ShopConfigFolder, FollowsAnAbsoluteXdgConfigHomeAndIgnoresARelativeOne)
{
    const ScopedVariable home("HOME", "/home/clerk");
    {
        const ScopedVariable config("XDG_CONFIG_HOME", "/srv/配置");
        EXPECT_EQ(shopConfigFolder(), "/srv/配置/ordavel/");
        EXPECT_EQ(ShopConfig().path(), "/srv/配置/ordavel/shop.ini");
    }
    {
        const ScopedVariable config("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(shopConfigFolder(), "/home/clerk/.config/ordavel/");
    }
    const ScopedVariable config("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(shopConfigFolder(), "/home/clerk/.config/ordavel/");
    EXPECT_EQ(std::string(passwordFileName()), "~/.pgpass");
}

} // namespace
} // namespace ordavel
