#pragma once
// What the seven property dialogs share: the edit-time position and size
// (pixels or centimetres), the print-time position (and size for graphic
// boxes) in centimetres, the fixed and print flags, the two checks of OK and
// the common writes back into the Document. A dialog edits one box, given by
// its 1-based index, and changes the model only on OK (and through the steps
// a subclass applies before a failing check).

#include "model/box.h"

#include <QDialog>

#include <array>
#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QVBoxLayout;

namespace ordavel {

class Document;
class Prompter;

struct DialogLook {
    QString title;        // window title and caption of every message
    QString printCaption; // caption of the print-time group
    bool printSize;       // has print-time width and height
};

class PropertyDialog : public QDialog {
public:
    PropertyDialog(QWidget* parent, Document& doc, int index, Prompter& prompter, const DialogLook& look);

    // The columns of the open data file, offered by the dialogs whose box
    // takes a data field; set before load().
    void setDataColumns(std::vector<std::string> columns) { m_dataColumns = std::move(columns); }
    // Fills every field from the box; call once after construction.
    void load();
    bool centimetres() const { return m_centimetres; }

protected:
    virtual void loadOwn() {}
    // The OK button: the dialog's own order of checks and writes.
    virtual void apply() = 0;

    Box& box();
    Document& doc() { return m_doc; }
    Prompter& prompter() { return m_prompter; }
    const std::vector<std::string>& dataColumns() const { return m_dataColumns; }
    int boxIndex() const { return m_index; }
    // Where a subclass puts its own groups, above the OK and Cancel buttons.
    QVBoxLayout* ownArea() { return m_ownArea; }

    // Edit-time values in pixels (converted back from centimetres).
    struct EditValues {
        double left, top, width, height;
    };
    // Reads the edit fields and makes the edit-position check; false (message
    // shown) when the box would leave the work area.
    bool readEdit(EditValues& out);
    // Moves and sizes the box's control, truncating toward zero.
    void moveControl(const EditValues& edit);
    void moveControl(const EditValues& edit, int width, int height);
    // Reads the print fields and makes the print-position check; false after
    // the message. Without print size the box's edit size is the extent.
    bool readPrint(const EditValues& edit, PrintRect& out);
    void storePrintRect(const PrintRect& rect);
    // The common part of OK, in order: edit check, move the control, print
    // check, store the print position. False when a check failed (its message shown).
    bool applyPositions();
    // isPrint from the print box, followsEdit from the fixed box.
    void storeFlags();
    // Places handles, marks the document modified and closes with OK.
    void finish();
    void warn(const char* text);

private:
    void switchUnit(bool toCentimetres);
    void follow(int field);
    void fixedClicked();
    double factor(int field) const;

    Document& m_doc;
    int m_index;
    Prompter& m_prompter;
    DialogLook m_look;
    bool m_centimetres = false;
    std::array<QLineEdit*, 4> m_edit{};
    std::array<QLineEdit*, 4> m_print{}; // width and height null without print size
    QRadioButton* m_pixelsButton = nullptr;
    QRadioButton* m_cmButton = nullptr;
    QCheckBox* m_fixed = nullptr;
    QCheckBox* m_isPrint = nullptr;
    QVBoxLayout* m_ownArea = nullptr;
    std::vector<std::string> m_dataColumns;
};

// Pixels held in a double, truncated toward zero into the int range.
int truncatePixels(double value);

} // namespace ordavel
