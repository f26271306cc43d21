#include "shop_queue/station_process.h"

#include <chrono>
#include <sys/select.h>
#include <unistd.h>

namespace ordavel::service {

std::string holderName(const std::string& station)
{
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    const auto started = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    return station + " pid " + std::to_string(::getpid()) + "@" + host + " " + std::to_string(started);
}

bool waitReadable(int socket, int milliseconds)
{
    if (socket < 0)
        return false;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return ::select(socket + 1, &readable, nullptr, nullptr, &wait) > 0;
}

} // namespace ordavel::service
