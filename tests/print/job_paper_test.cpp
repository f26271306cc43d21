#include "print/job_paper.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ordavel {
namespace {

PageSettings pageOf(float widthCm, float heightCm)
{
    PageSettings page;
    page.pageWidth = widthCm;
    page.pageHeight = heightCm;
    return page;
}

TEST(JobPaper, IsTheTypedSizeToTheHundredthOfAMillimetreWithThePageLengthAdded)
{
    // Single-precision sides a hair below the typed value keep their last hundredth.
    EXPECT_EQ(jobPaper(pageOf(23.0f, 12.7f)), (JobPaper{23000, 12700}));
    EXPECT_EQ(jobPaper(pageOf(21.3f, 29.0f), 0.47), (JobPaper{21300, 29047}));
    EXPECT_EQ(jobPaper(pageOf(21.3f, 29.0f), -0.474), (JobPaper{21300, 28953}));
    EXPECT_EQ(jobPaper(pageOf(21.3f, 29.0f), std::nan("")), (JobPaper{21300, 29000}));

    // No size: the printer keeps its own paper.
    EXPECT_FALSE(jobPaper(pageOf(0.0f, 12.7f)));
    EXPECT_FALSE(jobPaper(pageOf(23.0f, -1.0f)));
    EXPECT_FALSE(jobPaperMm(210.0, std::nan("")));
    EXPECT_EQ(jobPaperMm(230.0, 126.996), (JobPaper{23000, 12700}));
}

TEST(JobPaper, KeepsTheFormsOrientationAndNamesItsMediaAsTheSchedulerDoes)
{
    const JobPaper waybill{23000, 12700};
    EXPECT_TRUE(waybill.landscape());
    EXPECT_FALSE((JobPaper{21300, 29000}).landscape());
    EXPECT_EQ(waybill.cupsMedia(), "Custom.230x127mm");
    EXPECT_EQ((JobPaper{21350, 29047}).cupsMedia(), "Custom.213.5x290.47mm");
    EXPECT_EQ((JobPaper{21305, 29000}).cupsMedia(), "Custom.213.05x290mm");

    const auto options = waybill.cupsOptions();
    ASSERT_EQ(options.size(), 2u);
    EXPECT_EQ(options[0], (std::pair<std::string, std::string>{"media", "Custom.230x127mm"}));
    EXPECT_EQ(options[1], (std::pair<std::string, std::string>{"print-scaling", "none"}));
}

} // namespace
} // namespace ordavel
