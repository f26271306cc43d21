#include "designer/printer_calibration_dialog.h"

#include "dialogs/number_text.h"
#include "platform/calibration_page_print.h"
#include "platform/print_journal.h"
#include "platform/calibration_store.h"
#include "platform/paper_question.h"
#include "platform/printer.h"
#include "platform/prompter.h"
#include "print/job_paper.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace ordavel {

namespace {

constexpr const char* kCaption = "打印机校准";

// Where the exact paper size reaches the printer and where it cannot.
constexpr const char* kPaperNote =
    "纸张尺寸以 0.01 毫米送往打印系统（CUPS 的 media 选项，如 Custom.212.9x290.2mm），"
    "页长修正照此生效。PDF 文件的页面尺寸只能取整到 1 点（0.353 毫米），"
    "页面底边最多差 0.18 毫米；页面上的位置不受影响。";

QLineEdit* numberField(QWidget* parent, const char* name)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromUtf8(name));
    field->setMaximumWidth(90);
    return field;
}

QString fixed(double value, int decimals) { return QString::number(value, 'f', decimals); }

} // namespace

PrinterCalibrationDialog::PrinterCalibrationDialog(CalibrationStore& store, Prompter& prompter,
                                                   const QStringList& printers, double paperWidthCm,
                                                   double paperHeightCm, QWidget* parent)
    : QDialog(parent), m_store(store), m_prompter(prompter)
{
    build();
    m_printer->addItems(printers);
    m_paperWidth->setText(formatDouble(paperWidthCm));
    m_paperHeight->setText(formatDouble(paperHeightCm));
    connect(m_printer, &QComboBox::currentTextChanged, this, [this] { loadPrinter(); });
    loadPrinter();
}

void PrinterCalibrationDialog::build()
{
    setObjectName(QStringLiteral("对话框_打印机校准"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setModal(true);

    m_printer = new QComboBox(this);
    m_printer->setObjectName(QStringLiteral("组合框_打印机"));
    m_printer->setEditable(true);
    m_printer->setMinimumWidth(220);
    m_paperWidth = numberField(this, "编辑框_纸张宽度");
    m_paperHeight = numberField(this, "编辑框_纸张高度");
    m_printPage = new QPushButton(QStringLiteral("打印校准页"), this);
    m_printPage->setObjectName(QStringLiteral("按钮_打印校准页"));

    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("打印机："), this), 0, 0);
    top->addWidget(m_printer, 0, 1, 1, 4);
    top->addWidget(new QLabel(QStringLiteral("纸张宽："), this), 1, 0);
    top->addWidget(m_paperWidth, 1, 1);
    top->addWidget(new QLabel(QStringLiteral("厘米  高："), this), 1, 2);
    top->addWidget(m_paperHeight, 1, 3);
    top->addWidget(new QLabel(QStringLiteral("厘米"), this), 1, 4);
    top->addWidget(m_printPage, 2, 1, 1, 4, Qt::AlignLeft);

    auto* measuredBox = new QGroupBox(QStringLiteral("量得的十字位置（毫米，从纸张左边和上边量起）"), this);
    const char* names[] = {"编辑框_左上X", "编辑框_左上Y", "编辑框_右下X", "编辑框_右下Y"};
    for (int i = 0; i < 4; ++i)
        m_measured[i] = numberField(measuredBox, names[i]);
    m_compute = new QPushButton(QStringLiteral("计算"), measuredBox);
    m_compute->setObjectName(QStringLiteral("按钮_计算"));
    auto* measured = new QGridLayout(measuredBox);
    measured->addWidget(new QLabel(QStringLiteral("左上十字 X："), measuredBox), 0, 0);
    measured->addWidget(m_measured[0], 0, 1);
    measured->addWidget(new QLabel(QStringLiteral("Y："), measuredBox), 0, 2);
    measured->addWidget(m_measured[1], 0, 3);
    measured->addWidget(new QLabel(QStringLiteral("右下十字 X："), measuredBox), 1, 0);
    measured->addWidget(m_measured[2], 1, 1);
    measured->addWidget(new QLabel(QStringLiteral("Y："), measuredBox), 1, 2);
    measured->addWidget(m_measured[3], 1, 3);
    measured->addWidget(m_compute, 1, 4);

    auto* resultBox = new QGroupBox(QStringLiteral("校准（打印位置 = 偏移 + 比例 × 设计位置）"), this);
    m_offsetX = numberField(resultBox, "编辑框_水平偏移");
    m_offsetY = numberField(resultBox, "编辑框_垂直偏移");
    m_scaleX = numberField(resultBox, "编辑框_水平比例");
    m_scaleY = numberField(resultBox, "编辑框_垂直比例");
    m_pageLength = numberField(resultBox, "编辑框_页长修正");
    auto* result = new QGridLayout(resultBox);
    result->addWidget(new QLabel(QStringLiteral("水平偏移："), resultBox), 0, 0);
    result->addWidget(m_offsetX, 0, 1);
    result->addWidget(new QLabel(QStringLiteral("毫米   垂直偏移："), resultBox), 0, 2);
    result->addWidget(m_offsetY, 0, 3);
    result->addWidget(new QLabel(QStringLiteral("毫米"), resultBox), 0, 4);
    result->addWidget(new QLabel(QStringLiteral("水平比例："), resultBox), 1, 0);
    result->addWidget(m_scaleX, 1, 1);
    result->addWidget(new QLabel(QStringLiteral("%       垂直比例："), resultBox), 1, 2);
    result->addWidget(m_scaleY, 1, 3);
    result->addWidget(new QLabel(QStringLiteral("%"), resultBox), 1, 4);
    result->addWidget(new QLabel(QStringLiteral("页长修正："), resultBox), 2, 0);
    result->addWidget(m_pageLength, 2, 1);
    result->addWidget(new QLabel(QStringLiteral("毫米（连续纸每页加长）"), resultBox), 2, 2, 1, 3);
    auto* note = new QLabel(QString::fromUtf8(kPaperNote), resultBox);
    note->setObjectName(QStringLiteral("标签_纸张尺寸说明"));
    note->setWordWrap(true);
    result->addWidget(note, 3, 0, 1, 5);

    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("标签_当前校准"));
    m_state->setWordWrap(true);

    m_save = new QPushButton(QStringLiteral("保存"), this);
    m_save->setObjectName(QStringLiteral("按钮_保存"));
    m_save->setDefault(true);
    m_reset = new QPushButton(QStringLiteral("清除校准"), this);
    m_reset->setObjectName(QStringLiteral("按钮_清除校准"));
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("按钮_取消"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_save);
    buttons->addWidget(m_reset);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(measuredBox);
    layout->addWidget(resultBox);
    layout->addWidget(m_state);
    layout->addLayout(buttons);
    setMaximumWidth(560);

    connect(m_printPage, &QPushButton::clicked, this, &PrinterCalibrationDialog::printPage);
    connect(m_compute, &QPushButton::clicked, this, &PrinterCalibrationDialog::compute);
    connect(m_save, &QPushButton::clicked, this, &PrinterCalibrationDialog::save);
    connect(m_reset, &QPushButton::clicked, this, &PrinterCalibrationDialog::reset);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::string PrinterCalibrationDialog::printerName() const { return m_printer->currentText().toStdString(); }

void PrinterCalibrationDialog::warn(const std::string& text)
{
    m_prompter.show(Message{text, kCaption, MessageIcon::Exclamation, MessageButtons::Ok});
}

void PrinterCalibrationDialog::showCalibration(const Calibration& c)
{
    // To 0.001 mm and 0.0001 %: rounding them moves nothing on a page by
    // more than 0.002 mm.
    m_offsetX->setText(fixed(c.offsetXMm, 3));
    m_offsetY->setText(fixed(c.offsetYMm, 3));
    m_scaleX->setText(fixed(c.scaleXPercent, 4));
    m_scaleY->setText(fixed(c.scaleYPercent, 4));
    m_pageLength->setText(fixed(c.pageLengthMm, 2));
}

void PrinterCalibrationDialog::loadPrinter()
{
    const StoredCalibration stored = m_store.load(printerName());
    const Calibration c = stored.calibration.value_or(Calibration{});
    showCalibration(c);
    if (!stored.error.empty())
        m_state->setText(QStringLiteral("已存的校准无法使用：") + QString::fromStdString(stored.error));
    else
        m_state->setText(QStringLiteral("已存的校准：") + QString::fromStdString(describeCalibration(c)));
}

Calibration PrinterCalibrationDialog::calibration() const
{
    return Calibration{parseNumber(m_offsetX->text()), parseNumber(m_offsetY->text()), parseNumber(m_scaleX->text()),
                       parseNumber(m_scaleY->text()), parseNumber(m_pageLength->text())};
}

void PrinterCalibrationDialog::compute()
{
    double m[4];
    for (int i = 0; i < 4; ++i)
        m[i] = parseNumber(m_measured[i]->text());
    const CalibrationSolution solution = solveCalibration(
        {{m[0], m[1]}, {m[2], m[3]}}, parseNumber(m_paperWidth->text()) * 10.0, parseNumber(m_paperHeight->text()) * 10.0);
    if (!solution.calibration) {
        warn(calibrationFaultText(*solution.fault));
        return;
    }
    Calibration c = *solution.calibration;
    c.pageLengthMm = parseNumber(m_pageLength->text());
    showCalibration(c);
}

void PrinterCalibrationDialog::save()
{
    if (printerName().empty()) {
        warn("请选择打印机。");
        return;
    }
    const Calibration c = calibration();
    if (const auto fault = checkCalibration(c)) {
        warn(calibrationFaultText(*fault));
        return;
    }
    const std::string error = m_store.save(printerName(), c);
    if (!error.empty()) {
        m_prompter.show(Message{"无法保存校准：" + error, kCaption, MessageIcon::Stop, MessageButtons::Ok});
        return;
    }
    accept();
}

void PrinterCalibrationDialog::reset()
{
    if (printerName().empty())
        return;
    const std::string error = m_store.remove(printerName());
    if (!error.empty()) {
        m_prompter.show(Message{"无法清除校准：" + error, kCaption, MessageIcon::Stop, MessageButtons::Ok});
        return;
    }
    loadPrinter();
}

void PrinterCalibrationDialog::printPage()
{
    const QString name = m_printer->currentText();
    if (!QPrinterInfo::availablePrinterNames().contains(name)) {
        warn("找不到打印机“" + name.toStdString() + "”。");
        return;
    }
    const double widthMm = parseNumber(m_paperWidth->text()) * 10.0;
    const double heightMm = parseNumber(m_paperHeight->text()) * 10.0;
    if (widthMm < kMinCalibrationPaperMm || heightMm < kMinCalibrationPaperMm) {
        warn("校准页的纸张宽度和高度至少 5 厘米。");
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(name);
    printer.setDocName(QStringLiteral("校准页"));
    // Measured on another sheet, the calibration would be wrong for every form.
    if (!paperAccepted(printer, jobPaperMm(widthMm, heightMm), m_prompter))
        return;
    bool printed = false;
    std::string journalProblem;
    {
        // The progress window, modal to this dialog, also keeps a second click
        // from printing a second page while the first is sent.
        const std::unique_ptr<QProgressDialog> progress = makePrintProgress(this, 1);
        progress->setLabelText(QStringLiteral("正在打印校准页..."));
        progress->setCancelButton(nullptr);
        QCoreApplication::processEvents();
        printed = printCalibrationPage(printer, {widthMm, heightMm, name.toStdString(), calibrationPageDate()},
                                       "designer", &journalProblem);
        progress->setValue(1);
    }
    if (!printed)
        m_prompter.show(Message{"打印机“" + name.toStdString() + "”无法打印。", kCaption, MessageIcon::Stop,
                                MessageButtons::Ok});
    else
        m_prompter.show(Message{"校准页已送到打印机“" + name.toStdString() + "”。\r\n请量出两个十字的位置后填入下面。",
                                kCaption, MessageIcon::Information, MessageButtons::Ok});
    if (!journalProblem.empty())
        m_prompter.show(journalProblemMessage(journalProblem));
}

} // namespace ordavel
