#pragma once
// Turning a barcode box's data into its symbol: a grid of dark and light
// modules. The one place that knows the encoding library; nothing else in
// the program includes it, so it can be replaced behind this interface.

#include "model/box.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel {

// Quiet zone around the symbol, in modules.
struct QuietZone {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    friend bool operator==(const QuietZone&, const QuietZone&) = default;
};

struct BarcodeSymbol {
    int columns = 0;                 // modules across
    int rows = 0;                    // module rows
    std::vector<std::uint8_t> dark;  // rows x columns, row by row; 1 = dark
    std::vector<int> rowHeights;     // height of each row in modules (PDF417 rows are 3 high)
    bool linear = false;             // one row whose bars take the whole height of the box
    std::string humanReadable;       // UTF-8 text under a linear code (with its check digit)
    QuietZone quiet;

    bool isDark(int row, int column) const { return dark[static_cast<std::size_t>(row * columns + column)] != 0; }
    int totalRowHeight() const;
};

// The symbol, or the reason there is none: `error` holds a message for the
// property dialog ("" on success).
struct BarcodeEncoding {
    BarcodeSymbol symbol;
    std::string error;
    bool ok() const { return error.empty(); }
};

// Encodes UTF-8 `data`. Code 128 picks its subsets itself (Latin-1 text);
// EAN-13 takes 12 digits (the check digit is computed) or 13 (the check digit
// is verified); QR, Data Matrix and PDF417 carry text that is not plain ASCII
// as UTF-8 behind an ECI marker, so that it reads back as the same text.
BarcodeEncoding encodeBarcode(Symbology symbology, std::string_view data, QrEcc ecc);

// The EAN-13 check digit of 12 digits (weights 1, 3 from the left).
int ean13CheckDigit(std::string_view twelveDigits);

} // namespace ordavel
