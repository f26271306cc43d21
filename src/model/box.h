#pragma once
// One box on the board: its type, on-screen rectangle (EditRect, pixels),
// print rectangle (PrintRect, centimetres), flags and every attribute of its
// type. The model is the source of truth; widgets only display a Box.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ordavel {

enum class BoxType : int {
    None = 0,
    EditBox = 1,
    Label = 2,
    PicBox = 3,
    ShapeBox = 4,
    DatePicker = 5,
    ComboBox = 6,
    ColorPicker = 7,
    BarcodeBox = 8,
};

// The file and dialogs use the integer code; anything outside 1..8 is None.
BoxType boxTypeFromCode(int code);
inline int boxTypeCode(BoxType type) { return static_cast<int>(type); }

// Boxes whose PrintRect width and height are their own printed size: picture,
// shape, colour block and barcode. The others print as far as the text goes.
inline bool hasPrintSize(BoxType type)
{
    return type == BoxType::PicBox || type == BoxType::ShapeBox || type == BoxType::ColorPicker
           || type == BoxType::BarcodeBox;
}

// Colours are 0x00BBGGRR: red in the low byte.
using Color = std::uint32_t;
inline constexpr Color kBlack = 0x000000;
inline constexpr Color kWhite = 0xFFFFFF;

// Integer pixel rectangle: the control's own left, top, width and height.
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Where the content is printed, in centimetres from the paper's top-left corner.
struct PrintRect {
    double left = 1.0;
    double top = 1.0;
    double width = 1.0;
    double height = 1.0;
    friend bool operator==(const PrintRect&, const PrintRect&) = default;
};

struct FontSpec {
    std::string face = "宋体";
    int size = 9; // points
    bool bold = false;
    bool italic = false;
    bool strikeOut = false;
    bool underline = false;
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// Calendar date and wall-clock time, no time zone.
struct DateTime {
    int year = 100;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    static DateTime now();
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Shape kinds (ShapeBox wxType).
enum ShapeKind : int {
    ShapeRectangle = 0,
    ShapeSquare = 1,
    ShapeEllipse = 2,
    ShapeCircle = 3,
    ShapeRoundRect = 4,
    ShapeRoundSquare = 5,
    ShapeHorizontalLine = 6,
    ShapeVerticalLine = 7,
};

// Line styles (ShapeBox xxType).
enum LineStyle : int { LineNone = 0, LineSolid = 1, LineDot = 2, LineDash = 3, LineDashDot = 4, LineDashDotDot = 5 };

// Symbologies of a barcode box (file key bcType, names in barcode_settings.h).
enum class Symbology : int { Code128 = 0, EAN13, Code39, QR, DataMatrix, PDF417 };
// QR error correction levels (bcECC).
enum class QrEcc : int { L = 0, M, Q, H };

// The settings of a barcode box besides its data, colours and font.
struct BarcodeSettings {
    Symbology symbology = Symbology::Code128; // bcType
    bool humanReadable = true;                // bcHRT: text under a linear code
    double moduleMm = 0.0;                    // bcModule: module width, 0 automatic
    QrEcc ecc = QrEcc::M;                     // bcECC
    int rotation = 0;                         // bcRotate: 0, 90, 180 or 270, clockwise
    friend bool operator==(const BarcodeSettings&, const BarcodeSettings&) = default;
};

// The most cells a text box prints its text in, one character a cell.
inline constexpr int kMaxCells = 64;
// The largest smallest size a text shrinks to, in points.
inline constexpr int kMaxShrinkToFit = 200;

// Every attribute a box of some type can have. Only those of the box's own
// type are meaningful; the comment names the types and the file key.
struct BoxAttributes {
    std::string text;          // EditBox, Label (caption), ComboBox current text, BarcodeBox data: wValue
    Color textColor = kBlack;  // EditBox, Label: Color; also carried to dates and combos when printing
    Color bgColor = kWhite;    // Label, PicBox, ShapeBox (fill): bgColor
    FontSpec font;             // EditBox, Label, DatePicker, ComboBox
    int inputMode = 0;         // EditBox: IType
    bool multiLine = false;    // EditBox: MLine
    int scrollBars = 0;        // EditBox: Scrollbars
    int effect = 0;            // Label: sType (0 normal, 1 sunken, 2 raised, 3 shadow)
    int hAlign = 0;            // Label: 0 left, 1 centre, 2 right
    int vAlign = 0;            // Label: 0 top, 1 centre, 2 bottom
    bool wordWrap = false;     // Label: mLine
    std::string picture;       // PicBox: image file bytes
    int pictureMode = 0;       // PicBox: sType
    int shape = ShapeRectangle; // ShapeBox: wxType
    int lineStyle = LineSolid; // ShapeBox: xxType
    int lineWidth = 1;         // ShapeBox: xWidth
    Color lineColor = kBlack;  // ShapeBox: xtColor
    int lineEffect = 0;        // ShapeBox: xtType
    DateTime dateTime;         // DatePicker: DateTime
    std::vector<std::string> items; // ComboBox list entries
    int listStyle = 0;         // ComboBox: Type
    Color color = kBlack;      // ColorPicker: Color
    BarcodeSettings barcode;   // BarcodeBox (data in text, bars in textColor, ground in bgColor)
    int cellCount = 0;         // EditBox, Label: cells: the text one character a cell, 0 for none
    bool yenBeforeFirst = false; // EditBox, Label: cellYen: a ¥ in the cell before the first character
    int shrinkToFit = 0;       // EditBox, Label: shrinkToFit: the smallest point size a text too wide shrinks to, 0 for none
    friend bool operator==(const BoxAttributes&, const BoxAttributes&) = default;
};

// The attributes a freshly made control of the type shows; Delete restores them.
BoxAttributes defaultAttributes(BoxType type);

// The eight sizing handles, in the order the box keeps them.
enum Handle : int {
    HandleTopLeft = 0,
    HandleMiddleLeft,
    HandleBottomLeft,
    HandleTopMiddle,
    HandleBottomMiddle,
    HandleTopRight,
    HandleMiddleRight,
    HandleBottomRight,
    HandleCount,
};
inline constexpr int kHandleSize = 5;

struct Box {
    BoxType type = BoxType::None;
    int index = 0;            // slot number in BoxList, 1-based; 0 for a free slot
    bool inUse = false;
    PrintRect printRect;
    bool isPrint = true;
    bool followsEdit = true;  // file key pPewW
    std::string picturePath;  // picture file last loaded into a picture box
    int dateFormat = 0;       // DTFormat, 0..8
    std::string comboItems;   // the item list in comma form, as last confirmed or loaded
    std::string dataField;    // file key dataField: the data column a batch prints here, "" for none

    Rect editRect;            // the control on the board, pixels
    bool controlCreated = false;
    bool visible = false;
    bool handlesCreated = false;
    bool handlesVisible = false;
    std::array<Rect, HandleCount> handles{};
    BoxAttributes attributes;
    // Place in the stacking order of the board: a larger value lies in front.
    int zOrder = 0;
    // The EditRect size when the handles were last placed: a box placed again
    // at another size has been sized (see Document::placeHandles).
    int placedWidth = 0;
    int placedHeight = 0;

    friend bool operator==(const Box&, const Box&) = default;

    // A new or deleted box: free slot, PrintRect 1 cm each way, printed, following.
    void resetToInitial();
};

} // namespace ordavel
