// The API's requests as read into values: for each body or query a caller
// may send, what the handler gets, or the refusal exactly as the service
// answers it (status and body byte for byte).
#include "service/api_request.h"

#include <gtest/gtest.h>

#include <memory>

namespace ordavel::service {
namespace {

using nlohmann::json;

// The answer a refusal gives: its status and body as sent.
std::string answered(const ApiError& error)
{
    return std::to_string(error.status) + " " + errorBody(error).dump();
}

struct Refusal {
    const char* what;
    std::string body;
    std::string answer; // status, a space, the body
};

// A tiny job body around `records` (JSON text).
std::string jobWith(const std::string& records, const std::string& more = {})
{
    return R"({"template": "card", "records": )" + records + more + "}";
}

TEST(ApiRequest, ABodyThatIsNoJsonObjectIsRefusedAtTheByteWhereItGoesWrong)
{
    const Refusal rows[] = {
        {"cut short", R"({"template": "card", "records": [)",
         R"(400 {"error":{"code":"bad-json","message":"请求内容不是合法的 JSON，位置：第 34 字节","position":34}})"},
        {"empty", "", R"(400 {"error":{"code":"bad-json","message":"请求内容不是合法的 JSON，位置：第 1 字节","position":1}})"},
        {"bad UTF-8", "{\"template\": \"ca\xff\"}",
         R"(400 {"error":{"code":"bad-utf8","message":"请求内容不是合法的 UTF-8，位置：第 17 字节","position":17}})"},
        {"an array", "[1]", R"(400 {"error":{"code":"wrong-type","message":"请求内容应为一个 JSON 对象","position":"/"}})"},
        {"a string", R"("job")", R"(400 {"error":{"code":"wrong-type","message":"请求内容应为一个 JSON 对象","position":"/"}})"},
        {"a number no double holds", R"({"template": "card", "copies": 1e999})",
         R"(400 {"error":{"code":"bad-json","message":"请求内容里的数字太大，位置：第 32 字节","position":32}})"},
    };
    for (const Refusal& row : rows) {
        const auto parsed = parseObject(row.body);
        ASSERT_FALSE(parsed.ok()) << row.what;
        EXPECT_EQ(answered(parsed.error()), row.answer) << row.what;
    }
    const auto object = parseObject(R"( {"a": [1, "二"]} )");
    ASSERT_TRUE(object.ok());
    EXPECT_EQ(object.value(), (json{{"a", {1, "二"}}}));
}

TEST(ApiRequest, TheFirstUnknownFieldIsNamedWithItsJsonPointer)
{
    EXPECT_FALSE(unknownField(json::object(), {"key"}));
    EXPECT_FALSE(unknownField(json{{"key", 1}, {"records", 2}}, {"key", "records"}));
    const auto unknown = unknownField(json{{"zeta", 1}, {"a/b~c", 2}, {"key", 3}}, {"key"});
    ASSERT_TRUE(unknown);
    EXPECT_EQ(answered(*unknown),
              R"(400 {"error":{"code":"unknown-field","field":"a/b~c","message":"不认识的字段：a/b~c","position":"/a~1b~0c"}})");
}

// Each field of a new job in the order they are looked at: the first fault
// found is the one answered, and the limits come before the records' contents.
TEST(ApiRequest, ANewJobIsRefusedForItsFirstFaultAsTheServiceAnswersIt)
{
    const std::string one = R"([{"单号": "R1"}])";
    json many = json::parse(jobWith("[]"));
    for (int i = 0; i < 10001; ++i)
        many["records"].push_back(json::object());
    const Refusal rows[] = {
        {"unknown field", jobWith(one, R"(, "colour": "red")"),
         R"(400 {"error":{"code":"unknown-field","field":"colour","message":"不认识的字段：colour","position":"/colour"}})"},
        {"key not text", jobWith(one, R"(, "key": 7, "copies": 0)"),
         R"(400 {"error":{"code":"wrong-type","message":"/key 应为文字","position":"/key"}})"},
        {"key too long", jobWith(one, R"(, "key": ")" + std::string(201, 'k') + "\""),
         R"(400 {"error":{"code":"bad-key","message":"key 最长 200 字节"}})"},
        {"no template", R"({"records": [{"单号": "R1"}]})",
         R"(400 {"error":{"code":"wrong-type","message":"/template 应为模板名称（文字）","position":"/template"}})"},
        {"template not text", R"({"template": ["card"], "records": []})",
         R"(400 {"error":{"code":"wrong-type","message":"/template 应为模板名称（文字）","position":"/template"}})"},
        {"printer not text", jobWith(one, R"(, "printer": null)"),
         R"(400 {"error":{"code":"wrong-type","message":"/printer 应为打印机名称（文字）","position":"/printer"}})"},
        {"no copies", jobWith(one, R"(, "copies": 0)"),
         R"(400 {"error":{"code":"wrong-type","message":"/copies 应为 1 到 999 的整数","position":"/copies"}})"},
        {"too many copies", jobWith(one, R"(, "copies": 1000)"),
         R"(400 {"error":{"code":"wrong-type","message":"/copies 应为 1 到 999 的整数","position":"/copies"}})"},
        {"copies as text", jobWith(one, R"(, "copies": "2")"),
         R"(400 {"error":{"code":"wrong-type","message":"/copies 应为 1 到 999 的整数","position":"/copies"}})"},
        {"copies beyond 64 bits", jobWith(one, R"(, "copies": 18446744073709551615)"),
         R"(400 {"error":{"code":"wrong-type","message":"/copies 应为 1 到 999 的整数","position":"/copies"}})"},
        {"fractional expiry", jobWith(one, R"(, "expires": 1.5)"),
         R"(400 {"error":{"code":"wrong-type","message":"/expires 应为正整数（秒）","position":"/expires"}})"},
        {"no records", R"({"template": "card"})",
         R"(400 {"error":{"code":"wrong-type","message":"/records 应为记录的数组","position":"/records"}})"},
        {"records as one object", jobWith(R"({"单号": "R1"})"),
         R"(400 {"error":{"code":"wrong-type","message":"/records 应为记录的数组","position":"/records"}})"},
        {"empty records", jobWith("[]"), R"(400 {"error":{"code":"no-records","message":"没有要打印的记录"}})"},
        {"more than a job holds", many.dump(),
         R"(413 {"error":{"code":"too-many-records","message":"一个任务最多 10000 条记录"}})"},
        {"more than may wait", jobWith("[1, 2, 3, 4, 5, 6]"),
         R"(413 {"error":{"code":"job-too-large","limit":5,"message":"这个任务有 6 条记录，超过服务最多等待的 5 条，请分成几个任务","records":6}})"},
        {"a record not an object", jobWith(R"([{"单号": "R1"}, "R2"])"),
         R"(400 {"error":{"code":"wrong-type","message":"/records/1 应为对象（列名到值）","position":"/records/1"}})"},
        {"a nested cell", jobWith(R"([{"单号": "R1"}, {"单号": [2]}])"),
         R"(400 {"error":{"code":"wrong-type","message":"/records/1/单号 应为文字、数字或布尔值","position":"/records/1/单号"}})"},
    };
    for (const Refusal& row : rows) {
        const auto parsed = parseJob(json::parse(row.body), 5);
        ASSERT_FALSE(parsed.ok()) << row.what;
        EXPECT_EQ(answered(parsed.error()), row.answer) << row.what;
    }
}

TEST(ApiRequest, ANewJobKeepsWhatWasSentWithEveryCellAsText)
{
    const json body = json::parse(R"({"key": ")" + std::string(200, 'k') + R"(", "template": "../not checked here",
        "printer": "pdf", "copies": 999, "expires": 60,
        "records": [{"单号": "R1", "extra": "kept"}, {"n": 2.5}, {"yes": true}, {"none": null}, {}]})");
    const auto parsed = parseJob(body, 5);
    ASSERT_TRUE(parsed.ok()) << answered(parsed.error());
    const NewJob& job = parsed.value();
    EXPECT_EQ(job.key, std::string(200, 'k'));
    EXPECT_EQ(job.templateName, "../not checked here") << "a repeated key is looked at before the name";
    EXPECT_EQ(job.printer, "pdf");
    EXPECT_EQ(job.copies, 999);
    EXPECT_EQ(job.expiresSeconds, 60);
    EXPECT_TRUE(job.owner.empty());
    const std::vector<RecordValues> records{
        {{"extra", "kept"}, {"单号", "R1"}}, {{"n", "2.5"}}, {{"yes", "true"}}, {{"none", ""}}, {}};
    EXPECT_EQ(job.records, records);

    const auto plain = parseJob(json::parse(jobWith(R"([{"单号": "R1"}])")), 1);
    ASSERT_TRUE(plain.ok()) << "as many records as may wait";
    EXPECT_EQ(plain.value().copies, 1);
    EXPECT_EQ(plain.value().expiresSeconds, 0);
    EXPECT_TRUE(plain.value().key.empty());
    EXPECT_TRUE(plain.value().printer.empty());
}

TEST(ApiRequest, ATemplateIsNamedByAFileNameNeverAPath)
{
    const auto good = parseTemplateName(json{{"template", "运单 2"}});
    ASSERT_TRUE(good.ok());
    EXPECT_EQ(good.value(), "运单 2");
    const auto path = parseTemplateName(json{{"template", "../card"}});
    ASSERT_FALSE(path.ok());
    EXPECT_EQ(answered(path.error()), R"(400 {"error":{"code":"bad-template-name","message":"“../card”不是模板名称"}})");
    const auto missing = parseTemplateName(json::object());
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().code, "wrong-type");
}

TEST(ApiRequest, AReprintPicksAmongTheStoredRecordsByTheirNumbers)
{
    const Refusal rows[] = {
        {"key not text", R"({"key": false, "records": "all"})",
         R"(400 {"error":{"code":"wrong-type","message":"/key 应为文字","position":"/key"}})"},
        {"records not an array", R"({"records": {"1": true}})",
         R"(400 {"error":{"code":"wrong-type","message":"/records 应为记录序号的数组","position":"/records"}})"},
        {"number 0", R"({"records": [1, 0]})",
         R"(400 {"error":{"code":"wrong-type","message":"/records/1 应为 1 到 3 的记录序号","position":"/records/1"}})"},
        {"past the last", R"({"records": [4]})",
         R"(400 {"error":{"code":"wrong-type","message":"/records/0 应为 1 到 3 的记录序号","position":"/records/0"}})"},
        {"number as text", R"({"records": ["1"]})",
         R"(400 {"error":{"code":"wrong-type","message":"/records/0 应为 1 到 3 的记录序号","position":"/records/0"}})"},
        {"none picked", R"({"records": []})", R"(400 {"error":{"code":"no-records","message":"没有要打印的记录"}})"},
    };
    for (const Refusal& row : rows) {
        const auto parsed = parseReprint(json::parse(row.body), 3);
        ASSERT_FALSE(parsed.ok()) << row.what;
        EXPECT_EQ(answered(parsed.error()), row.answer) << row.what;
    }

    const auto all = parseReprint(json::object(), 3);
    ASSERT_TRUE(all.ok());
    EXPECT_FALSE(all.value().records) << "no numbers: every record";
    const auto picked = parseReprint(json{{"key", "again"}, {"records", {3, 1, 3}}}, 3);
    ASSERT_TRUE(picked.ok());
    EXPECT_EQ(picked.value().key, "again");
    EXPECT_EQ(picked.value().records, (std::vector<std::size_t>{2, 0, 2}));
    // A job whose records the journal no longer has reprints nothing.
    const auto nothing = parseReprint(json::object(), 0);
    ASSERT_FALSE(nothing.ok());
    EXPECT_EQ(nothing.error().code, "no-records");
}

TEST(ApiRequest, QueriesAreReadOrRefusedWithTheParameterNamed)
{
    EXPECT_EQ(parseSince(std::nullopt).value(), 0);
    EXPECT_EQ(parseSince("2024-05-01T08:00:00+08:00").value(), 1714521600);
    const auto since = parseSince("yesterday");
    ASSERT_FALSE(since.ok());
    EXPECT_EQ(answered(since.error()),
              R"(400 {"error":{"code":"bad-since","message":"since 应为 ISO 8601 时间（如 2024-05-01T08:00:00+08:00）或 1970 年以来的秒数","position":"since"}})");

    struct Row {
        std::optional<std::string> format, dpi;
        std::string answer; // "pdf 300" when read
    };
    const std::string badFormat = R"(400 {"error":{"code":"bad-format","message":"format 应为 png 或 pdf","position":"format"}})";
    const std::string badDpi = R"(400 {"error":{"code":"bad-dpi","message":"dpi 应为 10 到 600 的整数","position":"dpi"}})";
    const Row rows[] = {
        {std::nullopt, std::nullopt, "png 96"}, {"pdf", "600", "pdf 600"}, {"png", "10", "png 10"},
        {"PNG", std::nullopt, badFormat},       {"", std::nullopt, badFormat}, {"jpg", "x", badFormat},
        {std::nullopt, "9", badDpi},            {"pdf", "601", badDpi},        {std::nullopt, "", badDpi},
        {std::nullopt, "72.0", badDpi},         {std::nullopt, "-96", badDpi}, {std::nullopt, "99999999999", badDpi},
    };
    for (const Row& row : rows) {
        const auto query = parsePreviewQuery(row.format, row.dpi);
        const std::string got = query.ok()
            ? std::string(query.value().pdf ? "pdf " : "png ") + std::to_string(query.value().dpi)
            : answered(query.error());
        EXPECT_EQ(got, row.answer) << row.format.value_or("-") << " " << row.dpi.value_or("-");
    }

    EXPECT_EQ(parseJobId("1"), 1);
    EXPECT_EQ(parseJobId("007"), 7);
    EXPECT_EQ(parseJobId("9223372036854775807"), 9223372036854775807);
    for (const char* bad : {"", "0", "9223372036854775808", "1x", "-1"})
        EXPECT_FALSE(parseJobId(bad)) << bad;
}

// The limits on waiting records, at their edges.
TEST(ApiRequest, AJobWaitsOnlyWhileItFitsBesideTheRecordsAlreadyWaiting)
{
    EXPECT_FALSE(tooLargeToWait(5, 5));
    ASSERT_TRUE(tooLargeToWait(6, 5));
    EXPECT_EQ(tooLargeToWait(6, 5)->status, 413);

    EXPECT_FALSE(queueFull(0, 5, 5));
    EXPECT_FALSE(queueFull(3, 2, 5));
    const auto full = queueFull(3, 3, 5);
    ASSERT_TRUE(full);
    EXPECT_EQ(answered(*full), R"(429 {"error":{"code":"queue-full","message":"等待打印的记录已满，请稍后再试"}})");
    EXPECT_EQ(full->retryAfter, "10");
}

TEST(Result, HoldsEitherAValueOrAnErrorAndGivesAValueUp)
{
    Result<std::unique_ptr<int>, std::string> made(std::make_unique<int>(7));
    ASSERT_TRUE(made.ok());
    EXPECT_EQ(*made.value(), 7);
    const std::unique_ptr<int> taken = std::move(made).value();
    EXPECT_EQ(*taken, 7);

    const Result<std::unique_ptr<int>, std::string> failed(std::string("no"));
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error(), "no");
    EXPECT_THROW((void)failed.value(), std::bad_variant_access);
}

} // namespace
} // namespace ordavel::service
