// Where a Windows station keeps its shop.ini: %APPDATA%\ordavel\, read as
// UTF-16 (a profile named in Chinese), the roaming known folder when APPDATA
// is not an absolute path; and where libpq looks for its password there.
#include "shop/shop_config_folder.h"
#include "shop/shop_config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace ordavel {
namespace {

// Sets APPDATA for one test and puts it back after.
class ScopedAppData {
public:
    explicit ScopedAppData(const wchar_t* value)
    {
        if (const wchar_t* old = ::_wgetenv(L"APPDATA"))
            m_old = old;
        ::_wputenv_s(L"APPDATA", value);
    }
    ~ScopedAppData() { ::_wputenv_s(L"APPDATA", m_old ? m_old->c_str() : L""); }
    ScopedAppData(const ScopedAppData&) = delete;
    ScopedAppData& operator=(const ScopedAppData&) = delete;

private:
    std::optional<std::wstring> m_old;
};

TEST(ShopConfigFolderWindows, FollowsAppDataNamedInChineseElseTheRoamingKnownFolder)
{
    {
        const ScopedAppData appData(L"C:\\Users\\\u5f20\u4e09\\AppData\\Roaming\\");
        EXPECT_EQ(shopConfigFolder(), "C:\\Users\\张三\\AppData\\Roaming\\ordavel\\");
        EXPECT_EQ(ShopConfig().path(), "C:\\Users\\张三\\AppData\\Roaming\\ordavel\\shop.ini");
    }
    const ScopedAppData relative(L"Roaming");
    const std::string known = shopConfigFolder();
    ASSERT_GE(known.size(), 3u);
    EXPECT_EQ(known.substr(1, 2), ":\\") << known;
    const std::string roaming = "\\Roaming\\ordavel\\";
    ASSERT_GT(known.size(), roaming.size());
    EXPECT_EQ(known.substr(known.size() - roaming.size()), roaming) << "the roaming folder: " << known;
    EXPECT_EQ(std::string(passwordFileName()), "%APPDATA%\\postgresql\\pgpass.conf");
}

} // namespace
} // namespace ordavel
