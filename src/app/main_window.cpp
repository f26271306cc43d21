#include "app/main_window.h"

#include "app/load_progress.h"
#include "app/splash_window.h"
#include "designer/box_menus.h"
#include "designer/control_toolbar.h"
#include "designer/data_panel.h"
#include "designer/design_keys.h"
#include "designer/file_toolbar.h"
#include "designer/help_window.h"
#include "designer/journal_window.h"
#include "designer/service_queue_label.h"
#include "designer/shop_station_label.h"
#include "designer/upload_waiting_label.h"
#include "designer/mouse_controller.h"
#include "designer/page_setup_dialog.h"
#include "designer/printer_calibration_dialog.h"
#if ORDAVEL_WITH_SCAN
#include "designer/scan_proposals_dialog.h"
#include "designer/scan_review_state.h"
#endif
#include "designer/slot_tab_order.h"
#include "designer/undo_controller.h"
#include "designer/work_area.h"
#include "designer/workbench.h"
#include "designer/workbench_layout.h"
#include "dialogs/property_dialogs.h"
#include "file/template_reader.h"
#include "model/alignment.h"
#include "platform/calibration_store.h"
#include "platform/file_history.h"
#include "platform/print_journal.h"
#include "platform/printer.h"
#include "platform/paper_question.h"
#include "platform/system_spooler.h"
#include "platform/window_print.h"
#include "platform/prompter.h"
#include "shop/library_copy.h"
#include "shop/users_journal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QStatusBar>
#include <QUrl>

namespace ordavel {

namespace {

constexpr int kStatusWidths[PanelCount] = {120, 120, 160, 360};
constexpr int kWindowWidth = 1024;
constexpr int kScreenHeightReserve = 35;
// Long walks let events run at most this often: often enough for the window
// to answer, seldom enough that redrawing does not cost more than the walk.
constexpr qint64 kEventsEveryMs = 40;

QString q(const std::string& text) { return QString::fromStdString(text); }

} // namespace

MainWindow::MainWindow(Prompter& prompter, const UnitFactors& factors, QWidget* parent)
    : QMainWindow(parent), m_prompter(prompter), m_document(factors), m_loadProgressDelayMs(LoadProgress::kQuietMs)
{
    setObjectName(QStringLiteral("主窗口"));

    m_fileBar = new FileToolBar(this);
    addToolBar(Qt::TopToolBarArea, m_fileBar);
    setUpData(); // beside the file commands
    addToolBarBreak(Qt::TopToolBarArea);
    m_controlBar = new ControlToolBar(this);
    addToolBar(Qt::TopToolBarArea, m_controlBar);
    connect(m_fileBar, &FileToolBar::commandTriggered, this, &MainWindow::dispatch);
    connect(m_fileBar, &FileToolBar::templateChosen, this,
            [this](const QString& fileName) { m_files.openRecent(fileName.toStdString()); });
    addAction(m_fileBar->saveMenu()->actions().constFirst()); // its shortcut, also while the Save button is off
    m_fileBar->setLibrary({[] {
                               const auto shop = joinedShop();
                               return shop.ok() && shop.value().has_value();
                           },
                           [this] { return libraryTemplates(); }});
    connect(m_fileBar, &FileToolBar::libraryTemplateChosen, this,
            [this](const QString& name, int revision) { openFromLibrary(name.toStdString(), revision); });

    // The work area is placed by the layout arithmetic, not by QMainWindow's
    // own layout, so it is a plain child and the window has no central widget.
    m_workArea = new WorkArea(m_document, m_prompter, this);
    // Drawing, selecting, moving and sizing boxes; a double click on the empty
    // board opens the page setup, one on a box its property dialog.
    m_mouse = new MouseController(m_document, *m_workArea);
    connect(m_controlBar, &ControlToolBar::boxTypeChosen, m_mouse, &MouseController::chooseBoxType);
    connect(m_mouse, &MouseController::openRequested, this, [this] { dispatch(DesignerCommand::Open); });
    connect(m_mouse, &MouseController::pageSetupRequested, this, &MainWindow::openPageSetup);
    connect(m_mouse, &MouseController::boxDoubleClicked, this,
            [this](int index) { openPropertyDialogFromClick(this, m_document, index, m_prompter, dataColumns()); });
    connect(m_controlBar, &ControlToolBar::commandTriggered, this, &MainWindow::dispatch);
    // The pop-up menus, with the commands of the page setup and the alignment hooked in.
    m_menus = new BoxMenus(m_document, m_prompter, *m_workArea, *m_mouse, this);
    connect(m_controlBar, &ControlToolBar::alignMenuRequested, this, [this](const QPoint& at) {
        if (m_document.appMode() == AppMode::DesignMode)
            m_menus->openMultiSelectionMenu(at);
    });
    m_menus->pageSetup = [this] { openPageSetup(); };
    m_menus->centreBox = [this](int index, bool horizontal) {
        const QWidget* board = m_workArea->workbench();
        if (horizontal)
            centreBoxHorizontally(m_document, index, board->width());
        else
            centreBoxVertically(m_document, index, board->height());
    };
    m_menus->groupCommand = [this](GroupCommand command) { runGroupCommand(command); };
    m_menus->propertyDialog = [this](int index) {
        return showPropertyDialog(this, m_document, index, m_prompter, dataColumns());
    };
    buildStatusBar();
    m_workArea->addPlacementTools(m_controlBar);
#if ORDAVEL_WITH_SCAN
    // After a scan became boxes, the board's review tools work from what its
    // analysis found; the gestures are told when they become available.
    m_scanReview = new ScanReviewState(m_document, this);
    m_mouse->setReview(m_scanReview);
    connect(m_scanReview, &ScanReviewState::presentChanged, this, [this](bool present) {
        m_workArea->workbench()->setToolTip(present ? ScanReviewState::gestureHint() : QString());
        if (present)
            statusBar()->showMessage(ScanReviewState::gestureSummary(), 20000);
        else
            statusBar()->clearMessage();
    });
#endif

    // Long walks over the boxes let painting happen every few boxes; user input
    // waits until the walk is over, so nothing re-enters it. The one exception
    // is the load's progress window, modal to this window, whose Cancel must work.
    m_document.setYield([this] {
        const bool progressAppeared = m_loadProgress && m_loadProgress->step();
        if (!progressAppeared && m_sinceEvents.isValid() && m_sinceEvents.elapsed() < kEventsEveryMs)
            return;
        const bool progressUp = m_loadProgress && m_loadProgress->shown();
        ++m_walkDepth;
        QCoreApplication::processEvents(progressUp ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        --m_walkDepth;
        m_sinceEvents.start();
    });

    // Undo and redo of the designer's changes, and its keyboard.
    m_undo = new UndoController(m_document, this);
    m_undo->walking = [this] { return m_walkDepth > 0; };
    m_undo->dragging = [this] { return m_mouse->draggedBox() != 0 || m_mouse->bandActive(); };
    m_keys = new DesignKeys(m_document, m_workArea->focusHolder(), m_menus->commands(), *m_undo);
    m_keys->busy = [this] { return m_mouse->draggedBox() != 0 || m_mouse->bandActive(); };
    m_tabOrder = new SlotTabOrder(m_document, *m_workArea, this);

    m_document.addObserver(this);
    titleChanged(m_document.title(), m_document.modified());
    for (int panel = 0; panel < PanelCount; ++panel)
        statusTextChanged(panel, m_document.statusText(panel));
    modeChanged(m_document.appMode());
}

MainWindow::~MainWindow()
{
    m_document.removeObserver(this);
    m_document.setYield({});
    // The undo controller, the work area and its box views refer to the
    // document, a member that dies before QObject deletes the children.
    delete m_undo;
    m_undo = nullptr;
    delete m_tabOrder;
    m_tabOrder = nullptr;
    delete m_workArea;
    m_workArea = nullptr;
}

void MainWindow::removeBackgroundTempFile()
{
    std::string& tempPath = m_document.page().backgroundTempPath;
    if (!tempPath.empty())
        QFile::remove(q(tempPath));
    tempPath.clear();
}

void MainWindow::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("状态条1"));
    bar->setSizeGripEnabled(true);
    for (int panel = 0; panel < PanelCount; ++panel) {
        auto* label = new QLabel(bar);
        label->setFixedWidth(kStatusWidths[panel]);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        bar->addWidget(label);
        m_statusPanels[static_cast<std::size_t>(panel)] = label;
    }
    // Centimetres of the mouse and the current box, and the zoom of the board.
    bar->addWidget(m_workArea->placementStatus(), 1);
    bar->addPermanentWidget(m_workArea->zoomBox());
    bar->addPermanentWidget(new ShopStationLabel(ShopConfig(), bar));
    bar->addPermanentWidget(new ServiceQueueLabel(Journal::defaultPath(), bar));
    bar->addPermanentWidget(new UploadWaitingLabel(m_journalSession, bar));
}

JournalResult<std::vector<LibraryRevision>> MainWindow::libraryTemplates()
{
    std::string error;
    const std::shared_ptr<Journal> shop = m_journalSession.journal(error);
    if (!shop)
        return {{}, error};
    if (shop->station().empty())
        return {{}, "this station is in no shop"};
    return shop->libraryTemplates();
}

bool MainWindow::openFromLibrary(const std::string& name, int revision)
{
    if (!m_files.confirmDiscard("打开文件"))
        return false;
    std::string error;
    const std::shared_ptr<Journal> shop = m_journalSession.journal(error);
    LibraryCopy copy;
    if (!shop)
        copy.error = error;
    else
        copy = copyFromLibrary(*shop, name, revision, libraryCopyFolder(m_journalSession.path()));
    if (!copy.error.empty()) {
        m_prompter.show(Message{"无法从模板库取出“" + name + "”：" + copy.error, "模板库", MessageIcon::Exclamation,
                                MessageButtons::Ok});
        return false;
    }
    return openTemplate(copy.path);
}

void MainWindow::placeOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenHeight = screen ? screen->geometry().height() : 768;
    // The outer frame gets the size; the client is smaller by the frame.
    const QRect frame = frameGeometry();
    const int extraWidth = frame.width() - width();
    const int extraHeight = frame.height() - height();
    resize(kWindowWidth - extraWidth, screenHeight - kScreenHeightReserve - extraHeight);
    move(0, 0);
}

void MainWindow::titleChanged(const std::string& title, bool modified)
{
    setWindowTitle(q(title));
    m_fileBar->entry(FileToolBar::Save)->setEnabled(modified || m_document.fileName().empty());
}

void MainWindow::statusTextChanged(int panel, const std::string& text)
{
    // A load changes the box panel several times per box; it is shown once at the end.
    if (m_loadProgress)
        return;
    if (panel >= 0 && panel < PanelCount)
        m_statusPanels[static_cast<std::size_t>(panel)]->setText(q(text));
}

void MainWindow::modeChanged(AppMode mode)
{
    m_fileBar->showMode(mode);
    m_controlBar->setVisible(mode == AppMode::DesignMode);
    layOut();
    m_workArea->showMode(mode);
    showDataCheck();
}

void MainWindow::switchMode(AppMode mode)
{
    if (mode == AppMode::PreviewMode)
        m_workArea->resetScrolling();
    // The model walks the boxes into the mode's behaviour and reports the
    // change, which sets the toolbars, the visibility and the layout. The
    // views follow in one pass at the end, drawn once.
    m_workArea->beginBulkChange();
    m_document.setAppMode(mode);
    m_workArea->endBulkChange();
}

void MainWindow::layOut()
{
    FrameMetrics frame;
    frame.clientWidth = width();
    frame.clientHeight = height();
    frame.fileBarHeight = m_fileBar->sizeHint().height();
    frame.controlBarVisible = !m_controlBar->isHidden();
    frame.controlBarHeight = m_controlBar->sizeHint().height();
    frame.statusBarHeight = statusBar()->sizeHint().height();
    const Rect panel = backgroundPanelRect(frame);
    m_workArea->setGeometry(panel.left, panel.top, panel.width, panel.height);
    m_workArea->layOut();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    layOut();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    layOut();
}

void MainWindow::exitProgram()
{
    if (!m_files.exitRequested())
        return;
    m_exitConfirmed = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_exitConfirmed && !m_files.closeRequested()) {
        event->ignore();
        return;
    }
    m_exitConfirmed = false;
    // The temporary copy of a loaded background picture lives until the window closes.
    removeBackgroundTempFile();
    if (m_help)
        m_help->close();
    event->accept();
}

std::optional<WindowPrint> MainWindow::beginPrint(const QPrinter& printer, JournalKind kind, const DataTable* table,
                                                  const std::vector<BatchItem>& items)
{
    WindowPrint print;
    print.doc = &m_document;
    print.calibration = calibrationFor(printer);
    print.journal = m_journalSession.runJournal();
    print.worker = m_journalSession.worker();
    print.name = m_document.fileName();
    print.table = table;
    print.items = items;
    print.copies = table != nullptr ? 1 : printer.copyCount();
    // The driver's own sheet, when it is not the template's paper, is told
    // before anything prints, and the user decides.
    if (!paperAccepted(printer, jobPaper(m_document.page(), print.calibration.pageLengthMm), m_prompter))
        return std::nullopt;
    print.journal->begin(designerJournalPrint(m_document, print.calibration, kind, print.copies), m_document, table,
                         items, destinationOf(printer));
    if (const std::string& refusal = print.journal->refusal(); !refusal.empty()) {
        m_prompter.show(Message{refusal, "打印文件", MessageIcon::Stop, MessageButtons::Ok});
        return std::nullopt;
    }
    return print;
}

WindowPrintResult MainWindow::printInThisWindow(const WindowPrint& print, QPrinter& printer)
{
    return printInWindow(
        print, printer, this, &m_prompter,
        [this](const std::string& told) { m_prompter.show(journalProblemMessage(told)); }, this);
}

bool MainWindow::print()
{
    if (m_dataPanel->hasData())
        return printRecords();
    QPrinter printer(QPrinter::HighResolution);
    configurePrinter(printer, m_document.page());
    if (!m_prompter.choosePrinter(printer))
        return false;
    const std::optional<WindowPrint> page = beginPrint(printer, JournalKind::Page, nullptr, {});
    return page && printInThisWindow(*page, printer).completed;
}

Calibration MainWindow::calibrationFor(const QPrinter& printer)
{
    // A print to a file has no printer and so no calibration.
    if (printer.outputFormat() != QPrinter::NativeFormat || printer.printerName().isEmpty())
        return Calibration{};
    const StoredCalibration stored = CalibrationStore().load(printer.printerName().toStdString());
    if (!stored.error.empty())
        m_prompter.show(Message{"打印机校准无法使用，本次不校准打印：" + stored.error, "打印文件",
                                MessageIcon::Exclamation, MessageButtons::Ok});
    return stored.calibration.value_or(Calibration{});
}

void MainWindow::openPrinterCalibration()
{
    CalibrationStore store;
    const PageSettings& page = m_document.page();
    PrinterCalibrationDialog dialog(store, m_prompter, QPrinterInfo::availablePrinterNames(),
                                    roundTo(page.pageWidth, 2), roundTo(page.pageHeight, 2), this);
    dialog.exec();
}

#if ORDAVEL_WITH_SCAN
void MainWindow::scanToBoxes()
{
    // Boxes are added in the designer, where the step can be undone.
    if (m_document.appMode() != AppMode::DesignMode)
        switchMode(AppMode::DesignMode);
    scanIntoDocument(m_document, m_prompter, this, m_scanReview);
}
#endif

void MainWindow::openJournalWindow()
{
    // One window, raised again when already open.
    if (auto* open = findChild<JournalWindow*>(QStringLiteral("窗口_打印记录"))) {
        open->refresh();
        open->raise();
        open->activateWindow();
        return;
    }
    auto* window = new JournalWindow(m_prompter, m_journalSession, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

void MainWindow::resetDocument()
{
    removeBackgroundTempFile();
    m_workArea->beginBulkChange();
    m_document.newDocument();
    m_workArea->endBulkChange();
}

bool MainWindow::openTemplate(const std::string& fileName)
{
    // The loaded template starts a history of its own.
    m_undo->suspend();
    resetDocument();
    m_document.setFileName(fileName);
    m_loadProgress = std::make_unique<LoadProgress>(this, m_loadProgressDelayMs);
    m_workArea->beginBulkChange();
    const LoadProgress& progress = *m_loadProgress;
    const bool loaded = loadDocument(m_document, fileName, m_prompter, [&progress] { return progress.cancelled(); });
    m_workArea->endBulkChange();
    m_loadProgress.reset();
    for (int panel = 0; panel < PanelCount; ++panel)
        statusTextChanged(panel, m_document.statusText(panel));
    // Whatever the result, a loaded template is shown for data entry.
    switchMode(AppMode::EditMode);
    if (loaded) {
        // The reader moves the board quietly; the status bar would still show
        // the size of the empty page that New made.
        const PageSettings& page = m_document.page();
        m_document.setStatusText(PanelPaper, paperStatus(page.pageWidth, page.pageHeight));
        m_document.setStatusText(PanelBoard, boardStatus(page.boardWidth, page.boardHeight));
        m_document.setTitle(false);
    }
    m_undo->reset();
    if (loaded)
        FileHistory().addRecentTemplate(fileName);
    return loaded;
}

void MainWindow::showHelp()
{
    if (!m_help)
        m_help = new HelpWindow(this);
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void MainWindow::showAbout()
{
    if (m_about)
        return;
    m_about = new SplashWindow(true, this);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void MainWindow::openPageSetup()
{
    PageSetupDialog dialog(m_document, m_prompter, this);
    if (dialog.exec() == QDialog::Accepted)
        layOut();
}

void MainWindow::runGroupCommand(GroupCommand command)
{
    const QWidget* board = m_workArea->workbench();
    switch (command) {
    case GroupCommand::CentreHorizontally: centreSelectionHorizontally(m_document, board->width()); return;
    case GroupCommand::CentreVertically: centreSelectionVertically(m_document, board->height()); return;
    case GroupCommand::AlignLeft: alignSelection(m_document, AlignCommand::Left); return;
    case GroupCommand::AlignRight: alignSelection(m_document, AlignCommand::Right); return;
    case GroupCommand::AlignTop: alignSelection(m_document, AlignCommand::Top); return;
    case GroupCommand::AlignBottom: alignSelection(m_document, AlignCommand::Bottom); return;
    case GroupCommand::SameWidth: alignSelection(m_document, AlignCommand::SameWidth); return;
    case GroupCommand::SameHeight: alignSelection(m_document, AlignCommand::SameHeight); return;
    case GroupCommand::SameSize: alignSelection(m_document, AlignCommand::SameSize); return;
    }
}

void MainWindow::openAddress(const QString& address)
{
    QDesktopServices::openUrl(QUrl(address));
}

void MainWindow::dispatch(DesignerCommand command)
{
    switch (command) {
    case DesignerCommand::New: m_files.newDocument(); return;
    case DesignerCommand::ScanToTemplate:
#if ORDAVEL_WITH_SCAN
        scanToBoxes();
#endif
        return;
    case DesignerCommand::Open: m_files.open(); return;
    case DesignerCommand::Save: m_files.save(); return;
    case DesignerCommand::SaveAs: m_files.saveAs(); return;
    case DesignerCommand::DesignMode: switchMode(AppMode::DesignMode); return;
    case DesignerCommand::EditMode: switchMode(AppMode::EditMode); return;
    case DesignerCommand::PreviewMode: switchMode(AppMode::PreviewMode); return;
    case DesignerCommand::Print: print(); return;
    case DesignerCommand::PrinterCalibration: openPrinterCalibration(); return;
    case DesignerCommand::PrintJournal: openJournalWindow(); return;
    case DesignerCommand::Data: chooseDataFile(); return;
    case DesignerCommand::PageSetup: openPageSetup(); return;
    case DesignerCommand::AlignLeft: alignSelection(m_document, AlignCommand::Left); return;
    case DesignerCommand::Help: showHelp(); return;
    case DesignerCommand::Exit: exitProgram(); return;
    case DesignerCommand::About: showAbout(); return;
    case DesignerCommand::MakerPage: openAddress(QString::fromUtf8(kMakerAddress)); return;
    case DesignerCommand::Contact: openAddress(QString::fromUtf8(kMakerAddress) + QStringLiteral("contact")); return;
    case DesignerCommand::CheckForUpdates:
        openAddress(QString::fromUtf8(kMakerAddress) + QStringLiteral("download"));
        return;
    }
}

} // namespace ordavel
