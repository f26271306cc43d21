#pragma once
// What the print service asks of the system: where its tokens and templates
// live by default, a file's change stamp, writing a file only its user can
// read, and random bytes for secrets. service_system.cpp is the POSIX
// version, service_system_windows.cpp the Windows one. Paths are UTF-8.

#include <cstddef>
#include <string>

namespace ordavel::service::service_system {

// The tokens file: $XDG_CONFIG_HOME/ordavel/service.ini (~/.config by
// default); on Windows %APPDATA%\ordavel\service.ini.
std::string defaultTokenFile();
// The templates folder: $XDG_DATA_HOME/ordavel/templates (~/.local/share by
// default); on Windows %APPDATA%\ordavel\templates.
std::string defaultTemplatesFolder();
// A number that changes whenever the file at `path` is modified or
// replaced (its time, size and identity mixed); 0 when there is no file.
long long fileStamp(const std::string& path);
// Replaces the file at `path` with `bytes` through a temporary beside it,
// flushed before it is renamed, readable by its user only (mode 0600; on
// Windows the user's own profile folder keeps it private). Creates the
// folder. "" on success, else why not.
std::string writePrivateFile(const std::string& path, const std::string& bytes);
// Fills `out` with `size` bytes from the system's secure random source;
// false when it gives none.
bool randomBytes(unsigned char* out, std::size_t size);

} // namespace ordavel::service::service_system
