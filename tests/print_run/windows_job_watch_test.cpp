#include "print_run/windows_job_watch.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace ordavel;
using namespace ordavel::windows_job_status;

struct StatusCase {
    const char* name;
    unsigned long status;
    SpoolJobState state;
};

class WindowsJobStatus : public testing::TestWithParam<StatusCase> {};

TEST_P(WindowsJobStatus, MapsToOneState)
{
    EXPECT_EQ(windowsJobState(GetParam().status), GetParam().state) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, WindowsJobStatus,
    testing::Values(StatusCase{"waiting", 0, SpoolJobState::Pending},
                    StatusCase{"spooling", kSpooling, SpoolJobState::Processing},
                    StatusCase{"printing while spooling", kSpooling | kPrinting, SpoolJobState::Processing},
                    // Sent to the printer is not printed: the paper may still jam.
                    StatusCase{"sent", kComplete, SpoolJobState::Processing},
                    StatusCase{"printed", kPrinted, SpoolJobState::Completed},
                    StatusCase{"printed and being deleted", kPrinted | kDeleting, SpoolJobState::Completed},
                    StatusCase{"deleting", kDeleting | kPrinting, SpoolJobState::Cancelled},
                    StatusCase{"deleted", kDeleted, SpoolJobState::Cancelled},
                    StatusCase{"error while printing", kError | kPrinting, SpoolJobState::Stopped},
                    StatusCase{"out of paper", kPaperOut | kPrinting, SpoolJobState::Stopped},
                    StatusCase{"printer off line", kOffline, SpoolJobState::Stopped},
                    StatusCase{"paused", kPaused, SpoolJobState::Held}),
    [](const testing::TestParamInfo<StatusCase>& row) {
        std::string name = row.param.name;
        for (char& c : name)
            if (c == ' ')
                c = '_';
        return name;
    });

// The statuses a job showed, in order, and what its leaving the queue then tells.
struct Story {
    const char* name;
    std::vector<unsigned long> statuses;
    std::optional<SpoolJobState> ended;
};

class WindowsJobLeavingQueue : public testing::TestWithParam<Story> {};

TEST_P(WindowsJobLeavingQueue, EndsOnlyAsItsStatusesTell)
{
    WindowsJobWatch watch;
    for (const unsigned long status : GetParam().statuses)
        (void)watch.seen(7, status);
    EXPECT_EQ(watch.vanished(7), GetParam().ended) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Stories, WindowsJobLeavingQueue,
    testing::Values(Story{"never seen", {}, std::nullopt},
                    // Gone between two looks: it may have printed or been deleted.
                    Story{"seen only spooling", {kSpooling}, std::nullopt},
                    Story{"seen only waiting", {0, 0}, std::nullopt},
                    Story{"seen printing", {kSpooling, kPrinting}, SpoolJobState::Completed},
                    Story{"seen sent to the printer", {kPrinting, kComplete}, SpoolJobState::Completed},
                    Story{"seen printing after an error", {kPrinting, kError | kPrinting, kPrinting}, std::nullopt},
                    Story{"seen being deleted while printing", {kPrinting, kDeleting | kPrinting},
                          SpoolJobState::Cancelled},
                    Story{"restarted after an error, then printing", {kError | kPrinting, kRestart, kPrinting},
                          SpoolJobState::Completed},
                    Story{"restarted, gone before printing again", {kPrinting, kRestart, kSpooling}, std::nullopt}),
    [](const testing::TestParamInfo<Story>& row) {
        std::string name = row.param.name;
        for (char& c : name)
            if (c == ' ' || c == ',')
                c = '_';
        return name;
    });

TEST(WindowsJobWatch, KnowsEachJobApartAndForgetsEndedOnes)
{
    WindowsJobWatch watch;
    EXPECT_EQ(watch.seen(1, kPrinting), SpoolJobState::Processing);
    EXPECT_EQ(watch.seen(2, kSpooling), SpoolJobState::Processing);
    EXPECT_EQ(watch.vanished(2), std::nullopt);
    EXPECT_EQ(watch.vanished(1), SpoolJobState::Completed);
    // Told once: asked again, the job is one it no longer knows.
    EXPECT_EQ(watch.vanished(1), std::nullopt);
    // A job that was seen printed is not kept: its state was given when seen.
    EXPECT_EQ(watch.seen(3, kPrinted), SpoolJobState::Completed);
    EXPECT_EQ(watch.vanished(3), std::nullopt);
}

TEST(WindowsJobWatch, ForgetsAJobTakenBack)
{
    WindowsJobWatch watch;
    (void)watch.seen(4, kPrinting);
    watch.forget(4);
    EXPECT_EQ(watch.vanished(4), std::nullopt);
}

} // namespace
