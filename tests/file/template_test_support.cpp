#include "template_test_support.h"

#include <fstream>
#include <unistd.h>
#include <sstream>

namespace ordavel::testing {

ScratchFolder::ScratchFolder()
{
    static int counter = 0;
    m_path = std::filesystem::temp_directory_path() /
             ("ordavel-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    std::filesystem::create_directories(m_path);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

namespace {

int pick(std::mt19937& rng, int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

std::string randomText(std::mt19937& rng)
{
    static const char* const kPieces[] = {"A", "b", "7", " ", "\r\n", "\t", "\"", "&", "'", "<", ">",
                                          "&quot;", "&amp;", ",", "宋体", "中文", "€", "😀", "𠀀", "ǹ"};
    std::string text;
    const int n = pick(rng, 0, 12);
    for (int i = 0; i < n; ++i)
        text += kPieces[pick(rng, 0, std::size(kPieces) - 1)];
    return text;
}

std::string randomBytes(std::mt19937& rng, int maxLength)
{
    std::string bytes(static_cast<std::size_t>(pick(rng, 0, maxLength)), '\0');
    for (char& c : bytes)
        c = static_cast<char>(pick(rng, 0, 255));
    return bytes;
}

Color randomColor(std::mt19937& rng) { return static_cast<Color>(pick(rng, 0, 0xFFFFFF)); }

FontSpec randomFont(std::mt19937& rng)
{
    return FontSpec{pick(rng, 0, 1) ? "宋体" : randomText(rng), pick(rng, 1, 72), pick(rng, 0, 1) == 1,
                    pick(rng, 0, 1) == 1, pick(rng, 0, 1) == 1, pick(rng, 0, 1) == 1};
}

double randomCm(std::mt19937& rng) { return pick(rng, -500, 5000) / 100.0 + (pick(rng, 0, 3) == 0 ? 1.0 / 3.0 : 0.0); }

} // namespace

void fillRandomDocument(Document& doc, std::mt19937& rng, bool gaps)
{
    PageSettings& page = doc.page();
    page.pageWidth = static_cast<float>(pick(rng, 100, 5000) / 10.0);
    page.pageHeight = static_cast<float>(pick(rng, 100, 5000) / 7.0);
    page.boardWidth = pick(rng, 100, 3000);
    page.boardHeight = pick(rng, 100, 3000);
    page.imgShowType = pick(rng, 0, 2);
    page.bgColor = randomColor(rng);
    page.isPrintBgPic = pick(rng, 0, 1) == 1;
    page.background = randomBytes(rng, 300);

    const int count = pick(rng, 1, 20);
    for (int i = 0; i < count; ++i) {
        const auto type = static_cast<BoxType>(1 + i % 8);
        const int index = doc.addBox(type, pick(rng, -20, 1500), pick(rng, -20, 1500), pick(rng, -5, 400),
                                     pick(rng, -5, 400));
        Box& b = doc.box(index);
        b.printRect = PrintRect{randomCm(rng), randomCm(rng), randomCm(rng), randomCm(rng)};
        b.isPrint = pick(rng, 0, 1) == 1;
        b.followsEdit = pick(rng, 0, 1) == 1;
        BoxAttributes& a = b.attributes;
        a.text = randomText(rng);
        a.textColor = randomColor(rng);
        a.bgColor = randomColor(rng);
        a.font = randomFont(rng);
        a.inputMode = pick(rng, 0, 11);
        a.multiLine = pick(rng, 0, 1) == 1;
        a.scrollBars = pick(rng, 0, 3);
        a.effect = pick(rng, 0, 3);
        a.hAlign = pick(rng, 0, 2);
        a.vAlign = pick(rng, 0, 2);
        a.wordWrap = pick(rng, 0, 1) == 1;
        a.picture = randomBytes(rng, 200);
        a.pictureMode = pick(rng, 0, 2);
        a.shape = pick(rng, 0, 7);
        a.lineStyle = pick(rng, 0, 5);
        a.lineWidth = pick(rng, 0, 10);
        a.lineColor = randomColor(rng);
        a.lineEffect = pick(rng, 0, 2);
        a.dateTime = DateTime{pick(rng, 100, 9999), pick(rng, 1, 12), pick(rng, 1, 28),
                              pick(rng, 0, 23) * pick(rng, 0, 1), pick(rng, 0, 59) * pick(rng, 0, 1),
                              pick(rng, 0, 59) * pick(rng, 0, 1)};
        b.dateFormat = pick(rng, 0, 8);
        a.items.clear();
        for (int k = pick(rng, 0, 4); k > 0; --k)
            a.items.push_back(randomText(rng));
        a.color = randomColor(rng);
        a.barcode = BarcodeSettings{static_cast<Symbology>(pick(rng, 0, 5)), pick(rng, 0, 1) == 1,
                                    pick(rng, 0, 100) / 100.0 + (pick(rng, 0, 3) == 0 ? 1.0 / 3.0 : 0.0),
                                    static_cast<QrEcc>(pick(rng, 0, 3)), 90 * pick(rng, 0, 3)};
    }
    // Gaps in the slot numbers.
    for (int index : doc.liveIndices())
        if (gaps && pick(rng, 0, 3) == 0)
            doc.deleteBox(index);
}

void expectSameModel(const Document& a, const Document& b)
{
    const PageSettings& pa = a.page();
    const PageSettings& pb = b.page();
    EXPECT_EQ(pa.pageWidth, pb.pageWidth);
    EXPECT_EQ(pa.pageHeight, pb.pageHeight);
    EXPECT_EQ(pa.boardWidth, pb.boardWidth);
    EXPECT_EQ(pa.boardHeight, pb.boardHeight);
    EXPECT_EQ(pa.background, pb.background);
    EXPECT_EQ(pa.imgShowType, pb.imgShowType);
    EXPECT_EQ(pa.bgColor, pb.bgColor);
    EXPECT_EQ(pa.isPrintBgPic, pb.isPrintBgPic);
    ASSERT_EQ(a.liveIndices(), b.liveIndices());
    for (int index : a.liveIndices()) {
        const Box& x = a.box(index);
        const Box& y = b.box(index);
        SCOPED_TRACE("box " + std::to_string(index));
        EXPECT_EQ(x.type, y.type);
        EXPECT_EQ(x.printRect, y.printRect);
        EXPECT_EQ(x.isPrint, y.isPrint);
        EXPECT_EQ(x.followsEdit, y.followsEdit);
        EXPECT_EQ(x.editRect, y.editRect);
        EXPECT_EQ(x.dateFormat, y.dateFormat);
        EXPECT_EQ(x.comboItems, y.comboItems);
        EXPECT_EQ(x.dataField, y.dataField);
        EXPECT_EQ(x.picturePath, y.picturePath);
        EXPECT_TRUE(x.attributes == y.attributes);
    }
}

} // namespace ordavel::testing
