#pragma once
// A print to a file as the print run's queue: the pages are written to the
// file, which then holds them as printed. No job is ever waiting.

#include "print_run/spooler.h"

#include <cstdio>

namespace ordavel {

class FileSpooler : public Spooler {
public:
    explicit FileSpooler(std::string path) : m_path(std::move(path)) {}

    std::optional<std::vector<PrinterStatus>> printers() const override { return std::vector<PrinterStatus>(); }
    // The document's PDF is the file itself.
    std::unique_ptr<SpoolDocument> open(const SpoolRequest& request, std::string&) override
    {
        return std::make_unique<SpoolDocument>(request, m_path);
    }
    Submitted submit(std::unique_ptr<SpoolDocument>) override { return {0, true, {}, false}; }
    // A file whose job was cancelled is not left half written.
    void discard(std::unique_ptr<SpoolDocument> document) override { std::remove(document->pdfPath.c_str()); }
    Submitted submitFile(const SpoolRequest&, const std::string&) override { return {0, true, {}, false}; }
    std::optional<SpoolJob> job(int) const override { return std::nullopt; }
    std::optional<std::vector<SpoolJob>> jobs(bool) const override { return std::vector<SpoolJob>(); }
    bool cancel(int) override { return false; }

private:
    std::string m_path;
};

} // namespace ordavel
