#include "stop_request.h"

#include <csignal>
#include <pthread.h>

namespace ordavel::cli {

namespace {

sigset_t stopping()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

} // namespace

StopRequest::StopRequest()
{
    // Signals are taken by the waiting thread alone (sigwait).
    const sigset_t set = stopping();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void StopRequest::wait()
{
    const sigset_t set = stopping();
    int signal = 0;
    sigwait(&set, &signal);
}

} // namespace ordavel::cli
