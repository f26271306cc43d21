#include "model/barcode_settings.h"
#include "print/barcode_encoder.h"
#include "print/barcode_render.h"
#include "print/box_render.h"
#include "recording_surface.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ordavel {
namespace {

TEST(BarcodeEncoder, Ean13ComputesOrVerifiesItsCheckDigit)
{
    EXPECT_EQ(ean13CheckDigit("690123456789"), 2);
    EXPECT_EQ(ean13CheckDigit("400638133393"), 1);

    const BarcodeEncoding twelve = encodeBarcode(Symbology::EAN13, "690123456789", QrEcc::M);
    ASSERT_TRUE(twelve.ok()) << twelve.error;
    EXPECT_EQ(twelve.symbol.columns, 95);
    EXPECT_EQ(twelve.symbol.humanReadable, "6901234567892");

    const BarcodeEncoding right = encodeBarcode(Symbology::EAN13, "6901234567892", QrEcc::M);
    ASSERT_TRUE(right.ok());
    EXPECT_EQ(right.symbol.dark, twelve.symbol.dark);

    EXPECT_EQ(encodeBarcode(Symbology::EAN13, "6901234567890", QrEcc::M).error,
              "EAN-13 的校验位错误：最后一位应为 2。");
    EXPECT_EQ(encodeBarcode(Symbology::EAN13, "69012345678A", QrEcc::M).error, "EAN-13 只能包含数字。");
    EXPECT_EQ(encodeBarcode(Symbology::EAN13, "12345", QrEcc::M).error,
              "EAN-13 需要 12 位数字（校验位自动计算）或 13 位数字（含校验位）。");
}

TEST(BarcodeEncoder, RefusesDataTheSymbologyCannotCarry)
{
    EXPECT_EQ(encodeBarcode(Symbology::Code128, "", QrEcc::M).error, "条码数据为空。");
    EXPECT_EQ(encodeBarcode(Symbology::Code39, "abc", QrEcc::M).error,
              "Code39 只能包含数字、大写字母、空格和 - . $ / + % 符号。");
    EXPECT_EQ(encodeBarcode(Symbology::Code128, "运单", QrEcc::M).error,
              "Code128 只能编码 ASCII 和西欧字符（Latin-1）。");
    // Version 40-H holds 1273 bytes.
    EXPECT_EQ(encodeBarcode(Symbology::QR, std::string(1300, 'x'), QrEcc::H).error, "数据太长，超出了该码制的容量。");
    EXPECT_TRUE(encodeBarcode(Symbology::QR, std::string(1200, 'x'), QrEcc::L).ok());
}

TEST(BarcodeEncoder, GivesModuleGridsWithQuietZones)
{
    const BarcodeEncoding code128 = encodeBarcode(Symbology::Code128, "Ab1", QrEcc::M);
    ASSERT_TRUE(code128.ok());
    EXPECT_TRUE(code128.symbol.linear);
    // Start B is 11010010000; every Code 128 symbol ends with the stop bars 1100011101011.
    const auto row = [](const BarcodeSymbol& s, int from, int count) {
        std::string bits;
        for (int c = from; c < from + count; ++c)
            bits += s.isDark(0, c) ? '1' : '0';
        return bits;
    };
    EXPECT_EQ(row(code128.symbol, 0, 11), "11010010000");
    EXPECT_EQ(row(code128.symbol, code128.symbol.columns - 13, 13), "1100011101011");
    EXPECT_EQ(code128.symbol.quiet, (QuietZone{10, 10, 0, 0}));

    const BarcodeEncoding qr = encodeBarcode(Symbology::QR, "中文", QrEcc::H);
    ASSERT_TRUE(qr.ok());
    EXPECT_FALSE(qr.symbol.linear);
    EXPECT_EQ(qr.symbol.columns, qr.symbol.rows);
    EXPECT_EQ((qr.symbol.columns - 17) % 4, 0); // versions are 21, 25, ... modules
    EXPECT_EQ(qr.symbol.quiet, (QuietZone{4, 4, 4, 4}));
    EXPECT_TRUE(qr.symbol.humanReadable.empty());

    const BarcodeEncoding pdf = encodeBarcode(Symbology::PDF417, "ORDAVEL", QrEcc::M);
    ASSERT_TRUE(pdf.ok());
    EXPECT_EQ(pdf.symbol.totalRowHeight(), 3 * pdf.symbol.rows);
}

BarcodeSymbol sampleSymbol(Symbology symbology, const char* data)
{
    const BarcodeEncoding encoding = encodeBarcode(symbology, data, QrEcc::M);
    EXPECT_TRUE(encoding.ok()) << encoding.error;
    return encoding.symbol;
}

bool whole(double value) { return std::abs(value - std::round(value)) < 1e-6; }

// 600 dpi in 0.1 mm units: one dot is 254/600 units.
constexpr double kDot600 = 254.0 / 600.0;

TEST(BarcodePlan, PrinterModulesAreWholeDotsRoundedToTheNearest)
{
    const BarcodeSymbol symbol = sampleSymbol(Symbology::Code128, "SF1234567890");
    BarcodeSettings settings;
    settings.moduleMm = 0.33; // 7.8 dots
    BarcodeTarget target{{123.4, 56.7, 800.0, 150.0}, 10.0, kDot600, 0.0, 0.0};
    const BarcodePlan plan = planBarcode(symbol, settings, target);
    ASSERT_TRUE(plan.fits);
    EXPECT_DOUBLE_EQ(plan.module / kDot600, 8.0);
    for (const AreaRect& bar : plan.bars) {
        EXPECT_TRUE(whole(bar.x / kDot600)) << bar.x;
        EXPECT_TRUE(whole(bar.width / plan.module)) << bar.width;
        EXPECT_TRUE(whole(bar.y / kDot600));
    }
    // Inside the box, with the quiet zone.
    const int across = symbol.columns + 20;
    EXPECT_NEAR(plan.ground.width, across * plan.module, 1e-9);
    EXPECT_GE(plan.ground.x, 123.4 - kDot600);
    EXPECT_LE(plan.ground.x + plan.ground.width, 123.4 + 800.0 + kDot600);

    // Asking for less than a dot gives one dot; for more than fits, the most that fits.
    settings.moduleMm = 0.01;
    EXPECT_DOUBLE_EQ(planBarcode(symbol, settings, target).module, kDot600);
    settings.moduleMm = 5.0;
    const double most = std::floor(800.0 / kDot600 / across);
    EXPECT_DOUBLE_EQ(planBarcode(symbol, settings, target).module, most * kDot600);
    settings.moduleMm = 0.0;
    EXPECT_DOUBLE_EQ(planBarcode(symbol, settings, target).module, most * kDot600);
}

TEST(BarcodePlan, TooSmallForOneDotPerModuleDrawsNothing)
{
    const BarcodeSymbol symbol = sampleSymbol(Symbology::QR, "https://example.org/a/long/path?with=query");
    const int across = symbol.columns + 8;
    BarcodeSettings settings;
    BarcodeTarget target{{0.0, 0.0, across * kDot600 - 0.01, 500.0}, 10.0, kDot600, 0.0, 0.0};
    EXPECT_FALSE(planBarcode(symbol, settings, target).fits);
    target.box.width = across * kDot600 + 0.01;
    const BarcodePlan plan = planBarcode(symbol, settings, target);
    ASSERT_TRUE(plan.fits);
    EXPECT_DOUBLE_EQ(plan.module, kDot600);
    // Exact output: the smallest module is a dot at the reference resolution.
    target.dot = 0.0;
    target.box.width = across * 254.0 / kReferenceDpi * 0.99;
    EXPECT_FALSE(planBarcode(symbol, settings, target).fits);
    target.box.width = across * 254.0 / kReferenceDpi * 1.01;
    EXPECT_TRUE(planBarcode(symbol, settings, target).fits);
}

TEST(BarcodePlan, ExactOutputKeepsTheModuleAskedForOrFillsTheBox)
{
    const BarcodeSymbol symbol = sampleSymbol(Symbology::DataMatrix, "ABC");
    const int across = symbol.columns + 4;
    BarcodeSettings settings;
    settings.moduleMm = 0.5;
    BarcodeTarget target{{10.0, 20.0, 300.0, 200.0}, 10.0, 0.0, 0.0, 0.0};
    BarcodePlan plan = planBarcode(symbol, settings, target);
    ASSERT_TRUE(plan.fits);
    EXPECT_DOUBLE_EQ(plan.module, 5.0);
    // Centred.
    EXPECT_DOUBLE_EQ(plan.ground.x + plan.ground.width / 2.0, 160.0);
    EXPECT_DOUBLE_EQ(plan.ground.y + plan.ground.height / 2.0, 120.0);
    settings.moduleMm = 0.0;
    plan = planBarcode(symbol, settings, target);
    EXPECT_DOUBLE_EQ(plan.module, 200.0 / across); // the height limits a square symbol
    EXPECT_DOUBLE_EQ(plan.ground.height, 200.0);
}

TEST(BarcodePlan, RotationTurnsBarsAndTextClockwise)
{
    const BarcodeSymbol symbol = sampleSymbol(Symbology::Code39, "AB");
    BarcodeSettings settings;
    BarcodeTarget target{{0.0, 0.0, 100.0, 400.0}, 10.0, 0.0, 20.0, 30.0};
    settings.rotation = 90;
    const BarcodePlan plan = planBarcode(symbol, settings, target);
    ASSERT_TRUE(plan.fits);
    // The symbol runs down the box: its width is the box's height.
    EXPECT_DOUBLE_EQ(plan.ground.height, 400.0);
    EXPECT_DOUBLE_EQ(plan.ground.width, 100.0);
    for (const AreaRect& bar : plan.bars)
        EXPECT_DOUBLE_EQ(bar.width, 80.0); // bars across, text beside them
    // The first bar starts after the quiet zone, at the top.
    EXPECT_DOUBLE_EQ(plan.bars.front().y, 10 * plan.module);
    EXPECT_DOUBLE_EQ(plan.bars.front().x, 20.0);
    EXPECT_TRUE(plan.hasText);
    EXPECT_EQ(plan.rotation, 90);
    EXPECT_DOUBLE_EQ(plan.textX, 20.0);
    EXPECT_DOUBLE_EQ(plan.textY, (400.0 - 30.0) / 2.0);

    settings.rotation = 180;
    const BarcodePlan turned = planBarcode(symbol, settings, target);
    settings.rotation = 0;
    const BarcodePlan upright = planBarcode(symbol, settings, target);
    ASSERT_EQ(turned.bars.size(), upright.bars.size());
    const AreaRect& first = upright.bars.front();
    const AreaRect& same = turned.bars.front();
    EXPECT_DOUBLE_EQ(same.x + same.width, 100.0 - first.x);
    EXPECT_DOUBLE_EQ(same.y, 20.0); // text above, bars below
}

Box barcodeBox(Symbology symbology, const char* data)
{
    Box box;
    box.type = BoxType::BarcodeBox;
    box.inUse = true;
    box.attributes = defaultAttributes(BoxType::BarcodeBox);
    box.attributes.barcode.symbology = symbology;
    box.attributes.text = data;
    box.attributes.textColor = 0x112233;
    box.attributes.bgColor = 0xFFEEDD;
    box.printRect = PrintRect{2.0, 3.0, 4.0, 1.5};
    return box;
}

TEST(BarcodeRender, DrawsGroundBarsAndTextOrNothing)
{
    const UnitFactors factors = UnitFactors::fromDpi(96.0);
    Box box = barcodeBox(Symbology::Code128, "12345678");
    test::RecordingSurface surface(30.0, kDot600);
    surface.exact = false;
    drawBox(box, RenderTarget::Printer, factors, surface);
    ASSERT_GE(surface.drawn.size(), 3u);
    EXPECT_EQ(surface.drawn.front().rfind("area ", 0), 0u);
    EXPECT_NE(surface.drawn.front().find("FFEEDD"), std::string::npos);
    EXPECT_NE(surface.drawn[1].find("112233"), std::string::npos);
    EXPECT_EQ(surface.drawn.back().rfind("rotatedText ", 0), 0u);
    EXPECT_NE(surface.drawn.back().find(" 0 12345678"), std::string::npos);

    box.attributes.barcode.humanReadable = false;
    test::RecordingSurface plain;
    drawBox(box, RenderTarget::Printer, factors, plain);
    EXPECT_EQ(plain.drawn.back().find("rotatedText"), std::string::npos);

    for (Box bad : {barcodeBox(Symbology::EAN13, "6901234567890"), barcodeBox(Symbology::Code128, "")}) {
        test::RecordingSurface none;
        drawBox(bad, RenderTarget::Printer, factors, none);
        EXPECT_TRUE(none.drawn.empty());
    }
    Box tiny = barcodeBox(Symbology::Code128, "12345678");
    tiny.printRect.width = 0.4; // 99 modules in 4 mm: under one dot at 600 dpi
    test::RecordingSurface none(30.0, kDot600);
    none.exact = false;
    drawBox(tiny, RenderTarget::Printer, factors, none);
    EXPECT_TRUE(none.drawn.empty());
}

TEST(BarcodeRender, ProblemTextsForTheDialog)
{
    EXPECT_EQ(barcodeProblem(barcodeBox(Symbology::EAN13, "6901234567890"), 3.0),
              "EAN-13 的校验位错误：最后一位应为 2。");
    EXPECT_EQ(barcodeProblem(barcodeBox(Symbology::QR, "运单号 SF123"), 3.0), "");
    Box tiny = barcodeBox(Symbology::Code128, "12345678");
    tiny.printRect.width = 0.8; // 99 modules in 8 mm, 0.0847 mm per dot at 300 dpi
    EXPECT_EQ(barcodeProblem(tiny, 3.0), "条码框太小，每个模块不足一个打印点，打印时不输出条码。");
    tiny.printRect.width = 0.85;
    EXPECT_EQ(barcodeProblem(tiny, 3.0), "");
    // A linear code needs room for its bars above the text.
    tiny.printRect.height = 0.3;
    EXPECT_NE(barcodeProblem(tiny, 3.0), "");
}

TEST(BarcodeSettingsNames, EveryNameReadsBack)
{
    for (int i = 0; i < kSymbologyCount; ++i) {
        const auto symbology = static_cast<Symbology>(i);
        EXPECT_EQ(symbologyFromName(symbologyName(symbology)), symbology);
    }
    for (QrEcc ecc : {QrEcc::L, QrEcc::M, QrEcc::Q, QrEcc::H})
        EXPECT_EQ(eccFromName(eccName(ecc)), ecc);
    EXPECT_EQ(symbologyFromName("qr"), std::nullopt);
    EXPECT_EQ(eccFromName(""), std::nullopt);
}

} // namespace
} // namespace ordavel
