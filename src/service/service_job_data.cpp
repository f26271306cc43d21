#include "service/service_job_data.h"

#include <nlohmann/json.hpp>

namespace ordavel::service {

JournalJobIn journalJobOf(const NewJob& job, const std::string& bytes, const std::string& printer, bool shopQueue)
{
    nlohmann::json service = {{"token", job.owner}, {"key", job.key}, {"expires", job.expiresSeconds}};
    if (shopQueue)
        service["queue"] = "shop";
    JournalJobIn in;
    in.program = "service";
    in.kind = job.repeats > 0 ? JournalKind::Reprint : JournalKind::Batch;
    in.printer = printer;
    in.templatePath = job.templatePath;
    in.templateName = job.templateName;
    in.templateBytes = bytes;
    in.copies = job.copies;
    in.dataSource = nlohmann::json{{"service", service}}.dump();
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

std::optional<ServiceData> serviceDataOf(const std::string& dataSource)
{
    const auto parsed = nlohmann::json::parse(dataSource, nullptr, false);
    if (!parsed.is_object() || !parsed.contains("service") || !parsed["service"].is_object())
        return std::nullopt;
    const auto& s = parsed["service"];
    ServiceData data;
    data.owner = s.value("token", "");
    data.key = s.value("key", "");
    data.expires = s.value("expires", std::int64_t{0});
    return data;
}

} // namespace ordavel::service
