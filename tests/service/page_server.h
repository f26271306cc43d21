#pragma once
// The files of data/web, served on a loopback port of their own, so that a
// page has an origin other than the service's.

#include <httplib.h>

#include <string>
#include <thread>

namespace ordavel::test {

class PageServer {
public:
    PageServer()
    {
        m_server.set_mount_point("/", std::string(ORDAVEL_SOURCE_DIR) + "/data/web");
        port = m_server.bind_to_any_port("127.0.0.1");
        if (port > 0)
            m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~PageServer()
    {
        m_server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;
    int port = 0;

private:
    httplib::Server m_server;
    std::thread m_thread;
};

} // namespace ordavel::test
