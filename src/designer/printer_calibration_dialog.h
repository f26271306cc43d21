#pragma once
// The modal dialog "打印机校准": for a printer chosen from the installed ones,
// print the calibration page, type where its top-left and bottom-right
// crosses landed, see the offset and scale that follow, adjust them by hand,
// and save them to the user's calibration file or reset the printer to none.
// Messages go through the Prompter with the caption "打印机校准".

#include "print/calibration.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ordavel {

class CalibrationStore;
class Prompter;

class PrinterCalibrationDialog : public QDialog {
    Q_OBJECT
public:
    // `store` and `prompter` are not owned and must outlive the dialog.
    // `printers` fills the printer list (the name can also be typed); the
    // paper size (cm) is the one the calibration page is printed on and
    // measured against. The first printer's stored calibration is shown.
    PrinterCalibrationDialog(CalibrationStore& store, Prompter& prompter, const QStringList& printers,
                             double paperWidthCm, double paperHeightCm, QWidget* parent = nullptr);

    QComboBox* printerBox() const { return m_printer; }
    QLineEdit* paperWidthField() const { return m_paperWidth; }
    QLineEdit* paperHeightField() const { return m_paperHeight; }
    // 0 top-left X, 1 top-left Y, 2 bottom-right X, 3 bottom-right Y (mm).
    QLineEdit* measuredField(int i) const { return m_measured[i]; }
    QLineEdit* offsetXField() const { return m_offsetX; }
    QLineEdit* offsetYField() const { return m_offsetY; }
    QLineEdit* scaleXField() const { return m_scaleX; }
    QLineEdit* scaleYField() const { return m_scaleY; }
    QLineEdit* pageLengthField() const { return m_pageLength; }
    QLabel* stateLabel() const { return m_state; }
    QPushButton* printPageButton() const { return m_printPage; }
    QPushButton* computeButton() const { return m_compute; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* resetButton() const { return m_reset; }

    // The calibration the correction fields hold now.
    Calibration calibration() const;

    // The reactions of the buttons, also reachable without a click.
    // Solves from the four measured values into the correction fields; warns
    // and leaves them when the crosses or the result are unusable.
    void compute();
    // Checks the limits, stores the calibration for the printer and closes
    // with Accepted; warns and stays open otherwise.
    void save();
    // Removes the printer's calibration and shows none.
    void reset();
    // Prints the calibration page on the chosen printer, uncorrected.
    void printPage();

private:
    void build();
    void loadPrinter();
    void showCalibration(const Calibration& calibration);
    void warn(const std::string& text);
    std::string printerName() const;

    CalibrationStore& m_store;
    Prompter& m_prompter;
    QComboBox* m_printer = nullptr;
    QLineEdit* m_paperWidth = nullptr;
    QLineEdit* m_paperHeight = nullptr;
    QLineEdit* m_measured[4] = {};
    QLineEdit* m_offsetX = nullptr;
    QLineEdit* m_offsetY = nullptr;
    QLineEdit* m_scaleX = nullptr;
    QLineEdit* m_scaleY = nullptr;
    QLineEdit* m_pageLength = nullptr;
    QLabel* m_state = nullptr;
    QPushButton* m_printPage = nullptr;
    QPushButton* m_compute = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_reset = nullptr;
};

} // namespace ordavel
