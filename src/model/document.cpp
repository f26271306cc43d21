#include "model/document.h"

#include <algorithm>

namespace ordavel {

namespace {

constexpr const char* kNameLeft[] = {"左边", "left"};
constexpr const char* kNameTop[] = {"顶边", "top"};
constexpr const char* kNameWidth[] = {"宽度", "Width"};
constexpr const char* kNameHeight[] = {"高度", "Height"};

bool isOneOf(const std::string& name, const char* const (&names)[2])
{
    return name == names[0] || name == names[1];
}

// The geometry field a property name stands for, or nullptr.
template <typename RectT>
auto* fieldByName(RectT& rect, const std::string& name)
{
    using Field = decltype(&rect.left);
    if (isOneOf(name, kNameLeft))
        return &rect.left;
    if (isOneOf(name, kNameTop))
        return &rect.top;
    if (isOneOf(name, kNameWidth))
        return &rect.width;
    if (isOneOf(name, kNameHeight))
        return &rect.height;
    return static_cast<Field>(nullptr);
}

bool isSquareKind(int shape)
{
    return shape == ShapeSquare || shape == ShapeCircle || shape == ShapeRoundSquare;
}

} // namespace

Document::Document(UnitFactors factors) : m_factors(factors)
{
    for (int panel = 0; panel < PanelCount; ++panel)
        m_status[panel] = initialStatus(panel);
    newDocument();
}

void Document::addObserver(DocumentObserver* observer) { m_observers.push_back(observer); }

void Document::removeObserver(DocumentObserver* observer)
{
    std::erase(m_observers, observer);
}

template <typename F> void Document::notify(F&& f) const
{
    if (m_observers.empty())
        return;
    // Copy: an observer may unregister itself from inside a callback. The few
    // views a document has fit on the stack, so the many notifications of a
    // long load allocate nothing.
    constexpr std::size_t kOnStack = 8;
    if (m_observers.size() <= kOnStack) {
        std::array<DocumentObserver*, kOnStack> observers{};
        std::copy(m_observers.begin(), m_observers.end(), observers.begin());
        for (std::size_t i = 0, n = m_observers.size(); i < n; ++i)
            f(*observers[i]);
        return;
    }
    const auto observers = m_observers;
    for (DocumentObserver* observer : observers)
        f(*observer);
}

void Document::yieldNow() const
{
    if (m_yield)
        m_yield();
}

// --- page ---

void Document::setPageSizes(double widthCm, double heightCm, int boardWidth, int boardHeight)
{
    m_page.pageWidth = static_cast<float>(widthCm);
    m_page.pageHeight = static_cast<float>(heightCm);
    showPageSizes(boardWidth, boardHeight);
}

void Document::showPageSizes(int boardWidth, int boardHeight)
{
    m_page.boardWidth = boardWidth;
    m_page.boardHeight = boardHeight;
    m_page.bgColor = kWhite;
    setStatusText(PanelPaper, paperStatus(m_page.pageWidth, m_page.pageHeight));
    setStatusText(PanelBoard, boardStatus(boardWidth, boardHeight));
    notifyPageChanged();
    setTitle(true);
}

void Document::setBoardSizeQuietly(int boardWidth, int boardHeight)
{
    m_page.boardWidth = boardWidth;
    m_page.boardHeight = boardHeight;
    notifyPageChanged();
}

void Document::notifyPageChanged()
{
    notify([](DocumentObserver& o) { o.pageChanged(); });
}

// --- slots ---

int Document::allocateSlot()
{
    const int count = slotCount();
    for (int index = std::max(m_lowestFreeHint, 1); index <= count; ++index) {
        if (!box(index).inUse) {
            m_lowestFreeHint = index;
            return index;
        }
    }
    m_boxes.emplace_back().inUse = true;
    m_lowestFreeHint = slotCount();
    return slotCount();
}

void Document::ensureSlotCount(int count)
{
    if (count > slotCount())
        m_boxes.resize(static_cast<std::size_t>(count));
}

int Document::liveBoxCount() const
{
    return static_cast<int>(std::count_if(m_boxes.begin(), m_boxes.end(),
                                          [](const Box& b) { return b.inUse; }));
}

std::vector<int> Document::liveIndices() const
{
    std::vector<int> indices;
    for (int index = 1; index <= slotCount(); ++index)
        if (box(index).inUse)
            indices.push_back(index);
    return indices;
}

// --- box operations ---

void Document::setPrintRectFromEdit(Box& b) const
{
    b.printRect.left = m_factors.boxCmX(b.editRect.left);
    b.printRect.top = m_factors.boxCmY(b.editRect.top);
    b.printRect.width = m_factors.boxCmX(b.editRect.width);
    b.printRect.height = m_factors.boxCmY(b.editRect.height);
}

void Document::createBox(int index, BoxType type, int left, int top, int width, int height, bool fromFile)
{
    clearSelection();
    ensureSlotCount(index);
    Box& b = box(index);
    b.inUse = true;
    b.index = index;
    b.type = type;
    if (width <= 0)
        width = kDefaultBoxWidth;
    if (height <= 0)
        height = kDefaultBoxHeight;
    // A fresh control shows the attributes of its type's template.
    b.attributes = defaultAttributes(type);
    b.controlCreated = true;
    if (type == BoxType::DatePicker)
        b.dateFormat = 0;
    b.editRect = Rect{left, top, width, height};
    b.visible = true;
    b.zOrder = ++m_frontZ;
    if (!fromFile)
        setPrintRectFromEdit(b);
    // A box read from a file keeps its stored print size until it is sized.
    b.placedWidth = width;
    b.placedHeight = height;
    m_currentBoxIndex = index;
    createHandles(index);
    placeHandles(index);
    select(index);
}

int Document::addBox(BoxType type, int left, int top, int width, int height)
{
    const int index = allocateSlot();
    createBox(index, type, left, top, width, height);
    return index;
}

void Document::createHandles(int index)
{
    Box& b = box(index);
    b.handlesCreated = true;
    b.handlesVisible = false;
}

void Document::placeHandles(int index)
{
    Box& b = box(index);
    const int l = b.editRect.left, t = b.editRect.top, w = b.editRect.width, h = b.editRect.height;
    const int middleTop = t + (h - kHandleSize) / 2;
    const int middleLeft = l + (w - kHandleSize) / 2;
    auto at = [](int x, int y) { return Rect{x, y, kHandleSize, kHandleSize}; };
    b.handles[HandleTopLeft] = at(l - 5, t - 5);
    b.handles[HandleMiddleLeft] = at(l - 5, middleTop);
    b.handles[HandleBottomLeft] = at(l - 5, t + h);
    b.handles[HandleTopMiddle] = at(middleLeft, t - 5);
    b.handles[HandleBottomMiddle] = at(middleLeft, t + h);
    b.handles[HandleTopRight] = at(l + w, t - 5);
    b.handles[HandleMiddleRight] = at(l + w, middleTop);
    b.handles[HandleBottomRight] = at(l + w, t + h);
    if (b.followsEdit) {
        b.printRect.left = m_factors.boxCmX(l);
        b.printRect.top = m_factors.boxCmY(t);
        // Every sizing (mouse, keys, same-size commands, the dialog) ends here:
        // the print size follows it, as it was taken from the size at creation.
        if (hasPrintSize(b.type) && (w != b.placedWidth || h != b.placedHeight)) {
            b.printRect.width = m_factors.boxCmX(w);
            b.printRect.height = m_factors.boxCmY(h);
        }
    }
    b.placedWidth = w;
    b.placedHeight = h;
    formatPlacedBoxStatus(m_statusScratch, l, t, w, h);
    setStatusText(PanelBox, m_statusScratch);
    notify([index](DocumentObserver& o) { o.boxChanged(index); });
    setTitle(true);
}

void Document::select(int index)
{
    Box& b = box(index);
    if (!b.inUse || b.handlesVisible)
        return;
    m_selection.push_back(b.index);
    b.handlesVisible = true;
    const Rect& r = b.editRect;
    formatSelectedBoxStatus(m_statusScratch, r.left, r.top, r.width, r.height);
    setStatusText(PanelBox, m_statusScratch);
    notify([index](DocumentObserver& o) { o.boxChanged(index); });
    notify([](DocumentObserver& o) { o.selectionChanged(); });
}

void Document::deselect(int index)
{
    Box& b = box(index);
    if (!b.inUse)
        return;
    if (b.handlesVisible) {
        b.handlesVisible = false;
        notify([index](DocumentObserver& o) { o.boxChanged(index); });
    }
    setStatusText(PanelBox, kNoBoxSelected);
}

void Document::refresh(int index)
{
    placeHandles(index);
    select(index);
}

void Document::clearSelection()
{
    // Work on positions, re-checking bounds: a yield may change the list.
    for (std::size_t i = 0; i < m_selection.size(); ++i) {
        const int index = m_selection[i];
        if (index >= 1 && index <= slotCount())
            deselect(index);
        yieldNow();
    }
    m_selection.clear();
    setStatusText(PanelBox, kNoBoxSelected);
    notify([](DocumentObserver& o) { o.selectionChanged(); });
}

void Document::deleteBox(int index)
{
    Box& b = box(index);
    if (!b.inUse)
        return;
    setTitle(true);
    deselect(index);
    b.resetToInitial();
    b.visible = false;
    b.handlesVisible = false;
    m_lowestFreeHint = std::min(m_lowestFreeHint, index);
    notify([index](DocumentObserver& o) { o.boxChanged(index); });
}

void Document::duplicateBox(int source, int newIndex)
{
    if (m_currentBoxIndex >= 1 && m_currentBoxIndex <= slotCount())
        deselect(m_currentBoxIndex);
    m_selection.clear();
    ensureSlotCount(std::max(source, newIndex));
    const Box& from = box(source);
    Box& to = box(newIndex);
    to.type = from.type;
    to.index = newIndex;
    to.inUse = true;
    createHandles(newIndex);
    to.printRect = from.printRect;
    to.followsEdit = from.followsEdit;
    to.isPrint = from.isPrint;
    to.controlCreated = true;
    to.attributes = from.attributes;
    to.picturePath = from.picturePath;
    to.dateFormat = from.dateFormat;
    to.dataField = from.dataField;
    to.editRect = Rect{from.editRect.left + 10, from.editRect.top + 10, from.editRect.width,
                       from.editRect.height};
    to.placedWidth = from.editRect.width;
    to.placedHeight = from.editRect.height;
    to.visible = true;
    to.zOrder = ++m_frontZ;
    m_currentBoxIndex = newIndex;
    placeHandles(newIndex);
    select(newIndex);
    setTitle(true);
}

int Document::duplicateCurrent()
{
    const int source = m_currentBoxIndex;
    if (source < 1 || source > slotCount() || !box(source).inUse)
        return 0;
    const int newIndex = allocateSlot();
    duplicateBox(source, newIndex);
    return newIndex;
}

void Document::setEditRect(int index, const Rect& rect)
{
    box(index).editRect = rect;
    notify([index](DocumentObserver& o) { o.boxChanged(index); });
}

void Document::endDrag(int index)
{
    Box& b = box(index);
    if (b.type == BoxType::ShapeBox && isSquareKind(b.attributes.shape)) {
        const int side = std::min(b.editRect.width, b.editRect.height);
        b.editRect.width = side;
        b.editRect.height = side;
        setPrintRectFromEdit(b);
    }
    refresh(index);
}

void Document::nudgeSelection(int dx, int dy, int dw, int dh)
{
    const std::vector<int> selected = m_selection;
    for (int index : selected) {
        if (index < 1 || index > slotCount() || !box(index).inUse)
            continue;
        Rect& r = box(index).editRect;
        r.left += dx;
        r.top += dy;
        r.width = std::max(r.width + dw, 1);
        r.height = std::max(r.height + dh, 1);
        endDrag(index);
    }
}

void Document::sendToBack(int index)
{
    Box& b = box(index);
    if (!b.inUse)
        return;
    b.zOrder = --m_backZ;
    notify([index](DocumentObserver& o) { o.boxChanged(index); });
}

void Document::restoredBox(int index)
{
    const int z = box(index).zOrder;
    m_frontZ = std::max(m_frontZ, z);
    m_backZ = std::min(m_backZ, z);
    notify([index](DocumentObserver& o) { o.boxChanged(index); });
}

void Document::applyMode(int index, AppMode mode)
{
    if (!box(index).inUse)
        return;
    deselect(index);
    (void)mode; // cursors and borders are the view's; it reads appMode()
    notify([index](DocumentObserver& o) { o.boxChanged(index); });
}

void Document::boxEdited(int index)
{
    notify([index](DocumentObserver& o) { o.boxChanged(index); });
    setTitle(true);
}

int Document::getProperty(int index, const std::string& name, int* out) const
{
    const Rect rect = box(index).editRect;
    const int* field = fieldByName(rect, name);
    if (!field)
        return 0;
    if (out)
        *out = *field;
    return *field;
}

void Document::setProperty(int index, const std::string& name, int value)
{
    Box& b = box(index);
    if (int* field = fieldByName(b.editRect, name))
        *field = value;
    placeHandles(index);
    setTitle(true);
}

// --- document state ---

void Document::setAppMode(AppMode mode)
{
    m_appMode = mode;
    if (mode != AppMode::PreviewMode) {
        for (int index = 1; index <= slotCount(); ++index) {
            if (box(index).inUse)
                applyMode(index, mode);
            yieldNow();
        }
    }
    notify([mode](DocumentObserver& o) { o.modeChanged(mode); });
}

void Document::rebuildTitle(bool modified)
{
    m_title = windowTitle(m_fileName, modified);
    m_titleModified = modified;
    m_titleStale = false;
}

void Document::setTitle(bool modified)
{
    m_modified = modified;
    // Every box change sets the flag; the text changes only with it or the name.
    if (m_titleStale || m_titleModified != modified)
        rebuildTitle(modified);
    notify([this](DocumentObserver& o) { o.titleChanged(m_title, m_modified); });
}

void Document::setStatusText(int panel, std::string_view text)
{
    if (m_status[panel] == text)
        return;
    m_status[panel].assign(text);
    notify([this, panel](DocumentObserver& o) { o.statusTextChanged(panel, m_status[panel]); });
}

void Document::newDocument()
{
    m_fileName.clear();
    rebuildTitle(false);
    notify([this](DocumentObserver& o) { o.titleChanged(m_title, false); });
    m_page.background.clear();
    m_page.backgroundTempPath.clear();
    m_page.backgroundPath.clear();
    for (int index = 1; index <= slotCount(); ++index) {
        if (box(index).inUse)
            deleteBox(index);
        yieldNow();
    }
    m_selection.clear();
    m_currentBoxIndex = 0;
    m_page.pageWidth = 21.0f;
    m_page.pageHeight = 29.0f;
    showPageSizes(m_factors.boardPxX(m_page.pageWidth), m_factors.boardPxY(m_page.pageHeight));
    m_page.isPrintBgPic = false;
    setAppMode(AppMode::DesignMode);
    notify([](DocumentObserver& o) { o.documentReset(); });
    setTitle(false);
}

// --- selection by mouse ---

void Document::toggleSelection(int index)
{
    Box& b = box(index);
    if (!b.inUse)
        return;
    if (!b.handlesVisible) {
        select(index);
        return;
    }
    deselect(index);
    std::erase(m_selection, index);
    notify([](DocumentObserver& o) { o.selectionChanged(); });
}

std::vector<int> Document::boxesTouching(const Rect& band) const
{
    std::vector<int> hits;
    if (band.width <= 0 || band.height <= 0)
        return hits;
    for (int index = 1; index <= slotCount(); ++index) {
        const Box& b = box(index);
        if (!b.inUse)
            continue;
        const Rect& r = b.editRect;
        const bool overlapX = std::max(r.left, band.left) < std::min(r.right(), band.right());
        const bool overlapY = std::max(r.top, band.top) < std::min(r.bottom(), band.bottom());
        if (overlapX && overlapY)
            hits.push_back(index);
    }
    return hits;
}

void Document::rebuildSelection()
{
    m_selection.clear();
    for (int index = 1; index <= slotCount(); ++index)
        if (box(index).inUse && box(index).handlesVisible)
            m_selection.push_back(index);
    notify([](DocumentObserver& o) { o.selectionChanged(); });
}

} // namespace ordavel
