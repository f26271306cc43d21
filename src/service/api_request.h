#pragma once
// The API's requests read into values, apart from answering them: each
// reader gives what the request asks for, or the error the service answers
// with (its status, code, message and further members), so that the
// handlers only act and every refusal can be checked on its own.

#include "model/result.h"
#include "service/job_queue.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ordavel::service {

// A refusal as the API answers it: {"error": {"code", "message", ...extra}}.
struct ApiError {
    ApiError(int httpStatus, std::string errorCode, std::string text, nlohmann::json more = nlohmann::json::object())
        : status(httpStatus), code(std::move(errorCode)), message(std::move(text)), extra(std::move(more))
    {
    }

    int status;
    std::string code;
    std::string message;
    nlohmann::json extra;   // more members of "error", such as "position"
    std::string retryAfter; // the Retry-After header, "" for none
};

// The answer's body: {"error": {"code", "message"} with `extra` merged in}.
nlohmann::json errorBody(const ApiError& error);

// A request body that must be one JSON object: the byte where it stops being
// JSON or UTF-8 is named otherwise.
Result<nlohmann::json, ApiError> parseObject(const std::string& text);
// The first member of `body` the request does not know, as `unknown-field`,
// so that a misspelt field is not silently left out; nothing when all known.
std::optional<ApiError> unknownField(const nlohmann::json& body, std::initializer_list<std::string_view> known);

// A data record: strings as they are, numbers and booleans as JSON writes
// them, null as empty; `where` is its position in the body ("/records/0").
Result<RecordValues, ApiError> parseRecord(const nlohmann::json& value, const std::string& where);

// The template a body names, a name and not a path.
Result<std::string, ApiError> parseTemplateName(const nlohmann::json& body);

// A new job as POST /v1/jobs sends it: its key, template name (as sent),
// printer ("" for the default), copies, expiry and records as sent (all
// their columns). `maxWaitingRecords` bounds a job that could never wait.
Result<NewJob, ApiError> parseJob(const nlohmann::json& body, std::size_t maxWaitingRecords);

// What POST /v1/jobs/{id}/reprint asks: a key, and which of the job's
// `storedRecords` records (0-based) to print again, or all when nothing.
struct ReprintRequest {
    std::string key;
    std::optional<std::vector<std::size_t>> records;
};
Result<ReprintRequest, ApiError> parseReprint(const nlohmann::json& body, std::size_t storedRecords);

// GET /v1/jobs?since=: the time from which jobs are listed, 0 without one.
Result<std::time_t, ApiError> parseSince(const std::optional<std::string>& since);

// POST /v1/preview?format=&dpi=: PNG at 96 dpi unless asked otherwise.
struct PreviewQuery {
    bool pdf = false;
    int dpi = 96;
};
Result<PreviewQuery, ApiError> parsePreviewQuery(const std::optional<std::string>& format,
                                                 const std::optional<std::string>& dpi);

// A job's number as a path gives it; nothing unless a positive integer.
std::optional<std::int64_t> parseJobId(std::string_view text);

// A job of `records` records that could never wait, since more than
// `maxWaitingRecords` may never wait at once.
std::optional<ApiError> tooLargeToWait(std::size_t records, std::size_t maxWaitingRecords);
// A job of `adding` records that does not fit beside the `waiting` ones now.
std::optional<ApiError> queueFull(std::size_t waiting, std::size_t adding, std::size_t maxWaitingRecords);

} // namespace ordavel::service
