#include "file/template_reader.h"
#include "file/template_writer.h"
#include "template_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ordavel {
namespace {

using testing::RecordingSink;

class TemplateRoundTrip : public ::testing::TestWithParam<double> {
protected:
    UnitFactors factors = UnitFactors::fromDpi(GetParam());
    testing::ScratchFolder folder;
    RecordingSink sink;

    // Loads file into a fresh document as the Open command does.
    void open(Document& doc, const std::string& file)
    {
        doc.newDocument();
        doc.setFileName(file);
        ASSERT_TRUE(loadDocument(doc, file, sink));
    }
    void removeTemp(Document& doc) { std::filesystem::remove(doc.page().backgroundTempPath); }
};

INSTANTIATE_TEST_SUITE_P(Screens, TemplateRoundTrip, ::testing::Values(96.0, 120.0),
                         [](const ::testing::TestParamInfo<double>& p) { return std::to_string(int(p.param)) + "dpi"; });

TEST_P(TemplateRoundTrip, RandomDocumentsLoadSaveLoadSaveIdentically)
{
    for (unsigned seed = 1; seed <= 25; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        Document original(factors);
        testing::fillRandomDocument(original, rng);
        const std::string file0 = folder.path("r0.oxf");
        const std::string file1 = folder.path("r1.oxf");
        const std::string file2 = folder.path("r2.oxf");
        ASSERT_TRUE(saveDocument(original, file0, sink));

        Document first(factors), second(factors);
        open(first, file0);
        ASSERT_TRUE(saveDocument(first, file1, sink));
        open(second, file1);
        ASSERT_TRUE(saveDocument(second, file2, sink));
        EXPECT_EQ(testing::readFile(file1), testing::readFile(file2));
        testing::expectSameModel(first, second);
        // Slot numbers with gaps load as consecutive slots in file order.
        ASSERT_EQ(first.liveBoxCount(), original.liveBoxCount());
        for (int slot = 1; slot <= first.liveBoxCount(); ++slot)
            EXPECT_EQ(first.box(slot).type, original.box(original.liveIndices()[slot - 1]).type);
        removeTemp(first);
        removeTemp(second);
    }
    EXPECT_TRUE(sink.messages.empty());
}

TEST_P(TemplateRoundTrip, DesignerMadeDocumentSavesLoadsAndSavesUnchanged)
{
    for (unsigned seed = 100; seed < 110; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        Document original(factors);
        testing::fillRandomDocument(original, rng, /*gaps=*/false);
        // As the designer keeps it: a following box prints at its converted edit position.
        for (int index : original.liveIndices()) {
            Box& b = original.box(index);
            if (b.followsEdit) {
                b.printRect.left = factors.boxCmX(b.editRect.left);
                b.printRect.top = factors.boxCmY(b.editRect.top);
            }
        }
        const std::string file0 = folder.path("d0.oxf");
        const std::string file1 = folder.path("d1.oxf");
        ASSERT_TRUE(saveDocument(original, file0, sink));
        Document loaded(factors);
        open(loaded, file0);
        ASSERT_TRUE(saveDocument(loaded, file1, sink));
        EXPECT_EQ(testing::readFile(file0), testing::readFile(file1));
        removeTemp(loaded);
    }
}

} // namespace
} // namespace ordavel
