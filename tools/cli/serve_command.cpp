// ordavel-cli serve [--port N] [--templates DIR] [--listen ADDR]: the local
// print service in the foreground, until SIGTERM or SIGINT (Ctrl+C on Windows).
#include "cli_support.h"
#include "command.h"
#include "headless_app.h"
#include "stop_request.h"
#include "template_input.h"

#include "platform/print_service_presence.h"
#include "platform/system_spooler.h"
#include "service/journal_queue.h"
#include "service/render/qt_page_maker.h"
#include "service/service.h"
#include "shop/own_journal_uploader.h"
#include "shop/users_journal.h"
#if ORDAVEL_SHOP_QUEUE
#include "shop_queue/shop_queue.h"
#include "shop_queue/shop_tokens.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ordavel::cli {

namespace {

struct Settings {
    int port = service::kDefaultPort;
    std::string templates;
    std::string listen;
    int maxWaiting = static_cast<int>(service::kMaxWaitingRecords);
    int leaseSeconds = 60;
};

OptionParser declare(Settings& s)
{
    OptionParser parser("serve", "Runs the local print service in the foreground: web pages and programs print"
                                 " templates through it (SIGTERM stops it after the page being drawn).");
    parser.option({.name = "--port", .value = "N",
                   .help = "the TCP port (default " + std::to_string(service::kDefaultPort) + "; 0 takes a free one)"},
                  [&s](const std::string& value) {
                      s.port = value == "0" ? 0 : parsePositive(value);
                      return (value != "0" && s.port == 0) || s.port > 65535
                          ? std::string("--port takes a port number from 0 to 65535")
                          : std::string();
                  });
    parser.option({.name = "--templates", .value = "DIR",
                   .help = "the folder of the .oxf templates (default $XDG_DATA_HOME/ordavel/templates)"},
                  [&s](const std::string& value) {
                      s.templates = value;
                      return value.empty() ? std::string("--templates takes a folder") : std::string();
                  });
    parser.option({.name = "--listen", .value = "ADDR",
                   .help = "listen on this address instead of 127.0.0.1 and ::1 (needs a token)"},
                  [&s](const std::string& value) {
                      s.listen = value;
                      return value.empty() ? std::string("--listen takes an address") : std::string();
                  });
    parser.option({.name = "--max-waiting", .value = "N",
                   .help = "records that may wait at once (default " + std::to_string(service::kMaxWaitingRecords)
                       + "): a job that would go past it is asked to come back later, a larger job is refused"},
                  [&s](const std::string& value) {
                      s.maxWaiting = parsePositive(value);
                      return s.maxWaiting == 0 ? std::string("--max-waiting takes a whole number of at least 1")
                                               : std::string();
                  });
    parser.option({.name = "--lease", .value = "SECONDS",
                   .help = "in a shop, how long the records this station claimed stay its own without a word"
                           " from it (default 60): then another station may print what it did not hand over"},
                  [&s](const std::string& value) {
                      s.leaseSeconds = parsePositive(value);
                      return s.leaseSeconds < 5 || s.leaseSeconds > 3600
                          ? std::string("--lease takes a number of seconds from 5 to 3600")
                          : std::string();
                  });
    return parser;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "ordavel-cli serve: %s\n", message.c_str());
    return 1;
}

// In a shop, what this station printed into its own journal file while the
// shop could not be reached (the designer's and the tool's prints) is
// uploaded every few seconds while the service runs, on a thread of its
// own; it ends when the object does.
class OwnJournalUploadLoop {
public:
    static constexpr auto kEvery = std::chrono::seconds(2);

    OwnJournalUploadLoop()
        : m_thread([this] {
              OwnJournalUploader uploader;
              std::unique_lock lock(m_mutex);
              while (!m_stop) {
                  lock.unlock();
                  const UploadPass pass = uploader.run();
                  if (pass.uploaded > 0)
                      std::fprintf(stderr, "ordavel-cli serve: %d jobs of this station's own journal uploaded to the shop\n",
                                   pass.uploaded);
                  lock.lock();
                  m_wake.wait_for(lock, kEvery, [this] { return m_stop; });
              }
          })
    {
    }
    ~OwnJournalUploadLoop()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    OwnJournalUploadLoop(const OwnJournalUploadLoop&) = delete;
    OwnJournalUploadLoop& operator=(const OwnJournalUploadLoop&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread; // last: started once the rest is made
};

int run(const std::vector<std::string>& args)
{
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    service::ServiceOptions options;
    options.port = s.port;
    options.version = ORDAVEL_VERSION;
    options.maxWaitingRecords = static_cast<std::size_t>(s.maxWaiting);
    if (!s.templates.empty())
        options.templatesFolder = s.templates;
    // Before any thread starts (they inherit the blocked signals).
    StopRequest stopping;

    // The queue is the print journal: without it nothing accepted would
    // survive a restart, so the service does not run without it. In a shop
    // it is the shop's queue, which every station's service shares.
    std::string error;
    std::unique_ptr<service::JobQueue> queue;
    // One service per journal; the lock also tells the designer it runs.
    ServicePresence presence;
    const auto shop = joinedShop();
    if (!shop.ok())
        return fail(shop.error());
    if (shop.value()) {
#if ORDAVEL_SHOP_QUEUE
        // Before the queue takes back what this station's last run held;
        // the lock lies beside the station's own journal file, which a
        // station of a shop may never have made.
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(Journal::defaultPath()).parent_path(), ignored);
        if (!presence.take(Journal::defaultPath(), error))
            return fail(error);
        queue = service::ShopQueue::open({shop.value()->connection, shop.value()->station, s.leaseSeconds}, error);
        if (!queue)
            return fail("cannot open the shop's print queue: " + error);
        options.tokenStore = std::make_shared<service::ShopTokens>(shop.value()->connection, options.tokenFile);
#else
        return fail("this build of the program cannot reach a shop's database (no PostgreSQL)");
#endif
    } else {
        auto own = service::JournalQueue::open(Journal::defaultPath(), error);
        if (!own)
            return fail("cannot open the print journal: " + error);
        if (const std::string notice = own->takeNotice(); !notice.empty())
            std::fprintf(stderr, "ordavel-cli serve: %s\n", notice.c_str());
        own->setProblemSink([](const std::string& problem) { std::fprintf(stderr, "ordavel-cli serve: %s\n", problem.c_str()); });
        queue = std::move(own);
        if (!presence.take(Journal::defaultPath(), error))
            return fail(error);
    }
    if (!s.listen.empty()) {
        // Anyone on that network could print: only with tokens to ask for.
        const std::shared_ptr<service::TokenStore> store = options.tokenStore
            ? options.tokenStore
            : std::make_shared<service::TokenFile>(options.tokenFile);
        const auto tokens = store->load(error);
        if (!tokens)
            return fail(error);
        if (tokens->empty())
            return fail("--listen needs at least one token (ordavel-cli token add NAME)");
        options.addresses = {s.listen};
    }

    const auto app = makeHeadlessApp();
    service::QtPageMaker pages;
    // The system's queue: CUPS (job PDFs in $TMPDIR, else /tmp), or the Windows spooler.
    const std::unique_ptr<Spooler> spooler = systemSpooler();
    service::Service server(options, *queue, pages, *spooler);
    if (const std::string why = server.start(); !why.empty())
        return fail(why);
    for (const auto& address : server.boundAddresses()) {
        const bool v6 = address.find(':') != std::string::npos;
        std::printf("listening on http://%s%s%s:%d\n", v6 ? "[" : "", address.c_str(), v6 ? "]" : "", server.port());
    }
    std::fflush(stdout);
    const OwnJournalUploadLoop upload;
    stopping.wait();
    std::fprintf(stderr, "ordavel-cli serve: stopping\n");
    server.stop();
    return 0;
}

const CommandRegistration registration({"serve", [] { return usageOf(declare); }, run});

} // namespace

} // namespace ordavel::cli
