#include "print/paper_form.h"

#include <gtest/gtest.h>

namespace ordavel {
namespace {

const JobPaper kWaybill{23000, 12700};

TEST(PaperForm, IsNamedAfterTheExactSizeAndMeasuredInThousandthsOfAMillimetre)
{
    EXPECT_EQ(paperFormFor(kWaybill), (PaperForm{"Ordavel 230x127mm", 230000, 127000}));
    // Hundredths are kept: a calibrated page length makes a form of its own.
    EXPECT_EQ(paperFormFor(JobPaper{21350, 29047}), (PaperForm{"Ordavel 213.5x290.47mm", 213500, 290470}));
}

TEST(PaperForm, IsMadeWhenMissingCorrectedWhenItsSizeDriftedAndOtherwiseKept)
{
    const PaperForm form = paperFormFor(kWaybill);
    EXPECT_EQ(formStep(form, std::nullopt), FormStep::Create);
    EXPECT_EQ(formStep(form, FormSize{230000, 127000}), FormStep::Keep);
    // Someone made it by hand a hair off, or turned: corrected to the paper.
    EXPECT_EQ(formStep(form, FormSize{230000, 127100}), FormStep::Correct);
    EXPECT_EQ(formStep(form, FormSize{127000, 230000}), FormStep::Correct);
}

TEST(PaperForm, TheDriversSheetDiffersBeyondATenthOfAMillimetreAndItsOwnDot)
{
    // 600 dpi: the driver's sheet in whole dots of 0.042 mm.
    const double dot = 25.4 / 600;
    EXPECT_FALSE(paperDiffers(kWaybill, DriverPaper{230.0, 127.0, dot}));
    EXPECT_FALSE(paperDiffers(kWaybill, DriverPaper{230.12, 126.88, dot}));
    EXPECT_TRUE(paperDiffers(kWaybill, DriverPaper{230.2, 127.0, dot}));
    // A fallback to A4, and the form turned onto its side.
    EXPECT_TRUE(paperDiffers(kWaybill, DriverPaper{210.0, 297.0, dot}));
    EXPECT_TRUE(paperDiffers(kWaybill, DriverPaper{127.0, 230.0, dot}));
    // Without a dot the tolerance is the tenth alone.
    EXPECT_TRUE(paperDiffers(kWaybill, DriverPaper{230.11, 127.0, 0.0}));
}

TEST(PaperForm, TheWarningNamesThePrinterBothSizesAndHowToMakeTheFormByHand)
{
    const DriverPaper a4{210.0, 297.0, 25.4 / 600};
    EXPECT_FALSE(paperWarningText("Counter", kWaybill, std::nullopt, ""));
    EXPECT_FALSE(paperWarningText("Counter", kWaybill, DriverPaper{230.0, 127.0, 0.04}, "no rights"));

    const auto plain = paperWarningText("Counter", kWaybill, a4, "");
    ASSERT_TRUE(plain);
    EXPECT_EQ(*plain, "打印机“Counter”将使用 210.00 × 297.00 毫米的纸张，模板的纸张是 230.00 × 127.00 毫米，"
                      "套打的位置会偏离。");

    const std::string byHand = manualFormText(paperFormFor(JobPaper{21350, 29047}));
    EXPECT_NE(byHand.find("“Ordavel 213.5x290.47mm”"), std::string::npos);
    EXPECT_NE(byHand.find("宽度 21.35 厘米，高度 29.047 厘米"), std::string::npos);
    const auto withForm = paperWarningText("Counter", kWaybill, a4, byHand);
    ASSERT_TRUE(withForm);
    EXPECT_EQ(*withForm, *plain + "\r\n\r\n" + byHand);
}

} // namespace
} // namespace ordavel
