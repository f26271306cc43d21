#include "service/api_request.h"

#include "data/json_source.h"
#include "service/job_json.h"
#include "service/service.h"
#include "service/template_catalog.h"

#include <algorithm>
#include <charconv>

namespace ordavel::service {

using nlohmann::json;

namespace {

ApiError wrongType(const std::string& where, const std::string& wanted)
{
    return ApiError(400, "wrong-type", where + " 应为" + wanted, {{"position", where}});
}

// The key a caller names a job by, at most 200 bytes; "" when it sent none.
Result<std::string, ApiError> parseKey(const json& body)
{
    if (!body.contains("key"))
        return std::string();
    if (!body["key"].is_string())
        return wrongType("/key", "文字");
    std::string key = body["key"].get<std::string>();
    if (key.size() > 200)
        return ApiError{400, "bad-key", "key 最长 200 字节"};
    return key;
}

ApiError noRecords() { return {400, "no-records", "没有要打印的记录"}; }

} // namespace

json errorBody(const ApiError& error)
{
    json inner = {{"code", error.code}, {"message", error.message}};
    inner.update(error.extra);
    return json{{"error", std::move(inner)}};
}

Result<json, ApiError> parseObject(const std::string& text)
{
    try {
        json body = json::parse(text);
        if (!body.is_object())
            return ApiError{400, "wrong-type", "请求内容应为一个 JSON 对象", {{"position", "/"}}};
        return body;
    } catch (const json::parse_error& e) {
        const bool utf8 = std::string(e.what()).find("UTF-8") != std::string::npos;
        return ApiError{400, utf8 ? "bad-utf8" : "bad-json",
                        (utf8 ? "请求内容不是合法的 UTF-8，位置：第 " : "请求内容不是合法的 JSON，位置：第 ")
                            + std::to_string(e.byte) + " 字节",
                        {{"position", e.byte}}};
    } catch (const json::out_of_range& e) {
        // A number too large for a double (1e999).
        const std::size_t at = overflowingNumberAt(text, e.what());
        const std::size_t byte = at == std::string::npos ? 1 : at + 1;
        return ApiError{400, "bad-json", "请求内容里的数字太大，位置：第 " + std::to_string(byte) + " 字节",
                        {{"position", byte}}};
    }
}

std::optional<ApiError> unknownField(const json& body, std::initializer_list<std::string_view> known)
{
    for (const auto& [name, value] : body.items())
        if (std::find(known.begin(), known.end(), name) == known.end())
            return ApiError{400, "unknown-field", "不认识的字段：" + name,
                            {{"position", (json::json_pointer() / name).to_string()}, {"field", name}}};
    return std::nullopt;
}

Result<RecordValues, ApiError> parseRecord(const json& value, const std::string& where)
{
    if (!value.is_object())
        return wrongType(where, "对象（列名到值）");
    RecordValues record;
    for (const auto& [column, cell] : value.items()) {
        if (cell.is_string())
            record.emplace_back(column, cell.get<std::string>());
        else if (cell.is_null())
            record.emplace_back(column, std::string());
        else if (cell.is_number() || cell.is_boolean())
            record.emplace_back(column, cell.dump());
        else
            return wrongType(where + "/" + column, "文字、数字或布尔值");
    }
    return record;
}

Result<std::string, ApiError> parseTemplateName(const json& body)
{
    if (!body.contains("template") || !body["template"].is_string())
        return wrongType("/template", "模板名称（文字）");
    std::string name = body["template"].get<std::string>();
    if (!isTemplateName(name))
        return ApiError{400, "bad-template-name", "“" + name + "”不是模板名称"};
    return name;
}

Result<NewJob, ApiError> parseJob(const json& body, std::size_t maxWaitingRecords)
{
    if (auto unknown = unknownField(body, {"key", "template", "printer", "records", "copies", "expires"}))
        return std::move(*unknown);
    NewJob job;
    auto key = parseKey(body);
    if (!key.ok())
        return key.error();
    job.key = std::move(key).value();
    // The name is only checked to be text here: whether it names a template
    // matters only once a repeated key has been looked at.
    if (!body.contains("template") || !body["template"].is_string())
        return wrongType("/template", "模板名称（文字）");
    job.templateName = body["template"].get<std::string>();
    if (body.contains("printer")) {
        if (!body["printer"].is_string())
            return wrongType("/printer", "打印机名称（文字）");
        job.printer = body["printer"].get<std::string>();
    }
    if (body.contains("copies")) {
        const json& copies = body["copies"];
        if (!copies.is_number_integer() || copies.get<long long>() < 1 || copies.get<long long>() > 999)
            return wrongType("/copies", " 1 到 999 的整数");
        job.copies = copies.get<int>();
    }
    if (body.contains("expires")) {
        const json& expires = body["expires"];
        if (!expires.is_number_integer() || expires.get<long long>() < 1)
            return wrongType("/expires", "正整数（秒）");
        job.expiresSeconds = expires.get<std::int64_t>();
    }
    if (!body.contains("records") || !body["records"].is_array())
        return wrongType("/records", "记录的数组");
    const json& records = body["records"];
    if (records.empty())
        return noRecords();
    if (records.size() > kMaxRecordsPerJob)
        return ApiError{413, "too-many-records", "一个任务最多 " + std::to_string(kMaxRecordsPerJob) + " 条记录"};
    if (auto tooLarge = tooLargeToWait(records.size(), maxWaitingRecords))
        return std::move(*tooLarge);
    for (std::size_t i = 0; i < records.size(); ++i) {
        auto record = parseRecord(records[i], "/records/" + std::to_string(i));
        if (!record.ok())
            return record.error();
        job.records.push_back(std::move(record).value());
    }
    return job;
}

Result<ReprintRequest, ApiError> parseReprint(const json& body, std::size_t storedRecords)
{
    ReprintRequest request;
    auto key = parseKey(body);
    if (!key.ok())
        return key.error();
    request.key = std::move(key).value();
    if (!body.contains("records")) {
        if (storedRecords == 0)
            return noRecords();
        return request;
    }
    const json& records = body["records"];
    if (!records.is_array())
        return wrongType("/records", "记录序号的数组");
    request.records.emplace();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const json& n = records[i];
        if (!n.is_number_integer() || n.get<long long>() < 1 || n.get<long long>() > static_cast<long long>(storedRecords))
            return wrongType("/records/" + std::to_string(i), " 1 到 " + std::to_string(storedRecords) + " 的记录序号");
        request.records->push_back(static_cast<std::size_t>(n.get<long long>() - 1));
    }
    if (request.records->empty())
        return noRecords();
    return request;
}

Result<std::time_t, ApiError> parseSince(const std::optional<std::string>& since)
{
    if (!since)
        return std::time_t(0);
    if (const auto parsed = parseIsoTime(*since))
        return *parsed;
    return ApiError{400, "bad-since",
                    "since 应为 ISO 8601 时间（如 2024-05-01T08:00:00+08:00）或 1970 年以来的秒数",
                    {{"position", "since"}}};
}

Result<PreviewQuery, ApiError> parsePreviewQuery(const std::optional<std::string>& format,
                                                 const std::optional<std::string>& dpi)
{
    PreviewQuery query;
    if (format && *format != "png" && *format != "pdf")
        return ApiError{400, "bad-format", "format 应为 png 或 pdf", {{"position", "format"}}};
    query.pdf = format && *format == "pdf";
    if (dpi) {
        const auto [end, error] = std::from_chars(dpi->data(), dpi->data() + dpi->size(), query.dpi);
        if (error != std::errc() || end != dpi->data() + dpi->size() || query.dpi < 10 || query.dpi > 600)
            return ApiError{400, "bad-dpi", "dpi 应为 10 到 600 的整数", {{"position", "dpi"}}};
    }
    return query;
}

std::optional<std::int64_t> parseJobId(std::string_view text)
{
    std::int64_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (error != std::errc() || end != text.data() + text.size() || id <= 0)
        return std::nullopt;
    return id;
}

std::optional<ApiError> tooLargeToWait(std::size_t records, std::size_t maxWaitingRecords)
{
    if (records <= maxWaitingRecords)
        return std::nullopt;
    return ApiError{413, "job-too-large",
                    "这个任务有 " + std::to_string(records) + " 条记录，超过服务最多等待的 "
                        + std::to_string(maxWaitingRecords) + " 条，请分成几个任务",
                    {{"records", records}, {"limit", maxWaitingRecords}}};
}

std::optional<ApiError> queueFull(std::size_t waiting, std::size_t adding, std::size_t maxWaitingRecords)
{
    if (waiting + adding <= maxWaitingRecords)
        return std::nullopt;
    ApiError full(429, "queue-full", "等待打印的记录已满，请稍后再试");
    full.retryAfter = "10";
    return full;
}

} // namespace ordavel::service
