#include "file/picture.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace ordavel {

namespace {

// Retries before giving up on finding a free temporary name; each step means
// a file of that name already existed.
constexpr int kMaxNameTries = 100000;

std::atomic<std::uint64_t> g_tempCounter{0};

std::string hex(std::uint64_t value)
{
    char buffer[17];
    const int n = std::snprintf(buffer, sizeof buffer, "%llx", static_cast<unsigned long long>(value));
    return std::string(buffer, static_cast<std::size_t>(n));
}

} // namespace

std::string pictureExtension(std::string_view bytes)
{
    const std::string_view head = bytes.substr(0, 32);
    std::string extension;
    if (head.find("JFIF") != std::string_view::npos)
        extension = "jpg";
    if (head.find("GIF89a") != std::string_view::npos)
        extension = "gif";
    if (head.substr(0, 2) == "BM")
        extension = "bmp";
    return extension;
}

std::string createBackgroundTempFile()
{
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec)
        return {};
    const auto tick = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    std::uint64_t number = static_cast<std::uint64_t>(tick.count()) + ++g_tempCounter;
    for (int i = 0; i < kMaxNameTries; ++i, ++number) {
        const std::string path = (folder / (hex(number) + ".tmp")).string();
        const FileStatus status = createNewFile(path);
        if (status.ok())
            return path;
        if (!nameTaken(status))
            return {};
    }
    return {};
}

} // namespace ordavel
