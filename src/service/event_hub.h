#pragma once
// Job and record state changes handed to the event streams that listen for
// them, each stream seeing only its own token's events.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ordavel::service {

class EventHub {
public:
    // A listener's own queue; a slow listener loses its oldest events past
    // kMaxPending rather than holding memory.
    class Listener {
    public:
        static constexpr std::size_t kMaxPending = 10000;
        // Waits up to `timeoutMs` for events and moves them to `out` (possibly
        // none); false once the hub is closed and nothing is left.
        bool take(int timeoutMs, std::vector<std::string>& out);

    private:
        friend class EventHub;
        std::string m_owner;
        std::mutex m_mutex;
        std::condition_variable m_ready;
        std::deque<std::string> m_pending;
        bool m_closed = false;
    };

    std::shared_ptr<Listener> listen(const std::string& owner);
    void forget(const std::shared_ptr<Listener>& listener);
    // `json`, one line, goes to every listener of `owner`.
    void publish(const std::string& owner, const std::string& json);
    // Wakes every listener, which then ends.
    void close();
    std::size_t listeners();

private:
    std::mutex m_mutex;
    std::vector<std::shared_ptr<Listener>> m_listeners;
};

} // namespace ordavel::service
