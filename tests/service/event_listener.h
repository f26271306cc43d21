#pragma once
// A client of a service's event stream (/v1/events) in a thread of its own,
// listening until what came holds what the test waits for, until a time
// limit, or until the listener is destroyed. The service sends a keep-alive
// every 15 s, so the stream never falls silent for long enough to end by
// itself: each piece that comes is a chance to stop, and a test that fails
// before it waited never leaves a thread behind.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace ordavel::test {

class EventListener {
public:
    EventListener(int port, const std::string& token, std::function<bool(const std::string&)> heard,
                  std::chrono::seconds within = std::chrono::seconds(120))
        : m_thread([this, port, token, heard = std::move(heard), within] {
              const auto giveUp = std::chrono::steady_clock::now() + within;
              httplib::Client client("127.0.0.1", port);
              client.set_read_timeout(30, 0);
              client.Get("/v1/events", {{"Authorization", "Bearer " + token}}, [&](const char* data, std::size_t size) {
                  m_stream.append(data, size);
                  m_heard = heard(m_stream);
                  return !m_heard && !m_stop && std::chrono::steady_clock::now() < giveUp;
              });
          })
    {
        // The stream is open before the test goes on to what it should tell.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ~EventListener()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    EventListener(const EventListener&) = delete;
    EventListener& operator=(const EventListener&) = delete;

    // Whether what the test waits for came; what came. Waits for the stream to end.
    bool heard()
    {
        if (m_thread.joinable())
            m_thread.join();
        return m_heard;
    }
    const std::string& stream()
    {
        if (m_thread.joinable())
            m_thread.join();
        return m_stream;
    }

private:
    std::string m_stream;
    std::atomic<bool> m_heard{false};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace ordavel::test
