#include "file/path_name.h"

namespace ordavel {

std::filesystem::path pathOfName(const std::string& name) { return std::filesystem::path(name); }

} // namespace ordavel
