#include "service/service_job_data.h"

namespace ordavel::service {

JournalJobIn journalJobOf(const NewJob& job, const std::string& bytes, const std::string& printer,
                          const std::string& dataSource)
{
    JournalJobIn in;
    in.program = "service";
    in.kind = job.repeats > 0 ? JournalKind::Reprint : JournalKind::Batch;
    in.printer = printer;
    in.templatePath = job.templatePath;
    in.templateName = job.templateName;
    in.templateBytes = bytes;
    in.copies = job.copies;
    in.dataSource = dataSource;
    in.repeats = job.repeats;
    in.libraryRevision = job.libraryRevision;
    for (std::size_t i = 0; i < job.records.size(); ++i) {
        JournalRecordIn record;
        record.number = static_cast<int>(i) + 1;
        record.copies = job.copies;
        for (const auto& [column, value] : job.records[i])
            record.columns.push_back({column, value});
        if (i < job.printed.size())
            for (const auto& [box, text] : job.printed[i])
                record.fields.push_back({box, text});
        in.records.push_back(std::move(record));
    }
    return in;
}

} // namespace ordavel::service
