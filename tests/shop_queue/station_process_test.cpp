#include "shop_queue/station_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using ordavel::service::waitReadable;
using Clock = std::chrono::steady_clock;

TEST(StationProcess, WaitOnTheDatabaseSocketEndsAtTheTimeoutOrWhenDataComes)
{
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    auto start = Clock::now();
    EXPECT_FALSE(waitReadable(ends[0], 150)) << "nothing was sent";
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(140)) << "the whole timeout, seconds and all";

    ASSERT_EQ(::write(ends[1], "n", 1), 1);
    start = Clock::now();
    EXPECT_TRUE(waitReadable(ends[0], 1500));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000)) << "woken by the data, not the timeout";

    ::close(ends[1]);
    ::close(ends[0]);
    // A connection that is gone has no socket: no wait at all.
    start = Clock::now();
    EXPECT_FALSE(waitReadable(-1, 1000));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

TEST(StationProcess, HolderNameTellsTheStationAndThisProcess)
{
    const std::string name = ordavel::service::holderName("前台");
    EXPECT_EQ(name.rfind("前台 pid " + std::to_string(::getpid()) + "@", 0), 0u) << name;
}

} // namespace
