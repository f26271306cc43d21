#include "service/service.h"

#include "data/field_text.h"
#include "model/document.h"
#include "service/api_request.h"
#include "service/job_json.h"
#include "shop/users_journal.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <optional>
#include <regex>
#include <set>
#include <thread>
#include <string_view>

namespace ordavel::service {

using nlohmann::json;

namespace {

void answer(httplib::Response& res, const ApiError& error)
{
    if (!error.retryAfter.empty())
        res.set_header("Retry-After", error.retryAfter);
    res.status = error.status;
    res.set_content(errorBody(error).dump(), "application/json; charset=utf-8");
}

void sendError(httplib::Response& res, int status, const std::string& code, const std::string& message,
               json extra = json::object())
{
    answer(res, ApiError(status, code, message, std::move(extra)));
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

// The body as a JSON object with only the `known` fields; nothing after
// answering 400 for anything else.
std::optional<json> parseBody(const httplib::Request& req, httplib::Response& res,
                              std::initializer_list<std::string_view> known)
{
    auto body = parseObject(req.body);
    if (!body.ok()) {
        answer(res, body.error());
        return std::nullopt;
    }
    if (const auto unknown = unknownField(body.value(), known)) {
        answer(res, *unknown);
        return std::nullopt;
    }
    return std::move(body).value();
}

std::string withoutOxf(const std::string& name)
{
    const std::string suffix = ".oxf";
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        return name.substr(0, name.size() - suffix.size());
    return name;
}

// A job as a key's repetition sees it: what is printed, where and how often.
struct JobContent {
    std::string templateName;
    std::string printer;
    int copies = 1;
    std::int64_t repeats = 0;
    const std::vector<RecordValues>* records = nullptr; // as sent: extra columns are ignored
};

// Whether `content` is the job the key first named: the same template,
// printer, copies and repeated job, and records with the same values in
// every column that job kept (the columns its template uses).
bool sameJob(const JobSummary& first, const std::vector<RecordValues>& kept, const JobContent& content)
{
    if (withoutOxf(first.templateName) != withoutOxf(content.templateName) || first.printer != content.printer
        || first.copies != content.copies || first.repeats != content.repeats || kept.size() != content.records->size())
        return false;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const RecordValues& sent = (*content.records)[i];
        for (const auto& cell : kept[i]) {
            const auto it = std::find_if(sent.begin(), sent.end(), [&](const auto& other) { return other.first == cell.first; });
            if (it == sent.end() || it->second != cell.second)
                return false;
        }
    }
    return true;
}

// The answer to a key used before: 200 with that job when `content` is the
// same job, else 409 `key-conflict` naming it. Nothing is printed either way.
void answerRepeat(JobQueue& queue, std::int64_t firstId, const JobContent& content, httplib::Response& res)
{
    const auto first = queue.find(firstId);
    if (!first)
        return sendError(res, 503, "journal-unavailable", "无法读取任务 " + std::to_string(firstId));
    if (!sameJob(*first, queue.recordValues(firstId), content))
        return sendError(res, 409, "key-conflict",
                         "key“" + first->key + "”已用于任务 " + std::to_string(firstId) + "，内容与这次不同；这次没有打印",
                         {{"position", "/key"}, {"job", firstId}});
    sendJson(res, 200, jobJson(*first));
}

// Queues a job when it fits beside the records already waiting, wakes the
// dispatcher, tells the owner's event streams, and answers the job as
// GET /v1/jobs/{id} shows it (201), as a repeated key does.
void submitAndAnnounce(JobQueue& queue, Dispatcher& dispatcher, std::size_t maxWaitingRecords, const NewJob& job,
                       const JobContent& content, httplib::Response& res)
{
    if (const auto full = queueFull(queue.waitingRecords(), job.records.size(), maxWaitingRecords))
        return answer(res, *full);
    std::string error;
    const auto submitted = queue.submit(job, error);
    if (!submitted)
        return sendError(res, 503, "journal-unavailable", "无法记录任务：" + error);
    // The same key sent twice at once: the other request recorded its job first.
    if (!submitted->created)
        return answerRepeat(queue, submitted->id, content, res);
    dispatcher.wake();
    // Read once (or known as recorded): announced and answered as the same state.
    const auto created = submitted->recorded ? submitted->recorded : queue.find(submitted->id);
    if (!created)
        return sendError(res, 503, "journal-unavailable", "无法读取任务 " + std::to_string(submitted->id));
    dispatcher.announce(*created);
    sendJson(res, 201, jobJson(*created));
}

// Names `origin` back in a response's CORS headers when a token allows it;
// false, naming nothing, for any other origin or none.
bool allowOrigin(TokenRegistry& tokens, const std::string& origin, httplib::Response& res)
{
    if (origin.empty() || !tokens.anyAllowsOrigin(origin))
        return false;
    res.set_header("Access-Control-Allow-Origin", origin);
    res.set_header("Vary", "Origin");
    return true;
}

// A route's path as a regular expression: dots stand for themselves, "{id}"
// for a job's number (captured for the handler when `capture`).
std::string patternOf(const std::string& path, bool capture)
{
    std::string out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path.compare(i, 4, "{id}") == 0) {
            out += capture ? "([0-9]+)" : "[0-9]+";
            i += 3;
        } else {
            if (path[i] == '.')
                out += '\\';
            out += path[i];
        }
    }
    return out;
}

} // namespace

struct Service::Caller {
    Token token;
    std::string origin; // "" when the request carries none
};

Service::Service(ServiceOptions options, JobQueue& queue, PageMaker& pages, Spooler& spooler)
    : m_options(std::move(options)),
      m_queue(queue),
      m_pages(pages),
      m_tokens(m_options.tokenStore ? m_options.tokenStore : std::make_shared<TokenFile>(m_options.tokenFile)),
      m_catalog(m_options.templatesFolder),
      m_dispatcher(queue, pages, m_events, spooler)
{
    // A station of a shop prints the shop library's templates.
    if (const auto shop = joinedShop(); shop.ok() && shop.value())
        m_catalog.useLibrary(shop.value()->connection, shop.value()->station);
}

Service::~Service() { stop(); }

std::string Service::start()
{
    int port = m_options.port;
    std::string failures;
    for (const std::string& address : m_options.addresses) {
        auto server = std::make_unique<httplib::Server>();
        install(*server);
        std::optional<socket_t> listening;
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
        if (bound && listening)
            ::listen(*listening, kListenBacklog);
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
    // The library's stop() does nothing to a server whose thread has not yet
    // begun to accept: a SIGTERM right after the start would then wait
    // forever for its thread. Each server is running before the start returns.
    for (auto& server : m_servers)
        for (int waited = 0; waited < 5000 && !server->is_running(); ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
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

const std::vector<Service::Route>& Service::routes()
{
    static const std::vector<Route> table{
        {"GET", "/v1/info", &Service::info},
        {"GET", "/v1/openapi.json", &Service::description},
        {"GET", "/v1/client.js", &Service::clientScript},
        {"GET", "/v1/printers", &Service::printers},
        {"GET", "/v1/templates", &Service::templates},
        {"POST", "/v1/jobs", &Service::postJob},
        {"GET", "/v1/jobs", &Service::listJobs},
        {"GET", "/v1/jobs/{id}", &Service::getJob},
        {"POST", "/v1/jobs/{id}/cancel", &Service::cancelJob},
        {"POST", "/v1/jobs/{id}/reprint", &Service::reprintJob},
        {"POST", "/v1/preview", &Service::preview},
        {"GET", "/v1/events", &Service::events},
    };
    return table;
}

std::vector<std::string> Service::methodsFor(const std::string& path)
{
    // Each route's path as a pattern: "{id}" matches a job's number only.
    static const std::vector<std::pair<std::regex, std::string>> patterns = [] {
        std::vector<std::pair<std::regex, std::string>> out;
        for (const Route& route : routes())
            out.emplace_back(std::regex(patternOf(route.path, false)), route.method);
        return out;
    }();
    std::vector<std::string> methods;
    for (const auto& [pattern, method] : patterns)
        if (std::regex_match(path, pattern)) {
            methods.push_back(method);
            if (method == "GET")
                methods.emplace_back("HEAD");
        }
    if (!methods.empty())
        methods.emplace_back("OPTIONS"); // every /v1 path answers a CORS preflight
    return methods;
}

void Service::install(httplib::Server& server)
{
    server.new_task_queue = [] { return new httplib::ThreadPool(kMaxEventStreams + 16); };
    server.set_payload_max_length(kMaxBodyBytes);
    server.set_read_timeout(m_options.readTimeoutSeconds, 0);
    server.set_write_timeout(m_options.readTimeoutSeconds, 0);
    server.set_keep_alive_timeout(m_options.readTimeoutSeconds);
    server.set_keep_alive_max_count(1000);
    // The library's own refusals (no such path, a body over the limit, a
    // request it cannot read) name an allowed origin as the handlers do, so
    // that a page can read them instead of seeing a refused origin.
    server.set_error_handler(httplib::Server::HandlerWithResponse([this](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty())
            return httplib::Server::HandlerResponse::Unhandled;
        allowOrigin(m_tokens, req.get_header_value("Origin"), res);
        // A path the API has, asked with a method it does not answer there.
        const std::vector<std::string> allowed = (res.status == 404 || res.status == 400) ? methodsFor(req.path)
                                                                                          : std::vector<std::string>();
        if (!allowed.empty()) {
            std::string allow;
            for (const std::string& method : allowed)
                allow += (allow.empty() ? "" : ", ") + method;
            res.set_header("Allow", allow);
            sendError(res, 405, "method-not-allowed", req.path + " 只接受 " + allow, {{"allow", allowed}});
        } else if (res.status == 413)
            sendError(res, 413, "too-large", "请求内容超过 16 MB");
        else if (res.status == 404)
            sendError(res, 404, "not-found", "没有这个接口");
        else
            sendError(res, res.status, "bad-request", "请求无法处理");
        return httplib::Server::HandlerResponse::Handled;
    }));
    server.set_exception_handler([this](const httplib::Request& req, httplib::Response& res, std::exception_ptr) {
        allowOrigin(m_tokens, req.get_header_value("Origin"), res);
        sendError(res, 500, "internal", "服务内部出错");
    });
    for (const Route& route : routes()) {
        const Handler handler = route.handler;
        auto answer = [this, handler](const httplib::Request& req, httplib::Response& res) { (this->*handler)(req, res); };
        if (route.method == "GET")
            server.Get(patternOf(route.path, true), std::move(answer));
        else
            server.Post(patternOf(route.path, true), std::move(answer));
    }
    server.Options(R"(/v1/.*)", [this](const httplib::Request& req, httplib::Response& res) { preflight(req, res); });
}

// Token first, then the origin: a request with an Origin header is served
// only when the token lists that origin exactly. Responses name an origin in
// their CORS headers only when it is allowed.
bool Service::admit(const httplib::Request& req, httplib::Response& res, Caller& caller)
{
    caller.origin = req.get_header_value("Origin");
    allowOrigin(m_tokens, caller.origin, res);
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
    if (!allowOrigin(m_tokens, origin, res))
        return sendError(res, 403, "origin-not-allowed", "来源 " + origin + " 不允许使用此服务");
    res.status = 204;
    res.set_header("Access-Control-Allow-Methods", "GET, POST, OPTIONS");
    res.set_header("Access-Control-Allow-Headers", "Authorization, Content-Type");
    res.set_header("Access-Control-Max-Age", "600");
    if (req.has_header("Access-Control-Request-Private-Network"))
        res.set_header("Access-Control-Allow-Private-Network", "true");
}

void Service::info(const httplib::Request& req, httplib::Response& res)
{
    allowOrigin(m_tokens, req.get_header_value("Origin"), res);
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

// The API's description: public, like /v1/info, so that tools can read it
// before they hold a token.
void Service::description(const httplib::Request& req, httplib::Response& res)
{
    allowOrigin(m_tokens, req.get_header_value("Origin"), res);
    res.set_content(kApiDescription, "application/json; charset=utf-8");
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
    // In a shop: every station's printers as STATION/PRINTER, and the pools.
    for (const ShopTarget& t : m_queue.shopTargets()) {
        if (!caller.token.allowsPrinter(t.name))
            continue;
        json entry = {{"name", t.name},         {"default", false}, {"calibrated", false},
                      {"state", t.state},       {"accepting", t.accepting}};
        if (t.station.empty())
            entry["members"] = t.members;
        else
            entry["station"] = t.station;
        out.push_back(std::move(entry));
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
    const auto parsed = parseTemplateName(body);
    if (!parsed.ok()) {
        answer(res, parsed.error());
        return std::nullopt;
    }
    const std::string& name = parsed.value();
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
    const auto body = parseBody(req, res, {"key", "template", "printer", "records", "copies", "expires"});
    if (!body)
        return;
    auto parsed = parseJob(*body, m_options.maxWaitingRecords);
    if (!parsed.ok())
        return answer(res, parsed.error());
    NewJob job = std::move(parsed).value();
    job.owner = caller.token.name;
    const std::vector<RecordValues> sent = std::move(job.records); // as sent: extra columns included
    job.records.clear();

    const std::string asked = job.printer.empty() ? defaultPrinter() : job.printer;
    // In a shop, the name the shop's queue knows the printer by.
    const std::string target = m_queue.targetOf(asked);
    const std::string printer = target.empty() ? asked : target;
    const JobContent content{job.templateName, printer, job.copies, 0, &sent};
    if (!job.key.empty())
        if (const auto first = m_queue.findByKey(job.owner, job.key))
            return answerRepeat(m_queue, first->id, content, res);

    const auto info = templateFor(m_catalog, caller.token, *body, res);
    if (!info)
        return;
    job.templateName = info->name;
    job.templatePath = info->path;
    job.templateBytes = info->bytes;
    job.libraryRevision = info->libraryRevision;

    const auto printers = target.empty() ? m_dispatcher.printers(job.printer) : std::vector<PrinterStatus>();
    if (job.printer.empty()) {
        job.printer = asked;
        if (job.printer.empty())
            return sendError(res, 404, "no-such-printer", "没有默认打印机，请指定 printer");
    }
    if (!caller.token.allowsPrinter(job.printer) && !caller.token.allowsPrinter(printer))
        return sendError(res, 403, "not-allowed", "此令牌不能使用打印机“" + job.printer + "”");
    if (target.empty()
        && std::none_of(printers.begin(), printers.end(), [&](const PrinterStatus& p) { return p.name == job.printer; }))
        return sendError(res, 404, "no-such-printer", "没有名为“" + job.printer + "”的打印机");
    job.printer = printer;

    for (std::size_t i = 0; i < sent.size(); ++i) {
        if (const auto missing = missingColumns(info->fields, sent[i]); !missing.empty())
            return sendError(res, 400, "missing-columns",
                             "第 " + std::to_string(i + 1) + " 条记录缺少列：" + joined(missing),
                             {{"record", i + 1}, {"columns", missing}});
        job.records.push_back(usedColumns(info->fields, sent[i]));
    }
    job.printed = m_pages.printedText(*info->doc, job.records);
    submitAndAnnounce(m_queue, m_dispatcher, m_options.maxWaitingRecords, job, content, res);
}

std::string Service::defaultPrinter()
{
    for (const PrinterStatus& p : m_dispatcher.printers())
        if (p.isDefault)
            return p.name;
    return {};
}

std::optional<JobSummary> Service::callersJob(const httplib::Request& req, httplib::Response& res, Caller& caller)
{
    if (!admit(req, res, caller))
        return std::nullopt;
    const auto id = parseJobId(req.matches[1].str());
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
    const auto since = parseSince(req.has_param("since") ? std::optional(req.get_param_value("since")) : std::nullopt);
    if (!since.ok())
        return answer(res, since.error());
    json out = json::array();
    for (const JobSummary& job : m_queue.listSince(caller.token.name, since.value()))
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
        const auto parsed = parseBody(req, res, {"key", "records"});
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
    auto asked = parseReprint(body, values.size());
    if (!asked.ok())
        return answer(res, asked.error());
    again.key = asked.value().key;
    if (const auto& picked = asked.value().records) {
        for (const std::size_t index : *picked)
            again.records.push_back(values[index]);
    } else {
        again.records = values;
    }
    const JobContent content{again.templateName, again.printer, again.copies, id, &again.records};
    if (!again.key.empty())
        if (const auto first = m_queue.findByKey(again.owner, again.key))
            return answerRepeat(m_queue, first->id, content, res);
    if (const auto tooLarge = tooLargeToWait(again.records.size(), m_options.maxWaitingRecords))
        return answer(res, *tooLarge);
    again.printed = m_pages.printedText(*info->doc, again.records);
    submitAndAnnounce(m_queue, m_dispatcher, m_options.maxWaitingRecords, again, content, res);
}

void Service::preview(const httplib::Request& req, httplib::Response& res)
{
    Caller caller;
    if (!admit(req, res, caller))
        return;
    const auto body = parseBody(req, res, {"template", "record"});
    if (!body)
        return;
    const auto info = templateFor(m_catalog, caller.token, *body, res);
    if (!info)
        return;
    RecordValues record;
    if (body->contains("record")) {
        auto parsed = parseRecord((*body)["record"], "/record");
        if (!parsed.ok())
            return answer(res, parsed.error());
        record = std::move(parsed).value();
    }
    if (const auto missing = missingColumns(info->fields, record); !missing.empty())
        return sendError(res, 400, "missing-columns", "记录缺少列：" + joined(missing), {{"columns", missing}});
    const auto param = [&req](const char* name) {
        return req.has_param(name) ? std::optional(req.get_param_value(name)) : std::nullopt;
    };
    const auto query = parsePreviewQuery(param("format"), param("dpi"));
    if (!query.ok())
        return answer(res, query.error());
    std::string error;
    const std::string bytes = m_pages.preview({info->path, info->hash, info->bytes}, record, query.value().pdf, query.value().dpi, error);
    if (bytes.empty())
        return sendError(res, 500, "preview-failed", "无法绘制预览：" + error);
    res.set_content(bytes, query.value().pdf ? "application/pdf" : "image/png");
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
