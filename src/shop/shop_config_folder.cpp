#include "shop/shop_config_folder.h"

#include <cstdlib>

namespace ordavel {

std::string shopConfigFolder()
{
    // A relative XDG_CONFIG_HOME is to be ignored, as the XDG rules say.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/ordavel/";
    if (const char* home = std::getenv("HOME"); home != nullptr)
        return std::string(home) + "/.config/ordavel/";
    return ".config/ordavel/";
}

const char* passwordFileName() { return "~/.pgpass"; }

} // namespace ordavel
