#pragma once
// A std::filesystem::path of one of the program's file names (std::string).
// On POSIX systems the name's bytes are the path; on Windows the name is
// UTF-8 and the path UTF-16, which a path built from a std::string would not
// decode as UTF-8.

#include <filesystem>
#include <string>

namespace ordavel {

std::filesystem::path pathOfName(const std::string& name);

} // namespace ordavel
