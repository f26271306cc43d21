#pragma once
// The designer's main window: owns the one Document, shows it through the two
// toolbars, the work area and the status bar `状态条1`, and runs the commands
// of the file toolbar (dispatched by command) and the mode switch.

#include "app/file_commands.h"
#include "designer/designer_command.h"
#include "app/splash_window.h"
#include "designer/box_menus.h"
#include "designer/help_window.h"
#include "model/document.h"
#include "platform/journal_session.h"
#include "platform/window_print.h"
#include "print/calibration.h"

#include <QMainWindow>
#include <QElapsedTimer>
#include <QPointer>

#include <array>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPrinter;
class QToolBar;

namespace ordavel {


class BoxMenus;
class ControlToolBar;
class DataPanel;
class DesignKeys;
class FileToolBar;
class LoadProgress;
class MouseController;
class Prompter;
class ScanReviewState;
class SlotTabOrder;
class UndoController;
class WorkArea;

class MainWindow : public QMainWindow, public DocumentObserver {
    Q_OBJECT
public:
    // `prompter` is not owned and must outlive the window; it shows every
    // message and dialog. `factors` are the screen's pixels per centimetre.
    MainWindow(Prompter& prompter, const UnitFactors& factors, QWidget* parent = nullptr);
    ~MainWindow() override;

    Document& document() { return m_document; }
    // The print journal this window prints into and shows.
    JournalSession& journalSession() { return m_journalSession; }
    Prompter& prompter() { return m_prompter; }
    FileToolBar* fileToolBar() const { return m_fileBar; }
    ControlToolBar* controlToolBar() const { return m_controlBar; }
    WorkArea* workArea() const { return m_workArea; }
    MouseController* mouseController() const { return m_mouse; }
    BoxMenus* boxMenus() const { return m_menus; }
    QLabel* statusPanel(int panel) const { return m_statusPanels[static_cast<std::size_t>(panel)]; }
    HelpWindow* helpWindow() const { return m_help; }
    UndoController* undoController() const { return m_undo; }
    DesignKeys* designKeys() const { return m_keys; }
    // How long a load runs before its progress window appears (ms).
    void setLoadProgressDelay(int ms) { m_loadProgressDelayMs = ms; }
    // The progress window of the load under way, nullptr when there is none.
    LoadProgress* loadProgress() const { return m_loadProgress.get(); }
    SplashWindow* aboutWindow() const { return m_about; }
    DataPanel* dataPanel() const { return m_dataPanel; }
    QToolBar* dataToolBar() const { return m_dataBar; }
    // The "数据" command: a data file chooser, for a workbook of several
    // sheets a choice of sheet (the first offered first), then openDataFile.
    // Cancelling either keeps the data that is open.
    void chooseDataFile();
    // Reads the data file (`sheet` of a workbook; empty: the first) into the
    // data panel and shows it; false, after a message, when it cannot be read
    // whole.
    bool openDataFile(const std::string& fileName, const std::string& sheet = {});

    // Left 0, top 0, 1024 wide, screen height - 35 high (outer frame).
    void placeOnScreen();
    // Runs the command of a toolbar button or menu entry by its caption.
    void dispatch(DesignerCommand command);
    // The three mode buttons: toolbars, visibility, layout and box behaviour.
    void switchMode(AppMode mode);
    // The layout of the work area.
    void layOut();
    // The Print command: print dialog, then the print job, corrected by the
    // chosen printer's stored calibration (none for a file). True when printed.
    bool print();
    // The designer's print of the document on `printer` (a batch of `items`
    // of `table`, or the page), begun in the journal; nothing when the
    // journal refuses it (a station cut off from its shop, a template with
    // counters), which is told under "打印文件".
    std::optional<WindowPrint> beginPrint(const QPrinter& printer, JournalKind kind, const DataTable* table,
                                          const std::vector<BatchItem>& items);
    // Prints it with a progress window, telling journal problems through the prompter.
    WindowPrintResult printInThisWindow(const WindowPrint& print, QPrinter& printer);
    // The modal dialog "打印机校准" of the Print button's menu.
    void openPrinterCalibration();
#if ORDAVEL_WITH_SCAN
    // "扫描生成...": boxes proposed from a scanned form, added as one undo step.
    void scanToBoxes();
    // What the last scan's analysis found while that scan is the background.
    ScanReviewState* scanReview() const { return m_scanReview; }
#endif
    // "打印记录": the print journal's window, one at a time.
    void openJournalWindow();
    // Replaces the document with the template `fileName` (New, then the reader,
    // whose messages go to the prompter) and shows it in EditMode. True when loaded.
    bool openTemplate(const std::string& fileName);
    // A template of the shop's library ("模板库" under Open's arrow): after
    // asking to save changes, revision `revision` of `name` is written to the
    // station's library folder and opened from there. True when loaded; a
    // failure to take it out is told under "模板库".
    bool openFromLibrary(const std::string& name, int revision);
    void showHelp();
    // Deletes the temporary copy of the loaded background picture, if any.
    void removeBackgroundTempFile();
    // New document. The temporary copy of the background it replaces is deleted
    // first, so that New and Open leave no stale copies behind.
    void resetDocument();
    // The Exit command: asks to save changes, then closes the window.
    void exitProgram();
    void showAbout();
    // The modal page setup dialog; OK lays the window out.
    void openPageSetup();
    // A command of the multi-selection menu on the Selection (two boxes or more).
    void runGroupCommand(GroupCommand command);
    // The multi-selection menu at `at` (global), only with two or more boxes selected.

    // DocumentObserver
    void titleChanged(const std::string& title, bool modified) override;
    void statusTextChanged(int panel, const std::string& text) override;
    void modeChanged(AppMode mode) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildStatusBar();
    // The library's templates, latest revision of each, from the shop's journal.
    JournalResult<std::vector<LibraryRevision>> libraryTemplates();
    // The data toolbar and panel, and the preview of the current record.
    void setUpData();
    // Print with a data file open: which records, the print dialog, one job.
    bool printRecords();
    // The columns of the open data file, offered by the property dialogs; none without one.
    std::vector<std::string> dataColumns() const;
    // In PreviewMode, the data panel names the columns the template uses that
    // the data file lacks (they preview empty); elsewhere it says nothing.
    void showDataCheck();
    // The stored calibration of the chosen printer (none for a file); a stored
    // one that cannot be used is reported and printing goes on without it.
    Calibration calibrationFor(const QPrinter& printer);
    void openAddress(const QString& address);

    Prompter& m_prompter;
    Document m_document;
    JournalSession m_journalSession;
    FileToolBar* m_fileBar = nullptr;
    ControlToolBar* m_controlBar = nullptr;
    WorkArea* m_workArea = nullptr;
    MouseController* m_mouse = nullptr; // child of the work area
    BoxMenus* m_menus = nullptr; // the pop-up menus; child of the window
    std::array<QLabel*, PanelCount> m_statusPanels{};
    QPointer<HelpWindow> m_help;
    QPointer<SplashWindow> m_about;
    std::unique_ptr<LoadProgress> m_loadProgress;
    int m_loadProgressDelayMs;
    UndoController* m_undo = nullptr; // child of the window
    DesignKeys* m_keys = nullptr;     // child of the focus holder
    SlotTabOrder* m_tabOrder = nullptr; // child of the window
    QElapsedTimer m_sinceEvents;      // since a walk last let events run
    int m_walkDepth = 0;              // walks letting events run right now
    FileCommands m_files{*this};
    DataPanel* m_dataPanel = nullptr;
    bool m_dataPanelPlaced = false; // given its first size and place, beside the board
    QToolBar* m_dataBar = nullptr;
    bool m_exitConfirmed = false; // Exit asked already; the close box must not ask again
#if ORDAVEL_WITH_SCAN
    ScanReviewState* m_scanReview = nullptr; // child of the window
#endif
};

} // namespace ordavel
