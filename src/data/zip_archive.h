#pragma once
// Reading the members of a ZIP file held in memory (the one file that uses
// libzip, so that it can be replaced).

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ordavel {

class ZipArchive {
public:
    // Nothing when `bytes` is not a ZIP file. The bytes must outlive the archive.
    static std::unique_ptr<ZipArchive> open(std::string_view bytes);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // The uncompressed content of the member `name` (a path inside the
    // archive, no leading "/"); nothing when there is no such member, it is
    // damaged or it is larger than `maxBytes`.
    std::optional<std::string> read(const std::string& name, std::size_t maxBytes) const;

private:
    struct Handle;
    explicit ZipArchive(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> m_handle;
};

} // namespace ordavel
