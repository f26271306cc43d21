#include "shop_queue/shop_queue.h"

#include "shop_queue/pool_failover.h"
#include "shop_queue/station_process.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>

// The queue's own thread: leases renewed, printers published, work and
// events of the other stations listened for, this station's events shared.
namespace ordavel::service {

using ordavel::postgres_journal::PgResult;
using ordavel::postgres_journal::textArray;

namespace {

using namespace std::chrono_literals;

// How long a station's printers count as current after it last published
// them: a station that stops publishing (it died) no longer leads a pool.
// Kept in the SQL below as '15 seconds'.
constexpr auto kPublishEvery = 2s;
// Polling when no notification comes.
constexpr auto kPollEvery = 2s;
// A notification's payload must stay under 8,000 bytes; an event is far smaller.
constexpr std::size_t kMaxPayload = 7900;
// Events kept while the database is away, the oldest dropped first.
constexpr std::size_t kMaxOutgoing = 10000;
// Queue rows a station ends before it vacuums the queue table: each record
// leaves four or five dead row versions there and in its indexes, which
// autovacuum (once a minute at most) leaves to pile up at full speed.
constexpr std::size_t kVacuumAfter = 2000;

} // namespace

void ShopQueue::setWakeUp(std::function<void()> wake)
{
    const std::lock_guard lock(m_stateMutex);
    m_wake = std::move(wake);
}

void ShopQueue::printersSeen(const std::vector<PrinterStatus>& printers)
{
    const std::lock_guard lock(m_stateMutex);
    const auto same = [](const PrinterStatus& a, const PrinterStatus& b) {
        return a.name == b.name && a.state == b.state && a.accepting == b.accepting && a.reason == b.reason;
    };
    if (!m_printersKnown || !std::equal(printers.begin(), printers.end(), m_printers.begin(), m_printers.end(), same))
        m_printersChanged = true;
    m_printers = printers;
    m_printersKnown = true;
}

std::string ShopQueue::targetOf(const std::string& printer)
{
    if (printer.empty())
        return {};
    const std::lock_guard lock(m_dbMutex);
    if (m_db.reconnect().failed())
        return {};
    const std::string full = printer.find('/') == std::string::npos ? m_options.station + "/" + printer : printer;
    const std::size_t slash = full.find('/');
    // Asked at every post: one statement, the printer found by its key.
    PgResult known = m_db.run("SELECT CASE WHEN EXISTS (SELECT 1 FROM shop_pools WHERE name = $1) THEN $1"
                              " WHEN EXISTS (SELECT 1 FROM shop_printers WHERE station = $3 AND printer = $4) THEN $2"
                              " ELSE '' END",
                              {printer, full, full.substr(0, slash), full.substr(slash + 1)});
    if (!known.ok() || known.rows() == 0)
        return {};
    if (std::string name = known.text(0, 0); !name.empty())
        return name;
    // A printer of this station that it has not published yet.
    const std::lock_guard state(m_stateMutex);
    const bool own = std::any_of(m_printers.begin(), m_printers.end(),
                                 [&](const PrinterStatus& p) { return m_options.station + "/" + p.name == full; });
    return own ? full : std::string();
}

std::vector<ShopTarget> ShopQueue::shopTargets()
{
    const std::lock_guard lock(m_dbMutex);
    std::vector<ShopTarget> targets;
    if (m_db.reconnect().failed())
        return targets;
    PgResult printers = m_db.run("SELECT station, printer, CASE WHEN updated > now() - interval '15 seconds' THEN state"
                                 " ELSE 'stopped' END, accepting FROM shop_printers ORDER BY station, printer");
    for (int row = 0; row < printers.rows(); ++row) {
        const std::string station = printers.text(row, 0);
        targets.push_back({station + "/" + printers.text(row, 1), station, printers.text(row, 2),
                           printers.boolean(row, 3), {}});
    }
    PgResult pools = m_db.run(
        ("SELECT p.name, p.members::text, " + firstUsableMember("'{}'") + " IS NOT NULL FROM shop_pools p ORDER BY p.name")
            .c_str());
    for (int row = 0; row < pools.rows(); ++row) {
        ShopTarget pool{pools.text(row, 0), "", pools.boolean(row, 2) ? "idle" : "stopped", pools.boolean(row, 2), {}};
        PgResult members = m_db.run("SELECT unnest(members) FROM shop_pools WHERE name = $1", {pool.name});
        for (int m = 0; m < members.rows(); ++m)
            pool.members.push_back(members.text(m, 0));
        targets.push_back(std::move(pool));
    }
    return targets;
}

void ShopQueue::keepUp()
{
    const std::lock_guard keep(m_keepMutex);
    if (m_keeper.reconnect().failed())
        return;
    m_keeper.execute("UPDATE print_queue SET lease_until = now() + make_interval(secs => $2)"
                     " WHERE holder = $1 AND state IN ('claimed', 'handed') AND lease_until > now()",
                     {m_holder, m_options.leaseSeconds});
    // Any station returns what a lease left behind: claimed rows wait again
    // (and wake their printers), handed ones are in doubt.
    m_keeper.execute("WITH ended AS (UPDATE print_queue SET"
                     " state = CASE WHEN state = 'claimed' THEN 'queued' ELSE 'uncertain' END,"
                     " holder = CASE WHEN state = 'claimed' THEN '' ELSE holder END,"
                     " station = CASE WHEN state = 'claimed' THEN '' ELSE station END,"
                     " printer = CASE WHEN state = 'claimed' THEN '' ELSE printer END"
                     " WHERE state IN ('claimed', 'handed') AND lease_until < now() RETURNING state, target)"
                     " SELECT count(pg_notify('print_queue', target))"
                     " FROM (SELECT DISTINCT target FROM ended WHERE state = 'queued') t");
    // The space of ended rows is made free for the rows to come, so that
    // the table keeps its size under load. Only its owner may vacuum it: for
    // another role this does nothing; one station's vacuum skips another's.
    if (m_endedSinceVacuum >= kVacuumAfter) {
        m_endedSinceVacuum = 0;
        m_keeper.script("VACUUM (SKIP_LOCKED) print_queue");
    }
    std::vector<PrinterStatus> printers;
    {
        const std::lock_guard lock(m_stateMutex);
        // Until the spooler has answered, the printers published last stay.
        if (!m_printersKnown)
            return;
        printers = m_printers;
        m_printersChanged = false;
    }
    std::vector<std::string> names, states, reasons, accepting, stopped;
    for (const PrinterStatus& p : printers) {
        names.push_back(p.name);
        states.push_back(p.state);
        reasons.push_back(p.reason);
        accepting.push_back(p.accepting ? "true" : "false");
        if (p.state == "stopped" || !p.accepting)
            stopped.push_back(p.name);
    }
    m_keeper.execute("INSERT INTO shop_printers(station, printer, state, accepting, reason, updated)"
                     " SELECT $1, n, s, a, r, now()"
                     " FROM unnest($2::text[], $3::text[], $4::boolean[], $5::text[]) AS u(n, s, a, r)"
                     " ON CONFLICT (station, printer) DO UPDATE SET state = excluded.state,"
                     " accepting = excluded.accepting, reason = excluded.reason, updated = excluded.updated",
                     {m_options.station, textArray(names), textArray(states), textArray(accepting), textArray(reasons)});
    m_keeper.execute("DELETE FROM shop_printers WHERE station = $1 AND NOT (printer = ANY($2::text[]))",
                     {m_options.station, textArray(names)});
    // A printer of this station that stopped gives up what it claimed for
    // pools: their next member takes it.
    if (!stopped.empty())
        m_keeper.execute("WITH freed AS (UPDATE print_queue q SET state = 'queued', holder = '', station = '',"
                         " printer = '' WHERE q.holder = $1 AND q.state = 'claimed' AND q.printer = ANY($2::text[])"
                         " AND EXISTS (SELECT 1 FROM shop_pools p WHERE p.name = q.target) RETURNING q.target)"
                         " SELECT count(pg_notify('print_queue', target)) FROM (SELECT DISTINCT target FROM freed) t",
                         {m_holder, textArray(stopped)});
}

// Called under the lock that setWakeUp takes: a dispatcher that stopped
// is never woken after it said so.
void ShopQueue::wakeUp()
{
    const std::lock_guard lock(m_stateMutex);
    if (m_wake)
        m_wake();
}

void ShopQueue::shareEvent(const std::string& owner, const std::string& json)
{
    const std::string payload =
        nlohmann::json{{"from", m_holder}, {"owner", owner}, {"event", nlohmann::json::parse(json, nullptr, false)}}
            .dump();
    if (payload.size() > kMaxPayload)
        return;
    const std::lock_guard lock(m_stateMutex);
    if (m_outgoing.size() >= kMaxOutgoing)
        m_outgoing.pop_front();
    m_outgoing.push_back(payload);
}

void ShopQueue::setEventSink(std::function<void(const std::string&, const std::string&)> sink)
{
    const std::lock_guard lock(m_stateMutex);
    m_eventSink = std::move(sink);
}

void ShopQueue::sendEvents(Db& listener)
{
    std::vector<std::string> payloads;
    {
        const std::lock_guard lock(m_stateMutex);
        payloads.assign(m_outgoing.begin(), m_outgoing.end());
    }
    if (payloads.empty() || listener.reconnect().failed())
        return;
    // One statement for all of them: notifications of one transaction arrive in order.
    if (listener.execute("SELECT count(pg_notify('shop_events', p)) FROM unnest($1::text[]) AS p",
                         {ordavel::postgres_journal::textArray(payloads)})
            .failed())
        return;
    const std::lock_guard lock(m_stateMutex);
    m_outgoing.erase(m_outgoing.begin(),
                     m_outgoing.begin() + static_cast<std::ptrdiff_t>(std::min(payloads.size(), m_outgoing.size())));
}

void ShopQueue::receiveEvent(const std::string& payload)
{
    const auto note = nlohmann::json::parse(payload, nullptr, false);
    if (!note.is_object() || note.value("from", "") == m_holder || !note.contains("event"))
        return;
    const std::lock_guard lock(m_stateMutex);
    if (m_eventSink)
        m_eventSink(note.value("owner", ""), note["event"].dump());
}

bool targetConcerns(const std::string& target, const std::string& station)
{
    const std::size_t slash = target.find('/');
    return slash == std::string::npos || target.compare(0, slash, station) == 0;
}

void ShopQueue::listen(Db& listener, bool& listening)
{
    if (!listening) {
        if (listener.reconnect().failed() || listener.execute("LISTEN print_queue").failed()
            || listener.execute("LISTEN shop_events").failed())
            return;
        listening = true;
    }
    const int fd = listener.socket();
    if (fd < 0) {
        listening = false;
        return;
    }
    if (!waitReadable(fd, 200))
        return;
    const auto notes = listener.notifications();
    if (!listener.connected()) {
        listening = false;
        return;
    }
    bool work = false;
    for (const auto& note : notes) {
        if (note.channel == "shop_events")
            receiveEvent(note.payload);
        else
            work = work || targetConcerns(note.payload, m_options.station);
    }
    if (work)
        wakeUp();
}

void ShopQueue::run()
{
    using Clock = std::chrono::steady_clock;
    Db listener;
    listener.connect(m_options.url);
    bool listening = false;
    // Leases are renewed a dozen times within their length, at least every 5 s.
    const auto renewEvery = std::chrono::milliseconds(std::clamp(m_options.leaseSeconds * 1000 / 12, 200, 5000));
    auto keptAt = Clock::time_point{};
    auto polledAt = Clock::now();
    while (!m_stop) {
        listen(listener, listening);
        if (listening)
            sendEvents(listener);
        if (!listening)
            std::this_thread::sleep_for(200ms);
        const auto now = Clock::now();
        bool changed = false;
        {
            const std::lock_guard lock(m_stateMutex);
            changed = m_printersChanged;
        }
        if (now - keptAt >= std::min<Clock::duration>(renewEvery, kPublishEvery) || changed) {
            keptAt = now;
            keepUp();
        }
        if (now - polledAt >= kPollEvery) {
            polledAt = now;
            wakeUp();
        }
    }
}

} // namespace ordavel::service
