#pragma once
// The modal page setup dialog "页面设置": paper size in centimetres, board size
// in pixels (or both taken from the background picture), the background
// picture with its display mode, the board colour and the print-background
// flag. Every message and the file chooser go through the Prompter. OK applies
// the settings to the Document; the caller lays the window out afterwards.
// "扫描生成..." beside the picture turns a scanned form into the background
// and boxes at once and closes the dialog as accepted.
// "每张多份" prints the form several to a sheet: the sheet's size, columns and
// rows, the first form's corner and the step from one form to the next.

#include "model/box.h"
#include "model/document.h"

#include <QDialog>

#include <array>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace ordavel {

class Prompter;

class PageSetupDialog : public QDialog {
    Q_OBJECT
public:
    // `document` and `prompter` are not owned and must outlive the dialog.
    PageSetupDialog(Document& document, Prompter& prompter, QWidget* parent = nullptr);

    QLineEdit* paperWidthField() const { return m_paperWidth; }
    QLineEdit* paperHeightField() const { return m_paperHeight; }
    QLineEdit* boardWidthField() const { return m_boardWidth; }
    QLineEdit* boardHeightField() const { return m_boardHeight; }
    QLineEdit* pathField() const { return m_path; }
    QCheckBox* fitCheck() const { return m_fit; }
    QCheckBox* printCheck() const { return m_print; }
    QCheckBox* sheetCheck() const { return m_sheet; }
    // The sheet fields in order: width, height, columns, rows, first form's
    // left and top, step across and down.
    QLineEdit* sheetField(int which) const { return m_sheetFields[which]; }
    QRadioButton* modeButton(int mode) const; // 0 top-left, 1 stretched, 2 centred
    QPushButton* chooseButton() const { return m_choose; }
    QPushButton* clearButton() const { return m_clear; }
    QPushButton* scanButton() const { return m_scan; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    QToolButton* colorButton() const { return m_colorButton; }
    Color color() const { return m_color; }

    // The reactions of the buttons, also reachable without a click.
    void choosePicture();
    void clearPicture();
    // "扫描生成...": on success the page and boxes are set and the dialog
    // closes as accepted; when cancelled at any step it stays as it was.
    void scanForm();
    void chooseColor();
    // Checks and applies; closes with Accepted on success, else stays open.
    void applyAndClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void load();
    void paperChanged(QLineEdit* board, const QString& text);
    // The focus checks; false after a warning (the focus then goes back).
    bool checkPaperField(QLineEdit* field);
    bool checkBoardField(QLineEdit* field, double minimum);
    void updateBoardFields();
    void updateSheetFields();
    // The sheet as the fields give it, or nothing after a warning.
    // The sheet's fields, checked against the form's paper; nothing, after a
    // warning at the field at fault, when they cannot be used.
    std::optional<SheetLayout> readSheet(double formWidthCm, double formHeightCm);
    void showColor();
    void warn(const char* text);

    Document& m_document;
    Prompter& m_prompter;
    QLineEdit* m_paperWidth = nullptr;
    QLineEdit* m_paperHeight = nullptr;
    QLineEdit* m_boardWidth = nullptr;
    QLineEdit* m_boardHeight = nullptr;
    QLineEdit* m_path = nullptr;
    QPushButton* m_choose = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_scan = nullptr;
    QRadioButton* m_topLeft = nullptr;
    QRadioButton* m_centred = nullptr;
    QRadioButton* m_stretched = nullptr;
    QCheckBox* m_fit = nullptr;
    QCheckBox* m_print = nullptr;
    QToolButton* m_colorButton = nullptr;
    QCheckBox* m_sheet = nullptr;
    std::array<QLineEdit*, 8> m_sheetFields{};
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    Color m_color = kWhite;
    bool m_warning = false; // a focus check is showing its warning
};

} // namespace ordavel
