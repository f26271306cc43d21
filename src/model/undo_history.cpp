#include "model/undo_history.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

namespace ordavel {

// The page without its background bytes, which are shared apart. The path of
// the temporary copy is the window's housekeeping, not part of a state.
struct UndoHistory::PageState {
    PageSettings page;
    std::shared_ptr<const std::string> background;
};

// A live box without its picture bytes (shared apart) and with hidden handles.
struct UndoHistory::SlotState {
    Box box;
    std::shared_ptr<const std::string> picture;
};

// A free slot is nullptr.
struct UndoHistory::State {
    std::shared_ptr<const PageState> page;
    std::vector<std::shared_ptr<const SlotState>> slots;
};

namespace {

const std::shared_ptr<const std::string>& emptyBytes()
{
    static const auto empty = std::make_shared<const std::string>();
    return empty;
}

// Bytes equal to `bytes`: the previous state's when they are the same, else a new copy.
std::shared_ptr<const std::string> shareBytes(const std::string& bytes, const std::shared_ptr<const std::string>* previous)
{
    if (previous && *previous && **previous == bytes)
        return *previous;
    if (bytes.empty())
        return emptyBytes();
    return std::make_shared<const std::string>(bytes);
}

// Whether the live box and a stored one agree in everything but the selection.
// The picture bytes are set aside (swapped, not copied) for the comparison.
bool sameBox(Box& live, const Box& stored, const std::string& storedPicture)
{
    if (live.attributes.picture != storedPicture)
        return false;
    std::string picture;
    picture.swap(live.attributes.picture);
    const bool handlesVisible = std::exchange(live.handlesVisible, stored.handlesVisible);
    const auto handles = std::exchange(live.handles, stored.handles);
    const bool same = live == stored;
    live.handles = handles;
    live.handlesVisible = handlesVisible;
    picture.swap(live.attributes.picture);
    return same;
}

bool samePage(PageSettings& live, const PageSettings& stored, const std::string& storedBackground)
{
    if (live.background != storedBackground)
        return false;
    std::string background;
    background.swap(live.background);
    std::string tempPath;
    tempPath.swap(live.backgroundTempPath);
    const bool same = live == stored;
    tempPath.swap(live.backgroundTempPath);
    background.swap(live.background);
    return same;
}

} // namespace

UndoHistory::UndoHistory(std::size_t limit) : m_limit(std::max<std::size_t>(limit, 1)) {}

UndoHistory::~UndoHistory() = default;

std::shared_ptr<const UndoHistory::State> UndoHistory::take(Document& doc, const State* previous) const
{
    auto state = std::make_shared<State>();
    bool changed = !previous;

    PageSettings& page = doc.page();
    const PageState* oldPage = previous ? previous->page.get() : nullptr;
    if (oldPage && samePage(page, oldPage->page, *oldPage->background)) {
        state->page = previous->page;
    } else {
        auto stored = std::make_shared<PageState>();
        stored->background = shareBytes(page.background, oldPage ? &oldPage->background : nullptr);
        std::string background;
        background.swap(page.background);
        stored->page = page;
        background.swap(page.background);
        stored->page.backgroundTempPath.clear();
        state->page = std::move(stored);
        changed = true;
    }

    const int slots = doc.slotCount();
    state->slots.resize(static_cast<std::size_t>(slots));
    const std::size_t oldSlots = previous ? previous->slots.size() : 0;
    for (int index = 1; index <= slots; ++index) {
        const auto at = static_cast<std::size_t>(index - 1);
        Box& live = doc.box(index);
        const std::shared_ptr<const SlotState>* old = at < oldSlots ? &previous->slots[at] : nullptr;
        if (!live.inUse) {
            changed = changed || (old && *old);
            continue;
        }
        if (old && *old && sameBox(live, (*old)->box, *(*old)->picture)) {
            state->slots[at] = *old;
            continue;
        }
        auto stored = std::make_shared<SlotState>();
        stored->picture = shareBytes(live.attributes.picture, old && *old ? &(*old)->picture : nullptr);
        std::string picture;
        picture.swap(live.attributes.picture);
        stored->box = live;
        picture.swap(live.attributes.picture);
        stored->box.handlesVisible = false;
        state->slots[at] = std::move(stored);
        changed = true;
    }
    // Slots the previous state had and the document no longer has cannot
    // exist (the list never shrinks); live ones there would be a change.
    for (std::size_t at = static_cast<std::size_t>(slots); at < oldSlots; ++at)
        changed = changed || previous->slots[at];
    return changed ? state : nullptr;
}

void UndoHistory::reset(Document& doc, bool saved)
{
    m_states.clear();
    m_states.push_back(take(doc, nullptr));
    m_present = 0;
    m_saved = saved ? m_states.front() : nullptr;
}

bool UndoHistory::record(Document& doc)
{
    if (m_states.empty()) {
        reset(doc, false);
        return false;
    }
    std::shared_ptr<const State> state = take(doc, m_states[m_present].get());
    if (!state)
        return false;
    m_states.resize(m_present + 1);
    m_states.push_back(std::move(state));
    if (m_states.size() > m_limit + 1)
        m_states.erase(m_states.begin(), m_states.begin() + static_cast<std::ptrdiff_t>(m_states.size() - m_limit - 1));
    m_present = m_states.size() - 1;
    return true;
}

void UndoHistory::rebase(Document& doc)
{
    if (m_states.empty()) {
        reset(doc, false);
        return;
    }
    if (std::shared_ptr<const State> state = take(doc, m_states[m_present].get()))
        m_states[m_present] = std::move(state);
}

void UndoHistory::markSaved()
{
    if (!m_states.empty())
        m_saved = m_states[m_present];
}

bool UndoHistory::atSavedState() const
{
    return !m_states.empty() && m_saved == m_states[m_present];
}

bool UndoHistory::undo(Document& doc)
{
    if (!canUndo())
        return false;
    --m_present;
    apply(doc, *m_states[m_present]);
    return true;
}

bool UndoHistory::redo(Document& doc)
{
    if (!canRedo())
        return false;
    ++m_present;
    apply(doc, *m_states[m_present]);
    return true;
}

std::size_t UndoHistory::pictureBytesHeld() const
{
    std::unordered_set<const std::string*> seen;
    std::size_t total = 0;
    const auto count = [&](const std::shared_ptr<const std::string>& bytes) {
        if (bytes && seen.insert(bytes.get()).second)
            total += bytes->size();
    };
    for (const auto& state : m_states) {
        count(state->page->background);
        for (const auto& slot : state->slots)
            if (slot)
                count(slot->picture);
    }
    return total;
}

void UndoHistory::apply(Document& doc, const State& state) const
{
    doc.clearSelection();

    const PageState& stored = *state.page;
    PageSettings& page = doc.page();
    if (!samePage(page, stored.page, *stored.background)) {
        std::string tempPath = std::move(page.backgroundTempPath);
        page = stored.page;
        page.background = *stored.background;
        page.backgroundTempPath = std::move(tempPath);
        doc.setStatusText(PanelPaper, paperStatus(page.pageWidth, page.pageHeight));
        doc.setStatusText(PanelBoard, boardStatus(page.boardWidth, page.boardHeight));
        doc.notifyPageChanged();
    }

    doc.ensureSlotCount(static_cast<int>(state.slots.size()));
    for (int index = 1; index <= doc.slotCount(); ++index) {
        const auto at = static_cast<std::size_t>(index - 1);
        const SlotState* slot = at < state.slots.size() ? state.slots[at].get() : nullptr;
        Box& live = doc.box(index);
        if (!slot) {
            if (live.inUse)
                doc.deleteBox(index);
            continue;
        }
        if (live.inUse && sameBox(live, slot->box, *slot->picture))
            continue;
        live = slot->box;
        live.attributes.picture = *slot->picture;
        doc.restoredBox(index);
    }
    const int current = doc.currentBoxIndex();
    if (current < 1 || current > doc.slotCount() || !doc.box(current).inUse)
        doc.setCurrentBoxIndex(0);
    doc.setTitle(m_saved.get() != &state);
}

} // namespace ordavel
