#include "file/path_name.h"
#include "file/wide_names_windows.h"

namespace ordavel {

std::filesystem::path pathOfName(const std::string& name) { return std::filesystem::path(wideFromUtf8(name)); }

} // namespace ordavel
