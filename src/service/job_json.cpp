#include "service/job_json.h"

namespace ordavel::service {

std::string isoTime(std::time_t when)
{
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

nlohmann::json jobJson(const JobSummary& job)
{
    nlohmann::json records = nlohmann::json::array();
    for (const auto& r : job.records) {
        nlohmann::json record = {{"n", r.n}, {"state", outcomeName(r.outcome)}};
        record["cupsJob"] = r.cupsJob > 0 ? nlohmann::json(r.cupsJob) : nlohmann::json(nullptr);
        records.push_back(std::move(record));
    }
    nlohmann::json out = {{"id", job.id},
                          {"key", job.key},
                          {"state", outcomeName(job.outcome)},
                          {"template", job.templateName},
                          {"printer", job.printer},
                          {"copies", job.copies},
                          {"created", isoTime(job.created)},
                          {"records", std::move(records)},
                          {"reason", job.reason}};
    if (job.expiresSeconds > 0)
        out["expires"] = job.expiresSeconds;
    if (job.repeats > 0)
        out["repeats"] = job.repeats;
    return out;
}

} // namespace ordavel::service
