#include "data/zip_archive.h"

#include <zip.h>

namespace ordavel {

struct ZipArchive::Handle {
    zip_t* zip = nullptr;
    ~Handle()
    {
        if (zip != nullptr)
            zip_discard(zip);
    }
};

ZipArchive::ZipArchive(std::unique_ptr<Handle> handle) : m_handle(std::move(handle)) {}
ZipArchive::~ZipArchive() = default;

std::unique_ptr<ZipArchive> ZipArchive::open(std::string_view bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source == nullptr) {
        zip_error_fini(&error);
        return nullptr;
    }
    zip_t* zip = zip_open_from_source(source, ZIP_RDONLY, &error);
    zip_error_fini(&error);
    if (zip == nullptr) {
        zip_source_free(source);
        return nullptr;
    }
    auto handle = std::make_unique<Handle>();
    handle->zip = zip;
    return std::unique_ptr<ZipArchive>(new ZipArchive(std::move(handle)));
}

std::optional<std::string> ZipArchive::read(const std::string& name, std::size_t maxBytes) const
{
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(m_handle->zip, name.c_str(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)
        || stat.size > maxBytes)
        return std::nullopt;
    zip_file_t* file = zip_fopen(m_handle->zip, name.c_str(), 0);
    if (file == nullptr)
        return std::nullopt;
    std::string content(static_cast<std::size_t>(stat.size), '\0');
    std::size_t done = 0;
    while (done < content.size()) {
        const zip_int64_t got = zip_fread(file, content.data() + done, content.size() - done);
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    zip_fclose(file);
    if (done != content.size())
        return std::nullopt;
    return content;
}

} // namespace ordavel
