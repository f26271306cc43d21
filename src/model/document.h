#pragma once
// The one open template: page settings, the box slots, the selection, the
// current box, the mode and the modified flag, with the box operations that
// are model logic. Indices are 1-based slot numbers; callers pass indices that
// came from the list or the selection.

#include "model/box.h"
#include "model/document_observer.h"
#include "model/status_text.h"
#include "model/units.h"

#include <array>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel {

// Several forms printed to one sheet (columns and rows of cells); off when
// columns or rows is 0. Lengths in cm, from the sheet's top-left edge.
struct SheetLayout {
    double widthCm = 0;  // the sheet's paper
    double heightCm = 0;
    int columns = 0;
    int rows = 0;
    double leftCm = 0;   // the first form's top-left corner
    double topCm = 0;
    double stepXCm = 0;  // from one form to the next across and down
    double stepYCm = 0;
    bool active() const { return columns > 0 && rows > 0 && widthCm > 0 && heightCm > 0; }
    int cells() const { return active() ? columns * rows : 1; }
    friend bool operator==(const SheetLayout&, const SheetLayout&) = default;
};

struct PageSettings {
    float pageWidth = 21.0f;  // cm
    float pageHeight = 29.0f; // cm
    int boardWidth = 0;       // px (file wWidth)
    int boardHeight = 0;      // px (file wHeight)
    std::string background;   // image file bytes, empty for none
    std::string backgroundTempPath; // temporary copy of a loaded background; the owner deletes it
    std::string backgroundPath; // file the background came from (a chosen file or the temporary copy), empty for none
    int imgShowType = 0;      // 0 own size top-left, 1 stretched, 2 centred
    Color bgColor = kWhite;
    bool isPrintBgPic = false;
    SheetLayout sheet;        // file sheet: forms to a sheet, off by default
    friend bool operator==(const PageSettings&, const PageSettings&) = default;
};

inline constexpr int kDefaultBoxWidth = 80;
inline constexpr int kDefaultBoxHeight = 28;

class Document {
public:
    explicit Document(UnitFactors factors = UnitFactors::fromDpi(96.0));

    const UnitFactors& factors() const { return m_factors; }

    // Observers are not owned and must outlive their registration.
    void addObserver(DocumentObserver* observer);
    void removeObserver(DocumentObserver* observer);
    // Called after each box of a long walk; the GUI processes pending events.
    void setYield(std::function<void()> yield) { m_yield = std::move(yield); }
    // Lets pending events run (the GUI's callback); walks call it after each box.
    void yieldNow() const;

    // --- page ---
    const PageSettings& page() const { return m_page; }
    PageSettings& page() { return m_page; }
    // Stores paper and board size, then applies the board size.
    void setPageSizes(double widthCm, double heightCm, int boardWidth, int boardHeight);
    // Board size applied: background white, status panels 0 and 1, modified.
    void showPageSizes(int boardWidth, int boardHeight);
    // Loading moves the board without touching the status texts.
    void setBoardSizeQuietly(int boardWidth, int boardHeight);
    void notifyPageChanged();

    // --- slots ---
    int slotCount() const { return static_cast<int>(m_boxes.size()); }
    Box& box(int index) { return m_boxes[index - 1]; }
    const Box& box(int index) const { return m_boxes[index - 1]; }
    // First free slot from index 1, appending when none is free.
    int allocateSlot();
    // Appends free slots until there are at least `count` (files with gaps).
    void ensureSlotCount(int count);
    int liveBoxCount() const;
    std::vector<int> liveIndices() const;

    // --- box operations ---
    // Makes the box in slot `index` live at the given place. width/height <= 0
    // become 80 x 28. Unless fromFile, PrintRect is converted from EditRect.
    void createBox(int index, BoxType type, int left, int top, int width = 0, int height = 0,
                   bool fromFile = false);
    // allocateSlot + createBox; returns the index.
    int addBox(BoxType type, int left, int top, int width = 0, int height = 0);
    // Puts the handles around the EditRect, shows the box status and marks the
    // document modified. While the box follows the edit, its print position is
    // taken from the EditRect and, for a box with a print size (hasPrintSize)
    // whose size changed since it was last placed, its print size as well.
    void placeHandles(int index);
    void select(int index);
    void deselect(int index);
    void refresh(int index);
    void deleteBox(int index);
    // Copies box `source` into free slot `newIndex`, 10 px right and down.
    void duplicateBox(int source, int newIndex);
    // allocateSlot + duplicateBox of the current box; returns the new index or 0.
    int duplicateCurrent();
    // Moves or resizes the control only (during a drag); views follow.
    void setEditRect(int index, const Rect& rect);
    void beginDrag(int index) { deselect(index); }
    // After the user releases the mouse: square rule for square kinds, then refresh.
    void endDrag(int index);
    void applyMode(int index, AppMode mode);
    // Moves every selected box by (dx, dy) px and sizes it by (dw, dh) px, never
    // below 1 x 1, each ending as a drag ends (endDrag): square rule, handles
    // placed, print position following, modified. The Selection stays as it is.
    void nudgeSelection(int dx, int dy, int dw, int dh);
    // Puts the box behind every other box (its zOrder below all). The stacking
    // is not saved in the file, so the document is not marked modified.
    void sendToBack(int index);
    // The zOrder of the box made last: new boxes lie in front of all others.
    int frontZOrder() const { return m_frontZ; }
    // Box `index` was written back whole (undo, redo); views re-read it.
    void restoredBox(int index);
    // An attribute of the box was edited (dialog or data entry): notify, modified.
    void boxEdited(int index);

    // Geometry by name: "左边"/"left", "顶边"/"top", "宽度"/"Width", "高度"/"Height",
    // compared byte for byte. Get returns the value (and writes it to *out), or 0
    // for an unknown name leaving *out alone. Set moves/resizes, places handles,
    // sets modified; an unknown name only places handles and sets modified.
    int getProperty(int index, const std::string& name, int* out = nullptr) const;
    void setProperty(int index, const std::string& name, int value);

    // --- selection ---
    const std::vector<int>& selection() const { return m_selection; }
    void clearSelection();
    int currentBoxIndex() const { return m_currentBoxIndex; }
    void setCurrentBoxIndex(int index) { m_currentBoxIndex = index; }

    // --- document state ---
    AppMode appMode() const { return m_appMode; }
    // Stores the mode and switches every live box to design or edit behaviour.
    void setAppMode(AppMode mode);
    bool modified() const { return m_modified; }
    // The one way DocumentModified changes; rebuilds the window title.
    void setTitle(bool modified);
    const std::string& title() const { return m_title; }
    const std::string& fileName() const { return m_fileName; }
    // The title shows the new name at the next setTitle.
    void setFileName(std::string fileName)
    {
        m_fileName = std::move(fileName);
        m_titleStale = true;
    }
    const std::string& statusText(int panel) const { return m_status[panel]; }
    // Stores the text and tells the observers, unless the panel shows it already.
    void setStatusText(int panel, std::string_view text);

    // Clears everything back to an untitled 21 x 29 cm page in design mode.
    // Keeps every slot (free) and the background display mode. The caller
    // deletes page().backgroundTempPath first if it wants the file gone.
    void newDocument();

    // --- selection by mouse ---
    // Shift-click: a selected box (handles shown) is deselected and leaves the
    // Selection; any other box in use is selected. CurrentBoxIndex is kept.
    void toggleSelection(int index);
    // Boxes in use whose EditRect and `band` overlap by at least one pixel
    // (touching edges do not count), in index order. An empty band (width or
    // height not positive) touches nothing.
    std::vector<int> boxesTouching(const Rect& band) const;
    // Selection := every box in use whose handles show, in index order.
    void rebuildSelection();

private:
    void createHandles(int index);
    void setPrintRectFromEdit(Box& box) const;
    template <typename F> void notify(F&& f) const;
    void rebuildTitle(bool modified);

    UnitFactors m_factors;
    PageSettings m_page;
    std::deque<Box> m_boxes; // deque: references to boxes survive appends
    int m_lowestFreeHint = 1; // every slot below it is in use
    int m_frontZ = 0; // zOrder of the front-most box made
    int m_backZ = 0;  // zOrder of the box sent to the back last
    std::vector<int> m_selection;
    int m_currentBoxIndex = 0;
    AppMode m_appMode = AppMode::DesignMode;
    bool m_modified = false;
    std::string m_fileName;
    std::string m_title;
    bool m_titleModified = false; // the flag m_title was built for
    bool m_titleStale = true;     // the file name changed since m_title was built
    std::string m_statusScratch;  // box status texts are formatted here, then compared
    std::array<std::string, PanelCount> m_status;
    std::vector<DocumentObserver*> m_observers;
    std::function<void()> m_yield;
};

} // namespace ordavel
