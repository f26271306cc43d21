#include "service/template_catalog.h"

#include "data/merge.h"
#include "file/file_system.h"
#include "file/template_reader.h"
#include "model/document.h"
#include "print/print_job.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

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

std::string TemplateCatalog::defaultFolder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string folder;
    if (data != nullptr && data[0] == '/')
        folder = data;
    else if (const char* home = std::getenv("HOME"); home != nullptr)
        folder = std::string(home) + "/.local/share";
    else
        folder = ".local/share";
    return folder + "/ordavel/templates";
}

TemplateCatalog::TemplateCatalog(std::string folder) : m_folder(std::move(folder)) {}

std::vector<std::string> TemplateCatalog::names() const
{
    std::vector<std::string> out;
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
    return out;
}

std::optional<TemplateInfo> TemplateCatalog::describe(const std::string& name, std::string& error) const
{
    if (!isTemplateName(name)) {
        error = "bad-template-name";
        return std::nullopt;
    }
    const std::vector<std::string> all = names();
    if (std::find(all.begin(), all.end(), name) == all.end()) {
        error = "no-such-template";
        return std::nullopt;
    }
    TemplateInfo info;
    info.name = name;
    info.path = (fs::path(m_folder) / (name + ".oxf")).string();
    struct stat st {};
    const long long stamp = ::stat(info.path.c_str(), &st) == 0
        ? static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec + st.st_size
        : -1;
    {
        const std::lock_guard lock(m_mutex);
        if (const auto it = m_cache.find(info.path); it != m_cache.end() && it->second.first == stamp)
            return it->second.second;
    }
    Document doc;
    QuietSink sink;
    doc.newDocument();
    doc.setFileName(info.path);
    const bool loaded = loadDocumentFile(doc, info.path, sink).ok();
    if (!doc.page().backgroundTempPath.empty())
        removeFileQuietly(doc.page().backgroundTempPath);
    if (!loaded) {
        error = "unreadable-template";
        return std::nullopt;
    }
    if (const auto paper = paperSize(doc.page())) {
        info.widthMm = paper->widthHundredthsMm / 100.0;
        info.heightMm = paper->heightHundredthsMm / 100.0;
    }
    info.fields = templateFields(doc);
    const std::lock_guard lock(m_mutex);
    m_cache[info.path] = {stamp, info};
    return info;
}

} // namespace ordavel::service
