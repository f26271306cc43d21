#include "service/service.h"

#include "data/field_text.h"
#include "model/document.h"
#include "service/job_json.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <set>
#include <sys/socket.h>

namespace ordavel::service {

using nlohmann::json;

namespace {

void sendError(httplib::Response& res, int status, const std::string& code, const std::string& message,
               json extra = json::object())
{
    json error = {{"code", code}, {"message", message}};
    error.update(extra);
    res.status = status;
    res.set_content(json{{"error", error}}.dump(), "application/json; charset=utf-8");
}

void sendJson(httplib::Response& res, int status, const json& body)
{
    res.status = status;
    res.set_content(body.dump(), "application/json; charset=utf-8");
}

std::string bearerOf(const httplib::Request& req)
{
    const std::string header = req.get_header_value("Authorization");
    const std::string prefix = "Bearer ";
    if (header.size() <= prefix.size() || header.compare(0, prefix.size(), prefix) != 0)
        return {};
    return header.substr(prefix.size());
}

// The body as JSON; nothing after answering 400 with the byte where it
// stops being JSON or UTF-8.
std::optional<json> parseBody(const httplib::Request& req, httplib::Response& res)
{
    try {
        json body = json::parse(req.body);
        if (!body.is_object()) {
            sendError(res, 400, "wrong-type", "请求内容应为一个 JSON 对象", {{"position", "/"}});
            return std::nullopt;
        }
        return body;
    } catch (const json::parse_error& e) {
        const bool utf8 = std::string(e.what()).find("UTF-8") != std::string::npos;
        sendError(res, 400, utf8 ? "bad-utf8" : "bad-json",
                  (utf8 ? "请求内容不是合法的 UTF-8，位置：第 " : "请求内容不是合法的 JSON，位置：第 ")
                      + std::to_string(e.byte) + " 字节",
                  {{"position", e.byte}});
        return std::nullopt;
    }
}

void wrongType(httplib::Response& res, const std::string& where, const std::string& wanted)
{
    sendError(res, 400, "wrong-type", where + " 应为" + wanted, {{"position", where}});
}

// A record's values as text: strings as they are, numbers and booleans as
// JSON writes them, null as empty. Nothing after answering 400 for anything else.
std::optional<RecordValues> recordOf(const json& value, const std::string& where, httplib::Response& res)
{
    if (!value.is_object()) {
        wrongType(res, where, "对象（列名到值）");
        return std::nullopt;
    }
    RecordValues record;
    for (const auto& [column, cell] : value.items()) {
        if (cell.is_string())
            record.emplace_back(column, cell.get<std::string>());
        else if (cell.is_null())
            record.emplace_back(column, std::string());
        else if (cell.is_number() || cell.is_boolean())
            record.emplace_back(column, cell.dump());
        else {
            wrongType(res, where + "/" + column, "文字、数字或布尔值");
            return std::nullopt;
        }
    }
    return record;
}

std::vector<std::string> missingColumns(const std::vector<std::string>& fields, const RecordValues& record)
{
    std::vector<std::string> missing;
    for (const auto& field : fields)
        if (std::none_of(record.begin(), record.end(), [&](const auto& cell) { return cell.first == field; }))
            missing.push_back(field);
    return missing;
}

// The columns the template uses, in its order, with the record's values:
// what is printed and kept; other columns the caller sent are left out.
RecordValues usedColumns(const std::vector<std::string>& fields, const RecordValues& record)
{
    RecordValues used;
    for (const auto& field : fields)
        for (const auto& cell : record)
            if (cell.first == field) {
                used.push_back(cell);
                break;
            }
    return used;
}

std::string joined(const std::vector<std::string>& names)
{
    std::string out;
    for (const auto& name : names)
        out += (out.empty() ? "" : "、") + name;
    return out;
}

// "since" as seconds since 1970 or as "YYYY-MM-DDTHH:MM:SSZ"; -1 when neither.
std::time_t parseSince(const std::string& text)
{
    long long seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error == std::errc() && end == text.data() + text.size() && seconds >= 0)
        return static_cast<std::time_t>(seconds);
    std::tm tm{};
    const char* rest = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &tm);
    if (rest == nullptr || (*rest != '\0' && std::string(rest) != "Z"))
        return -1;
    return timegm(&tm);
}

std::optional<std::int64_t> idOf(const httplib::Request& req)
{
    std::int64_t id = 0;
    const std::string text = req.matches[1];
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (error != std::errc() || end != text.data() + text.size() || id <= 0)
        return std::nullopt;
    return id;
}

} // namespace

struct Service::Caller {
    Token token;
    std::string origin; // "" when the request carries none
};

Service::Service(ServiceOptions options, JobQueue& queue, PageMaker& pages)
    : m_options(std::move(options)),
      m_queue(queue),
      m_pages(pages),
      m_tokens(TokenFile(m_options.tokenFile)),
      m_catalog(m_options.templatesFolder),
      m_dispatcher(queue, pages, m_events, m_options.scratchFolder)
{
}

Service::~Service() { stop(); }

std::string Service::start()
{
    int port = m_options.port;
    std::string failures;
    for (const std::string& address : m_options.addresses) {
        auto server = std::make_unique<httplib::Server>();
        install(*server);
        int listening = -1;
        server->set_socket_options([&listening](socket_t sock) {
            httplib::default_socket_options(sock);
            listening = sock;
        });
        bool bound = false;
        if (port == 0) {
            port = server->bind_to_any_port(address);
            bound = port > 0;
        } else {
            bound = server->bind_to_port(address, port);
        }
        // The library listens with a backlog of 5: twenty clients connecting
        // at once overflow it, and a connection whose handshake the kernel
        // dropped can come through so late that the request is timed out
        // unanswered. Listening again sets a deeper backlog.
        if (bound && listening >= 0)
            ::listen(listening, kListenBacklog);
        server->set_socket_options(httplib::default_socket_options);
        if (!bound) {
            failures += (failures.empty() ? "" : "; ") + std::string("cannot listen on ") + address + " port "
                + std::to_string(port == 0 ? m_options.port : port);
            if (port < 0)
                port = 0;
            continue;
        }
        m_bound.push_back(address);
        m_servers.push_back(std::move(server));
    }
    if (m_servers.empty())
        return failures.empty() ? std::string("no address to listen on") : failures;
    m_port = port;
    m_dispatcher.start();
    for (auto& server : m_servers)
        m_threads.emplace_back([s = server.get()] { s->listen_after_bind(); });
    m_started = true;
    return {};
}

void Service::stop()
{
    if (!m_started)
        return;
    m_started = false;
    m_events.close();
    for (auto& server : m_servers)
        server->stop();
    for (auto& thread : m_threads)
        thread.join();
    m_threads.clear();
    m_dispatcher.stop();
}

void Service::install(httplib::Server& server)
{
    server.new_task_queue = [] { return new httplib::ThreadPool(kMaxEventStreams + 16); };
    server.set_payload_max_length(kMaxBodyBytes);
    server.set_read_timeout(m_options.readTimeoutSeconds, 0);
    server.set_write_timeout(m_options.readTimeoutSeconds, 0);
    server.set_keep_alive_timeout(m_options.readTimeoutSeconds);
    server.set_keep_alive_max_count(1000);
    server.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty())
            return httplib::Server::HandlerResponse::Unhandled;
        if (res.status == 413)
            sendError(res, 413, "too-large", "请求内容超过 16 MB");
        else if (res.status == 404)
            sendError(res, 404, "not-found", "没有这个接口");
        else
            sendError(res, res.status, "bad-request", "请求无法处理");
        return httplib::Server::HandlerResponse::Handled;
    }));
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        sendError(res, 500, "internal", "服务内部出错");
    });
    const auto bind = [this](void (Service::*handler)(const httplib::Request&, httplib::Response&)) {
        return [this, handler](const httplib::Request& req, httplib::Response& res) { (this->*handler)(req, res); };
    };
    server.Get("/v1/info", bind(&Service::info));
    server.Get("/v1/client.js", bind(&Service::clientScript));
    server.Get("/v1/printers", bind(&Service::printers));
    server.Get("/v1/templates", bind(&Service::templates));
    server.Post("/v1/jobs", bind(&Service::postJob));
    server.Get("/v1/jobs", bind(&Service::listJobs));
    server.Get(R"(/v1/jobs/([0-9]+))", bind(&Service::getJob));
    server.Post(R"(/v1/jobs/([0-9]+)/cancel)", bind(&Service::cancelJob));
    server.Post(R"(/v1/jobs/([0-9]+)/reprint)", bind(&Service::reprintJob));
    server.Post("/v1/preview", bind(&Service::preview));
    server.Get("/v1/events", bind(&Service::events));
    server.Options(R"(/v1/.*)", bind(&Service::preflight));
}

// Token first, then the origin: a request with an Origin header is served
// only when the token lists that origin exactly. Responses name an origin in
// their CORS headers only when it is allowed.
bool Service::admit(const httplib::Request& req, httplib::Response& res, Caller& caller)
{
    caller.origin = req.get_header_value("Origin");
    if (!caller.origin.empty() && m_tokens.anyAllowsOrigin(caller.origin)) {
        res.set_header("Access-Control-Allow-Origin", caller.origin);
        res.set_header("Vary", "Origin");
    }
    const auto token = m_tokens.find(bearerOf(req));
    if (!token) {
        sendError(res, 401, "unauthorized", "缺少有效的访问令牌");
        return false;
    }
    if (!caller.origin.empty() && !token->allowsOrigin(caller.origin)) {
        res.headers.erase("Access-Control-Allow-Origin");
        sendError(res, 403, "origin-not-allowed", "此令牌不允许来源 " + caller.origin + " 使用");
        return false;
    }
    caller.token = *token;
    return true;
}

void Service::preflight(const httplib::Request& req, httplib::Response& res)
{
    const std::string origin = req.get_header_value("Origin");
    if (origin.empty() || !m_tokens.anyAllowsOrigin(origin)) {
        sendError(res, 403, "origin-not-allowed", "来源 " + origin + " 不允许使用此服务");
        return;
    }
    res.status = 204;
    res.set_header("Access-Control-Allow-Origin", origin);
    res.set_header("Vary", "Origin");
    res.set_header("Access-Control-Allow-Methods", "GET, POST, OPTIONS");
    res.set_header("Access-Control-Allow-Headers", "Authorization, Content-Type");
    res.set_header("Access-Control-Max-Age", "600");
    if (req.has_header("Access-Control-Request-Private-Network"))
        res.set_header("Access-Control-Allow-Private-Network", "true");
}

void Service::info(const httplib::Request& req, httplib::Response& res)
{
    const std::string origin = req.get_header_value("Origin");
    if (!origin.empty() && m_tokens.anyAllowsOrigin(origin)) {
        res.set_header("Access-Control-Allow-Origin", origin);
        res.set_header("Vary", "Origin");
    }
    sendJson(res, 200, {{"name", "ordavel"}, {"version", m_options.version}, {"api", 1}});
}

// The same public module for every page, whatever its origin: it holds no
// secret, and a page that loaded it can tell a refused origin from a service
// that is not there. The API calls it makes are admitted as any others.
void Service::clientScript(const httplib::Request&, httplib::Response& res)
{
    res.set_header("Access-Control-Allow-Origin", "*");
    res.set_header("Cache-Control", "no-cache");
    res.set_content(kClientScript, "text/javascript; charset=utf-8");
}

void Service::printers(const httplib::Request& req, httplib::Response& res)
{
    Caller caller;
    if (!admit(req, res, caller))
        return;
    json out = json::array();
    for (const PrinterStatus& p : m_dispatcher.printers()) {
        if (!caller.token.allowsPrinter(p.name))
            continue;
        out.push_back({{"name", p.name},
                       {"default", p.isDefault},
                       {"calibrated", m_pages.calibrated(p.name)},
                       {"state", p.state},
                       {"accepting", p.accepting}});
    }
    sendJson(res, 200, out);
}

namespace {

// The fields a multi-line text box or a wrapping label shows: a form takes
// them as several lines.
std::vector<std::string> multiLineFields(const Document& doc)
{
    std::vector<std::string> names;
    const auto add = [&names](const std::string& name) {
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    };
    for (int index = 1; index <= doc.slotCount(); ++index) {
        const Box& box = doc.box(index);
        const bool multiLine = (box.type == BoxType::EditBox && box.attributes.multiLine)
            || (box.type == BoxType::Label && box.attributes.wordWrap);
        if (!box.inUse || !multiLine)
            continue;
        for (const auto& name : placeholderNames(box.attributes.text))
            add(name);
        if (!box.dataField.empty())
            add(box.dataField);
    }
    return names;
}

} // namespace

void Service::templates(const httplib::Request& req, httplib::Response& res)
{
    Caller caller;
    if (!admit(req, res, caller))
        return;
    json out = json::array();
    for (const std::string& name : m_catalog.names()) {
        if (!caller.token.allowsTemplate(name))
            continue;
        std::string error;
        const auto info = m_catalog.describe(name, error);
        if (!info)
            continue;
        json entry = {{"name", info->name}, {"paper", {info->widthMm, info->heightMm}}, {"fields", info->fields}};
        if (const auto multiLine = multiLineFields(*info->doc); !multiLine.empty())
            entry["multiline"] = multiLine;
        out.push_back(std::move(entry));
    }
    sendJson(res, 200, out);
}

namespace {

// The template a request names, checked against the token's rights; nothing
// after answering 400, 403 or 404.
std::optional<TemplateInfo> templateFor(const TemplateCatalog& catalog, const Token& token, const json& body,
                                        httplib::Response& res)
{
    if (!body.contains("template") || !body["template"].is_string()) {
        wrongType(res, "/template", "模板名称（文字）");
        return std::nullopt;
    }
    const std::string name = body["template"].get<std::string>();
    if (!isTemplateName(name)) {
        sendError(res, 400, "bad-template-name", "“" + name + "”不是模板名称");
        return std::nullopt;
    }
    if (!token.allowsTemplate(name)) {
        sendError(res, 403, "not-allowed", "此令牌不能使用模板“" + name + "”");
        return std::nullopt;
    }
    std::string error;
    auto info = catalog.describe(name, error);
    if (!info) {
        if (error == "unreadable-template")
            sendError(res, 422, "unreadable-template", "模板“" + name + "”无法读取");
        else
            sendError(res, 404, "no-such-template", "没有名为“" + name + "”的模板");
    }
    return info;
}

} // namespace

void Service::postJob(const httplib::Request& req, httplib::Response& res)
{
    Caller caller;
    if (!admit(req, res, caller))
        return;
    const auto body = parseBody(req, res);
    if (!body)
        return;
    NewJob job;
    job.owner = caller.token.name;
    if (body->contains("key")) {
        if (!(*body)["key"].is_string())
            return wrongType(res, "/key", "文字");
        job.key = (*body)["key"].get<std::string>();
        if (job.key.size() > 200)
            return sendError(res, 400, "bad-key", "key 最长 200 字节");
        if (!job.key.empty())
            if (const auto first = m_queue.findByKey(job.owner, job.key))
                return sendJson(res, 200, jobJson(*first));
    }
    const auto info = templateFor(m_catalog, caller.token, *body, res);
    if (!info)
        return;
    job.templateName = info->name;
    job.templatePath = info->path;
    job.templateBytes = info->bytes;

    if (body->contains("printer")) {
        if (!(*body)["printer"].is_string())
            return wrongType(res, "/printer", "打印机名称（文字）");
        job.printer = (*body)["printer"].get<std::string>();
    }
    const auto printers = m_dispatcher.printers(job.printer);
    if (job.printer.empty()) {
        for (const auto& p : printers)
            if (p.isDefault)
                job.printer = p.name;
        if (job.printer.empty())
            return sendError(res, 404, "no-such-printer", "没有默认打印机，请指定 printer");
    }
    if (!caller.token.allowsPrinter(job.printer))
        return sendError(res, 403, "not-allowed", "此令牌不能使用打印机“" + job.printer + "”");
    if (std::none_of(printers.begin(), printers.end(), [&](const PrinterStatus& p) { return p.name == job.printer; }))
        return sendError(res, 404, "no-such-printer", "没有名为“" + job.printer + "”的打印机");

    if (body->contains("copies")) {
        const json& copies = (*body)["copies"];
        if (!copies.is_number_integer() || copies.get<long long>() < 1 || copies.get<long long>() > 999)
            return wrongType(res, "/copies", " 1 到 999 的整数");
        job.copies = copies.get<int>();
    }
    if (body->contains("expires")) {
        const json& expires = (*body)["expires"];
        if (!expires.is_number_integer() || expires.get<long long>() < 1)
            return wrongType(res, "/expires", "正整数（秒）");
        job.expiresSeconds = expires.get<std::int64_t>();
    }
    if (!body->contains("records") || !(*body)["records"].is_array())
        return wrongType(res, "/records", "记录的数组");
    const json& records = (*body)["records"];
    if (records.empty())
        return sendError(res, 400, "no-records", "没有要打印的记录");
    if (records.size() > kMaxRecordsPerJob)
        return sendError(res, 413, "too-many-records",
                         "一个任务最多 " + std::to_string(kMaxRecordsPerJob) + " 条记录");
    for (std::size_t i = 0; i < records.size(); ++i) {
        auto record = recordOf(records[i], "/records/" + std::to_string(i), res);
        if (!record)
            return;
        if (const auto missing = missingColumns(info->fields, *record); !missing.empty())
            return sendError(res, 400, "missing-columns",
                             "第 " + std::to_string(i + 1) + " 条记录缺少列：" + joined(missing),
                             {{"record", i + 1}, {"columns", missing}});
        job.records.push_back(usedColumns(info->fields, *record));
    }
    job.printed = m_pages.printedText(*info->doc, job.records);
    if (m_queue.waitingRecords() + job.records.size() > m_options.maxWaitingRecords) {
        res.set_header("Retry-After", "10");
        return sendError(res, 429, "queue-full", "等待打印的记录已满，请稍后再试");
    }
    std::string error;
    const auto submitted = m_queue.submit(job, error);
    if (!submitted)
        return sendError(res, 503, "journal-unavailable", "无法记录任务：" + error);
    if (!submitted->created) {
        if (const auto first = m_queue.find(submitted->id))
            return sendJson(res, 200, jobJson(*first));
    }
    m_dispatcher.wake();
    m_dispatcher.announce(submitted->id);
    sendJson(res, 201, {{"id", submitted->id}, {"state", "queued"}, {"records", job.records.size()}});
}

std::optional<JobSummary> Service::callersJob(const httplib::Request& req, httplib::Response& res, Caller& caller)
{
    if (!admit(req, res, caller))
        return std::nullopt;
    const auto id = idOf(req);
    auto job = id ? m_queue.find(*id) : std::nullopt;
    if (!job || job->owner != caller.token.name) {
        sendError(res, 404, "no-such-job", "没有这个任务");
        return std::nullopt;
    }
    return job;
}

void Service::getJob(const httplib::Request& req, httplib::Response& res)
{
    Caller caller;
    const auto job = callersJob(req, res, caller);
    if (!job)
        return;
    sendJson(res, 200, jobJson(*job));
}

void Service::listJobs(const httplib::Request& req, httplib::Response& res)
{
    Caller caller;
    if (!admit(req, res, caller))
        return;
    std::time_t since = 0;
    if (req.has_param("since")) {
        since = parseSince(req.get_param_value("since"));
        if (since < 0)
            return sendError(res, 400, "bad-since", "since 应为秒数或 YYYY-MM-DDTHH:MM:SSZ",
                             {{"position", "since"}});
    }
    json out = json::array();
    for (const JobSummary& job : m_queue.listSince(caller.token.name, since))
        out.push_back(jobJson(job));
    sendJson(res, 200, out);
}

void Service::cancelJob(const httplib::Request& req, httplib::Response& res)
{
    Caller caller;
    const auto job = callersJob(req, res, caller);
    if (!job)
        return;
    const std::int64_t id = job->id;
    m_dispatcher.cancel(id);
    sendJson(res, 200, jobJson(*m_queue.find(id)));
}

void Service::reprintJob(const httplib::Request& req, httplib::Response& res)
{
    Caller caller;
    const auto job = callersJob(req, res, caller);
    if (!job)
        return;
    const std::int64_t id = job->id;
    json body = json::object();
    if (!req.body.empty()) {
        const auto parsed = parseBody(req, res);
        if (!parsed)
            return;
        body = *parsed;
    }
    if (!caller.token.allowsTemplate(job->templateName) || !caller.token.allowsPrinter(job->printer))
        return sendError(res, 403, "not-allowed", "此令牌已不能使用这个任务的模板或打印机");
    // The form as first printed: the template bytes the journal kept, even
    // when the file changed or went since.
    const auto source = m_queue.storedTemplate(id);
    if (!source || !source->bytes || source->bytes->empty())
        return sendError(res, 409, "no-stored-template", "打印记录中没有这个任务的模板，无法重印");
    std::string error;
    const auto info = m_catalog.fromBytes(job->templateName, source->path, source->bytes, error);
    if (!info)
        return sendError(res, 422, "unreadable-template", "这个任务的模板无法读取");
    const std::vector<RecordValues> values = m_queue.recordValues(id);
    NewJob again;
    again.owner = job->owner;
    again.templateName = job->templateName;
    again.templatePath = source->path;
    again.templateBytes = source->bytes;
    again.printer = job->printer;
    again.copies = job->copies;
    again.repeats = id;
    if (body.contains("key")) {
        if (!body["key"].is_string())
            return wrongType(res, "/key", "文字");
        again.key = body["key"].get<std::string>();
    }
    if (body.contains("records")) {
        if (!body["records"].is_array())
            return wrongType(res, "/records", "记录序号的数组");
        for (std::size_t i = 0; i < body["records"].size(); ++i) {
            const json& n = body["records"][i];
            if (!n.is_number_integer() || n.get<long long>() < 1 || n.get<long long>() > static_cast<long long>(values.size()))
                return wrongType(res, "/records/" + std::to_string(i),
                                 " 1 到 " + std::to_string(values.size()) + " 的记录序号");
            again.records.push_back(values[static_cast<std::size_t>(n.get<long long>() - 1)]);
        }
    } else {
        again.records = values;
    }
    if (again.records.empty())
        return sendError(res, 400, "no-records", "没有要打印的记录");
    if (m_queue.waitingRecords() + again.records.size() > m_options.maxWaitingRecords) {
        res.set_header("Retry-After", "10");
        return sendError(res, 429, "queue-full", "等待打印的记录已满，请稍后再试");
    }
    again.printed = m_pages.printedText(*info->doc, again.records);
    const auto submitted = m_queue.submit(again, error);
    if (!submitted)
        return sendError(res, 503, "journal-unavailable", "无法记录任务：" + error);
    if (!submitted->created)
        return sendJson(res, 200, jobJson(*m_queue.find(submitted->id)));
    m_dispatcher.wake();
    m_dispatcher.announce(submitted->id);
    sendJson(res, 201, {{"id", submitted->id}, {"state", "queued"}, {"records", again.records.size()},
                        {"repeats", id}});
}

void Service::preview(const httplib::Request& req, httplib::Response& res)
{
    Caller caller;
    if (!admit(req, res, caller))
        return;
    const auto body = parseBody(req, res);
    if (!body)
        return;
    const auto info = templateFor(m_catalog, caller.token, *body, res);
    if (!info)
        return;
    RecordValues record;
    if (body->contains("record")) {
        auto parsed = recordOf((*body)["record"], "/record", res);
        if (!parsed)
            return;
        record = std::move(*parsed);
    }
    if (const auto missing = missingColumns(info->fields, record); !missing.empty())
        return sendError(res, 400, "missing-columns", "记录缺少列：" + joined(missing), {{"columns", missing}});
    const std::string format = req.has_param("format") ? req.get_param_value("format") : "png";
    if (format != "png" && format != "pdf")
        return sendError(res, 400, "bad-format", "format 应为 png 或 pdf", {{"position", "format"}});
    int dpi = 96;
    if (req.has_param("dpi")) {
        const std::string text = req.get_param_value("dpi");
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), dpi);
        if (error != std::errc() || end != text.data() + text.size() || dpi < 10 || dpi > 600)
            return sendError(res, 400, "bad-dpi", "dpi 应为 10 到 600 的整数", {{"position", "dpi"}});
    }
    std::string error;
    const std::string bytes = m_pages.preview({info->path, info->hash, info->bytes}, record, format == "pdf", dpi, error);
    if (bytes.empty())
        return sendError(res, 500, "preview-failed", "无法绘制预览：" + error);
    res.set_content(bytes, format == "pdf" ? "application/pdf" : "image/png");
}

void Service::events(const httplib::Request& req, httplib::Response& res)
{
    Caller caller;
    if (!admit(req, res, caller))
        return;
    if (m_streams.fetch_add(1) >= kMaxEventStreams) {
        --m_streams;
        res.set_header("Retry-After", "10");
        return sendError(res, 503, "too-many-streams", "事件流过多");
    }
    auto listener = m_events.listen(caller.token.name);
    res.set_header("Cache-Control", "no-store");
    res.set_chunked_content_provider(
        "text/event-stream",
        [listener](std::size_t, httplib::DataSink& sink) {
            std::vector<std::string> events;
            if (!listener->take(15000, events)) {
                sink.done();
                return true;
            }
            std::string chunk;
            for (const std::string& event : events)
                chunk += "data: " + event + "\n\n";
            if (chunk.empty())
                chunk = ": keep-alive\n\n";
            return sink.write(chunk.data(), chunk.size());
        },
        [this, listener](bool) {
            m_events.forget(listener);
            --m_streams;
        });
    // The stream opens at once, so that a client knows it listens.
    m_events.publish(caller.token.name, R"({"type":"hello"})");
}

} // namespace ordavel::service
