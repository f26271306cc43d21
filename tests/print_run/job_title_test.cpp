#include "print_run/job_title.h"

#include <gtest/gtest.h>

using namespace ordavel;

TEST(JobTitle, NamesEveryRecordOfOneOrSeveralJobsAndReadsBack)
{
    EXPECT_EQ(jobTitle(17, 51, 100, "waybill.oxf"), "ordavel-journal 17:51-100 waybill.oxf");
    EXPECT_EQ(jobTitle(3, 1, 1), "ordavel-journal 3:1");
    const auto range = recordsOfTitle(jobTitle(17, 51, 100, "my waybill.oxf"));
    ASSERT_EQ(range.size(), 50u);
    EXPECT_EQ(range.front(), (RecordRef{17, 51}));
    EXPECT_EQ(range.back(), (RecordRef{17, 100}));

    const std::vector<RecordRef> refs{{12, 1}, {12, 2}, {12, 3}, {13, 1}, {12, 5}, {14, 7}, {14, 8}};
    EXPECT_EQ(jobTitle(refs), "ordavel-journal 12:1-3,13:1,12:5,14:7-8");
    EXPECT_EQ(recordsOfTitle(jobTitle(refs)), refs);
    // One-record jobs in a row take one run; a job with more records ends it.
    const std::vector<RecordRef> singles{{20, 1}, {21, 1}, {22, 1}, {23, 1}, {23, 2}, {30, 1}};
    EXPECT_EQ(jobTitle(singles), "ordavel-journal 20-22:1,23:1-2,30:1");
    EXPECT_EQ(recordsOfTitle(jobTitle(singles, "card")), singles);
    std::vector<RecordRef> fifty;
    for (int job = 10000; job < 10050; ++job)
        fifty.emplace_back(job, 1);
    EXPECT_EQ(jobTitle(fifty), "ordavel-journal 10000-10049:1");
}

TEST(JobTitle, ReadsTheTitlesEarlierVersionsWrote)
{
    EXPECT_EQ(recordsOfTitle("ordavel-journal 17 records 2-3 waybill.oxf"),
              (std::vector<RecordRef>{{17, 2}, {17, 3}}));
    EXPECT_EQ(recordsOfTitle("ordavel-journal 3 records 1-1"), (std::vector<RecordRef>{{3, 1}}));
    EXPECT_EQ(recordsOfTitle("ordavel-service 12:1-2,13:1"), (std::vector<RecordRef>{{12, 1}, {12, 2}, {13, 1}}));
}

TEST(JobTitle, IgnoresTitlesThatAreNotOurs)
{
    for (const char* foreign :
         {"waybill.oxf 1-50", "ordavel-journal x records 1-2", "ordavel-journal 3 records 5-4",
          "ordavel-journal 3 records 1-20x", "ordavel-journal 0 records 1-2", "ordavel-journal ", "ordavel-journal 12",
          "ordavel-journal 12:3-1", "ordavel-journal x:1", "ordavel-journal 1:1,", "ordavel-journal 0:1",
          "ordavel-journal 1:1-999999999", "ordavel-journal 5-3:1", "ordavel-journal 3-5:2", "ordavel-service ",
          "ordavel-service 1:1, name", "ordavel-journal12:1"})
        EXPECT_TRUE(recordsOfTitle(foreign).empty()) << foreign;
}
