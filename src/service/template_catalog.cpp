#include "service/template_catalog.h"

#include "data/merge.h"
#include "file/file_system.h"
#include "file/template_reader.h"
#include "journal/journal.h"
#include "journal/sha256.h"
#include "model/document.h"
#include "service/service_system.h"
#include "print/print_job.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace ordavel::service {

namespace fs = std::filesystem;

namespace {

class QuietSink : public MessageSink {
public:
    MessageAnswer show(const Message& message) override
    {
        if (first.empty())
            first = message.text;
        return MessageAnswer::No;
    }
    std::string first;
};

} // namespace

bool isTemplateName(const std::string& name)
{
    if (name.empty() || name.size() > 255 || name.front() == '.' || name.find("..") != std::string::npos)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '/' || c == '\\' || byte < 0x20 || byte == 0x7f;
    });
}

std::string TemplateCatalog::defaultFolder() { return service_system::defaultTemplatesFolder(); }

TemplateCatalog::TemplateCatalog(std::string folder) : m_folder(std::move(folder)) {}

TemplateCatalog::~TemplateCatalog() = default;

void TemplateCatalog::useLibrary(std::string connection, std::string station)
{
    const std::lock_guard lock(m_libraryMutex);
    m_libraryConnection = std::move(connection);
    m_libraryStation = std::move(station);
    m_library.reset();
}

Journal* TemplateCatalog::library() const
{
    const std::lock_guard lock(m_libraryMutex);
    if (m_libraryConnection.empty() || std::chrono::steady_clock::now() < m_libraryRetry)
        return nullptr;
    if (!m_library)
        m_library = Journal::openShop(m_libraryConnection, m_libraryStation).journal;
    if (!m_library)
        libraryFailedLocked();
    return m_library.get();
}

void TemplateCatalog::libraryFailed() const
{
    const std::lock_guard lock(m_libraryMutex);
    libraryFailedLocked();
}

void TemplateCatalog::libraryFailedLocked() const
{
    // Each attempt may wait for the server's time-out: a shop that cannot be
    // reached is left alone a while, and the folder's files serve meanwhile.
    m_libraryRetry = std::chrono::steady_clock::now() + kLibraryRetry;
}

std::optional<TemplateInfo> TemplateCatalog::fromLibrary(const std::string& name) const
{
    Journal* journal = library();
    if (journal == nullptr)
        return std::nullopt;
    const std::string path = (fs::path(m_folder) / (name + ".oxf")).string();
    const auto named = [&](TemplateInfo info, int revision) {
        // Named as the folder's file would be, so that pictures beside it are found alike.
        info.name = name;
        info.path = path;
        info.libraryRevision = revision;
        return info;
    };
    // The latest revisions without their bytes first: a template loaded
    // before is not sent again.
    const auto listed = journal->libraryTemplates();
    if (!listed.ok()) {
        libraryFailed();
        return std::nullopt;
    }
    const auto latest = std::find_if(listed.value.begin(), listed.value.end(),
                                     [&](const LibraryRevision& r) { return r.name == name; });
    if (latest == listed.value.end())
        return std::nullopt;
    {
        const std::lock_guard lock(m_mutex);
        if (const auto it = m_byHash.find(latest->hash); it != m_byHash.end())
            return named(it->second, latest->revision);
    }
    auto found = journal->libraryTemplate(name);
    if (!found.ok())
        libraryFailed();
    if (!found.ok() || !found.value)
        return std::nullopt;
    std::string error;
    auto info = fromBytes(name, path, std::make_shared<const std::string>(std::move(found.value->bytes)), error);
    if (!info)
        return std::nullopt;
    return named(std::move(*info), found.value->revision.revision);
}

std::vector<std::string> TemplateCatalog::names() const
{
    std::vector<std::string> out;
    if (Journal* journal = library()) {
        const auto listed = journal->libraryTemplates();
        if (!listed.ok())
            libraryFailed();
        for (const LibraryRevision& revision : listed.value)
            if (isTemplateName(revision.name))
                out.push_back(revision.name);
    }
    std::error_code error;
    const fs::path root = fs::weakly_canonical(m_folder, error);
    for (const auto& entry : fs::directory_iterator(m_folder, error)) {
        const fs::path& path = entry.path();
        if (path.extension() != ".oxf")
            continue;
        std::error_code ignored;
        const fs::path real = fs::canonical(path, ignored);
        if (ignored || real.parent_path() != root || !fs::is_regular_file(real, ignored))
            continue;
        const std::string name = path.stem().string();
        if (isTemplateName(name))
            out.push_back(name);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::optional<TemplateInfo> TemplateCatalog::describe(const std::string& name, std::string& error) const
{
    if (!isTemplateName(name)) {
        error = "bad-template-name";
        return std::nullopt;
    }
    if (auto fromShop = fromLibrary(name))
        return fromShop;
    // The same files names() offers: regular, directly in the folder (a link
    // leading elsewhere is not one of them).
    TemplateInfo info;
    info.name = name;
    info.path = (fs::path(m_folder) / (name + ".oxf")).string();
    std::error_code failed;
    const fs::path real = fs::canonical(info.path, failed);
    if (failed || real.parent_path() != fs::weakly_canonical(m_folder, failed) || failed
        || !fs::is_regular_file(real, failed)) {
        error = "no-such-template";
        return std::nullopt;
    }
    const long long stamp = service_system::fileStamp(info.path);
    {
        const std::lock_guard lock(m_mutex);
        if (const auto it = m_cache.find(info.path); it != m_cache.end() && it->second.first == stamp)
            return it->second.second;
    }
    auto bytes = readRegularFile(info.path, kMaxTemplateBytes);
    if (!bytes) {
        error = "unreadable-template";
        return std::nullopt;
    }
    info.bytes = std::make_shared<const std::string>(std::move(*bytes));
    auto loaded = load(std::move(info), error);
    if (!loaded)
        return std::nullopt;
    const std::lock_guard lock(m_mutex);
    m_cache[loaded->path] = {stamp, *loaded};
    return loaded;
}

std::optional<TemplateInfo> TemplateCatalog::fromBytes(const std::string& name, const std::string& path,
                                                       std::shared_ptr<const std::string> bytes,
                                                       std::string& error) const
{
    const std::string hash = sha256Hex(*bytes);
    {
        const std::lock_guard lock(m_mutex);
        if (const auto it = m_byHash.find(hash); it != m_byHash.end())
            return it->second;
    }
    TemplateInfo info;
    info.name = name;
    info.path = path;
    info.bytes = std::move(bytes);
    auto loaded = load(std::move(info), error);
    if (!loaded)
        return std::nullopt;
    const std::lock_guard lock(m_mutex);
    if (m_byHash.size() >= 16)
        m_byHash.clear();
    m_byHash[hash] = *loaded;
    return loaded;
}

std::optional<TemplateInfo> TemplateCatalog::load(TemplateInfo info, std::string& error) const
{
    auto doc = std::make_shared<Document>();
    QuietSink sink;
    doc->newDocument();
    doc->setFileName(info.path);
    const bool loaded = loadDocumentFromBytes(*doc, *info.bytes, info.path, sink);
    if (!doc->page().backgroundTempPath.empty()) {
        removeFileQuietly(doc->page().backgroundTempPath);
        doc->page().backgroundTempPath.clear();
    }
    if (!loaded) {
        error = "unreadable-template";
        return std::nullopt;
    }
    if (const auto paper = paperSize(doc->page())) {
        info.widthMm = paper->widthHundredthsMm / 100.0;
        info.heightMm = paper->heightHundredthsMm / 100.0;
    }
    info.fields = templateFields(*doc);
    info.hash = sha256Hex(*info.bytes);
    info.doc = std::move(doc);
    return info;
}

} // namespace ordavel::service
