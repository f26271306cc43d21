#pragma once
// Pages drawn with the designer's own print code: templates read from their
// files (kept while unchanged), records merged as a batch print merges
// them, a spooler's PDF through Qt's PDF writer or its own device (the
// Windows spooler's printer) as the designer's print sets it up, previews
// as PNG pictures.

#include "service/page_maker.h"

#include <map>
#include <memory>
#include <mutex>

namespace ordavel {
class Document;
}

namespace ordavel::service {

class QtPageMaker : public PageMaker {
public:
    QtPageMaker();
    ~QtPageMaker() override;
    int draw(const std::string& printer, const std::vector<PendingRecord>& records, SpoolDocument& document,
             const std::function<bool()>& stop, std::optional<JobPaper>& paper, std::string& error) override;
    bool calibrated(const std::string& printer) override;
    std::string preview(const StoredTemplate& source, const RecordValues& record, bool pdf, int dpi,
                        std::string& error) override;
    std::vector<RecordValues> printedText(const Document& doc, const std::vector<RecordValues>& records) override;

private:
    const Document* documentOf(const StoredTemplate& source, std::string& error);
    // Drawing is one page at a time: Qt's font and PDF machinery are shared.
    std::mutex m_mutex;
    std::map<std::string, std::unique_ptr<Document>> m_documents; // by the bytes' hash
};

} // namespace ordavel::service
