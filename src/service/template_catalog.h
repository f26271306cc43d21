#pragma once
// The templates a service offers: the .oxf files directly in one folder,
// each known by its file name without ".oxf". A name is never a path. On a
// station of a shop the shop's template library comes first: a name it holds
// is its latest revision, the folder's file only for names it lacks (or while
// the shop cannot be reached).

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ordavel {
class Document;
class Journal;
}

namespace ordavel::service {

// Whether `name` may name a template: not empty, at most 255 bytes, no '/',
// '\\', "..", leading '.', or control character.
bool isTemplateName(const std::string& name);

struct TemplateInfo {
    std::string name;
    std::string path;
    double widthMm = 0;  // the paper; 0 when the template sets none
    double heightMm = 0;
    std::vector<std::string> fields; // the data columns it uses, in order
    std::string hash;                // SHA-256 of the bytes read, hex
    std::shared_ptr<const std::string> bytes; // the file as read
    std::shared_ptr<const Document> doc;      // loaded from those bytes
    int libraryRevision = 0;                  // the shop library's revision it is, 0 for a file
};

class TemplateCatalog {
public:
    // $XDG_DATA_HOME/ordavel/templates (~/.local/share when unset).
    static std::string defaultFolder();
    explicit TemplateCatalog(std::string folder);
    ~TemplateCatalog();
    const std::string& folder() const { return m_folder; }
    // Takes templates from the library of the shop at `connection` first,
    // connecting as `station` when first asked (and again while it fails).
    void useLibrary(std::string connection, std::string station);

    // The library's names and the regular files "*.oxf" in the folder (links
    // to files outside it are left out), by name.
    std::vector<std::string> names() const;
    // The template's paper and fields; nothing when there is no such file or
    // it is not a readable template (`error` says which).
    std::optional<TemplateInfo> describe(const std::string& name, std::string& error) const;
    // The same for bytes kept elsewhere (a job's template in the journal),
    // whatever the file holds now; `path` names where they came from.
    std::optional<TemplateInfo> fromBytes(const std::string& name, const std::string& path,
                                          std::shared_ptr<const std::string> bytes, std::string& error) const;

private:
    std::optional<TemplateInfo> load(TemplateInfo info, std::string& error) const;
    // The shop's journal for the library; null outside a shop or while it cannot be opened.
    Journal* library() const;
    void libraryFailed() const;
    void libraryFailedLocked() const;
    static constexpr std::chrono::seconds kLibraryRetry{15};
    std::optional<TemplateInfo> fromLibrary(const std::string& name) const;

    std::string m_folder;
    // Described templates by path, with the file's modification stamp, and
    // kept bytes by hash (a few; reprints of older versions are rare).
    mutable std::mutex m_mutex;
    mutable std::map<std::string, std::pair<long long, TemplateInfo>> m_cache;
    mutable std::map<std::string, TemplateInfo> m_byHash;

    std::string m_libraryConnection; // "" outside a shop
    std::string m_libraryStation;
    mutable std::mutex m_libraryMutex;
    mutable std::unique_ptr<Journal> m_library;
    mutable std::chrono::steady_clock::time_point m_libraryRetry{}; // not asked again before
};

} // namespace ordavel::service
