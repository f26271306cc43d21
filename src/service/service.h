#pragma once
// The local print service: the HTTP API (version 1) over a job queue, the
// token registry, the templates folder and the dispatcher that prints.
// HTTP comes from cpp-httplib as Debian ships it: a small, maintained
// library with a thread pool, timeouts and body limits built in, without
// pulling an event framework into a command-line tool.

#include "service/dispatcher.h"
#include "service/event_hub.h"
#include "service/job_queue.h"
#include "service/page_maker.h"
#include "service/template_catalog.h"
#include "service/tokens.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace ordavel::service {

inline constexpr int kDefaultPort = 17380;
inline constexpr std::size_t kMaxBodyBytes = 16u << 20;
inline constexpr std::size_t kMaxRecordsPerJob = 10000;
inline constexpr std::size_t kMaxWaitingRecords = 100000;
inline constexpr int kMaxEventStreams = 32;
inline constexpr int kListenBacklog = 256; // connections waiting to be accepted

struct ServiceOptions {
    int port = kDefaultPort; // 0: any free port (the one taken is port())
    std::vector<std::string> addresses{"127.0.0.1", "::1"};
    std::string templatesFolder = TemplateCatalog::defaultFolder();
    std::string tokenFile = TokenFile::defaultPath();
    // Where the tokens are kept instead of tokenFile (a shop's database); null: the file.
    std::shared_ptr<TokenStore> tokenStore;
    std::size_t maxWaitingRecords = kMaxWaitingRecords;
    int readTimeoutSeconds = 5;
    std::string version = "0";
};

class Service {
public:
    // Pages go to `spooler` (CUPS on Linux, the Windows spooler there), which outlives the service.
    Service(ServiceOptions options, JobQueue& queue, PageMaker& pages, Spooler& spooler);
    ~Service();

    // Binds every address (an address that does not exist on this machine,
    // such as ::1 without IPv6, is skipped while another one binds) and starts
    // serving and printing. Empty on success, else why not.
    std::string start();
    int port() const { return m_port; }
    const std::vector<std::string>& boundAddresses() const { return m_bound; }
    // Ends the event streams and the listeners, then lets the dispatcher
    // finish the page it draws.
    void stop();

    using Handler = void (Service::*)(const httplib::Request&, httplib::Response&);
    // One route of the API: its method, its path as the API description
    // writes it ("{id}" stands for a job's number) and what answers it.
    struct Route {
        std::string method;
        std::string path;
        Handler handler;
    };
    // Every route the service answers (CORS preflights, which any /v1 path
    // gets, aside); the listeners are built from this table alone.
    static const std::vector<Route>& routes();
    // The methods the route table has for `path`, empty when no route has it.
    static std::vector<std::string> methodsFor(const std::string& path);

private:
    void install(httplib::Server& server);
    struct Caller;
    bool admit(const httplib::Request& req, httplib::Response& res, Caller& caller);
    // The job the request's path names, when the caller is admitted and owns it;
    // otherwise nothing, with the refusal already answered.
    std::optional<JobSummary> callersJob(const httplib::Request& req, httplib::Response& res, Caller& caller);

    // The printer CUPS names as its default, "" when none.
    std::string defaultPrinter();

    void info(const httplib::Request& req, httplib::Response& res);
    void printers(const httplib::Request& req, httplib::Response& res);
    void templates(const httplib::Request& req, httplib::Response& res);
    void postJob(const httplib::Request& req, httplib::Response& res);
    void getJob(const httplib::Request& req, httplib::Response& res);
    void listJobs(const httplib::Request& req, httplib::Response& res);
    void cancelJob(const httplib::Request& req, httplib::Response& res);
    void reprintJob(const httplib::Request& req, httplib::Response& res);
    void preview(const httplib::Request& req, httplib::Response& res);
    void events(const httplib::Request& req, httplib::Response& res);
    void clientScript(const httplib::Request& req, httplib::Response& res);
    void description(const httplib::Request& req, httplib::Response& res);
    void preflight(const httplib::Request& req, httplib::Response& res);

    ServiceOptions m_options;
    JobQueue& m_queue;
    PageMaker& m_pages;
    TokenRegistry m_tokens;
    TemplateCatalog m_catalog;
    EventHub m_events;
    Dispatcher m_dispatcher;
    std::vector<std::unique_ptr<httplib::Server>> m_servers;
    std::vector<std::thread> m_threads;
    std::vector<std::string> m_bound;
    std::atomic<int> m_streams{0};
    int m_port = 0;
    bool m_started = false;
};

// The browser module served as /v1/client.js.
extern const char* const kClientScript;
// The OpenAPI description of the API served as /v1/openapi.json.
extern const char* const kApiDescription;

} // namespace ordavel::service
