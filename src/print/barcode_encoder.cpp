#include "print/barcode_encoder.h"

#include "model/barcode_settings.h"

#include <zint.h>

#include <algorithm>
#include <memory>

namespace ordavel {

namespace {

struct SymbolDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool allDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Code 39 carries digits, capitals, space and - . $ / + %.
bool isCode39Text(std::string_view text)
{
    constexpr std::string_view extra = " -.$/+%";
    return std::all_of(text.begin(), text.end(), [&](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || extra.find(c) != std::string_view::npos;
    });
}

// Checks the data the library would refuse with a less helpful text; on
// success `data` is what goes to the library.
std::string checkData(Symbology symbology, std::string& data)
{
    if (data.empty())
        return "条码数据为空。";
    switch (symbology) {
    case Symbology::EAN13: {
        if (!allDigits(data))
            return "EAN-13 只能包含数字。";
        if (data.size() != 12 && data.size() != 13)
            return "EAN-13 需要 12 位数字（校验位自动计算）或 13 位数字（含校验位）。";
        const int check = ean13CheckDigit(std::string_view(data).substr(0, 12));
        if (data.size() == 13 && data[12] - '0' != check)
            return "EAN-13 的校验位错误：最后一位应为 " + std::to_string(check) + "。";
        data.resize(12);
        return {};
    }
    case Symbology::Code39:
        if (!isCode39Text(data))
            return "Code39 只能包含数字、大写字母、空格和 - . $ / + % 符号。";
        return {};
    default: return {};
    }
}

std::string libraryError(int status, Symbology symbology)
{
    if (status == ZINT_ERROR_TOO_LONG)
        return "数据太长，超出了该码制的容量。";
    if (symbology == Symbology::Code128)
        return "Code128 只能编码 ASCII 和西欧字符（Latin-1）。";
    return "数据不能用该码制编码。";
}

int libraryCode(Symbology symbology)
{
    switch (symbology) {
    case Symbology::Code128: return BARCODE_CODE128;
    case Symbology::EAN13: return BARCODE_EANX;
    case Symbology::Code39: return BARCODE_CODE39;
    case Symbology::QR: return BARCODE_QRCODE;
    case Symbology::DataMatrix: return BARCODE_DATAMATRIX;
    case Symbology::PDF417: return BARCODE_PDF417;
    }
    return BARCODE_CODE128;
}

// Quiet zones in modules: 10 beside Code 128 and Code 39, 11 and 7 beside
// EAN-13, 4 around QR, 2 around Data Matrix and PDF417 (twice their minimum).
QuietZone quietZone(Symbology symbology)
{
    switch (symbology) {
    case Symbology::Code128:
    case Symbology::Code39: return {10, 10, 0, 0};
    case Symbology::EAN13: return {11, 7, 0, 0};
    case Symbology::QR: return {4, 4, 4, 4};
    case Symbology::DataMatrix:
    case Symbology::PDF417: return {2, 2, 2, 2};
    }
    return {};
}

constexpr int kUtf8Eci = 26;

} // namespace

int BarcodeSymbol::totalRowHeight() const
{
    int total = 0;
    for (int h : rowHeights)
        total += h;
    return total;
}

int ean13CheckDigit(std::string_view twelveDigits)
{
    int sum = 0;
    for (std::size_t i = 0; i < twelveDigits.size() && i < 12; ++i)
        sum += (twelveDigits[i] - '0') * (i % 2 == 0 ? 1 : 3);
    return (10 - sum % 10) % 10;
}

BarcodeEncoding encodeBarcode(Symbology symbology, std::string_view utf8, QrEcc ecc)
{
    BarcodeEncoding result;
    std::string data(utf8);
    result.error = checkData(symbology, data);
    if (!result.ok())
        return result;

    const std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol) {
        result.error = "数据不能用该码制编码。";
        return result;
    }
    zint_symbol& s = *symbol;
    s.symbology = libraryCode(symbology);
    s.input_mode = UNICODE_MODE;
    s.show_hrt = 1;
    s.warn_level = WARN_FAIL_ALL; // no silent substitutes of the data or the options
    const bool twoDimensional = !isLinear(symbology);
    if (twoDimensional && !isAscii(data))
        s.eci = kUtf8Eci;
    if (symbology == Symbology::QR)
        s.option_1 = static_cast<int>(ecc) + 1; // 1 L .. 4 H
    if (symbology == Symbology::DataMatrix)
        s.option_3 = DM_SQUARE;
    const int status = ZBarcode_Encode(&s, reinterpret_cast<const unsigned char*>(data.data()),
                                       static_cast<int>(data.size()));
    if (status >= ZINT_ERROR || s.rows <= 0 || s.width <= 0) {
        result.error = libraryError(status, symbology);
        return result;
    }

    BarcodeSymbol& out = result.symbol;
    out.columns = s.width;
    out.rows = s.rows;
    out.linear = !twoDimensional;
    out.quiet = quietZone(symbology);
    out.dark.resize(static_cast<std::size_t>(out.rows) * static_cast<std::size_t>(out.columns));
    // The library keeps each row as a bit string, module x in bit x % 8 of byte x / 8.
    for (int row = 0; row < out.rows; ++row)
        for (int column = 0; column < out.columns; ++column)
            out.dark[static_cast<std::size_t>(row * out.columns + column)] =
                static_cast<std::uint8_t>((s.encoded_data[row][column >> 3] >> (column & 7)) & 1);
    // PDF417 rows are 3 modules high; matrix codes have square modules.
    const int rowHeight = symbology == Symbology::PDF417 ? 3 : 1;
    out.rowHeights.assign(static_cast<std::size_t>(out.rows), rowHeight);
    if (out.linear)
        out.humanReadable = reinterpret_cast<const char*>(s.text);
    return result;
}

} // namespace ordavel
