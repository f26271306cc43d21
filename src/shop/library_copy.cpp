#include "shop/library_copy.h"

#include "file/file_system.h"

#include <filesystem>
#include <system_error>

namespace ordavel {

bool isLibraryName(std::string_view name)
{
    if (name.empty() || name.size() > 255 || name.front() == '.' || name.find("..") != std::string_view::npos)
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '/' || c == '\\')
            return false;
    }
    return true;
}

std::string libraryCopyFolder(const std::string& journalPath)
{
    return (std::filesystem::path(journalPath).parent_path() / "library").string();
}

LibraryCopy copyFromLibrary(Journal& shop, const std::string& name, int revision, const std::string& folder)
{
    LibraryCopy copy;
    if (!isLibraryName(name)) {
        copy.error = "“" + name + "” cannot name a file";
        return copy;
    }
    const auto found = shop.libraryTemplate(name, revision);
    if (!found.ok()) {
        copy.error = found.error;
        return copy;
    }
    if (!found.value) {
        copy.error = revision > 0 ? "the library has no revision " + std::to_string(revision) + " of “" + name + "”"
                                  : "the library has no template “" + name + "”";
        return copy;
    }
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    const std::string path = (std::filesystem::path(folder) / (name + ".oxf")).string();
    if (const FileStatus written = replaceFile(path, found.value->bytes); !written.ok()) {
        copy.error = "cannot write “" + path + "”: " + describeFileStatus(written);
        return copy;
    }
    copy.path = path;
    return copy;
}

} // namespace ordavel
