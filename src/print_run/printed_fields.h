#pragma once
// What the journal keeps of one record: each printed box's text as printed.

#include "data/merge.h"
#include "journal/journal.h"
#include "model/document.h"

#include <string>
#include <utility>
#include <vector>

namespace ordavel {

// The boxes whose printed text the journal keeps, named once for a document
// and then asked of each record: every printed text box, every date box (its
// date as printed), and a box of another type that takes a column (by the
// column's name). Names are "box N" by slot.
class PrintedFieldBoxes {
public:
    explicit PrintedFieldBoxes(const Document& doc);
    // The boxes' printed texts for the merge's record, written over what
    // `fields` held (its strings are reused).
    void into(RecordMerge& merge, JournalValues& fields) const;
    JournalValues of(RecordMerge& merge) const;

private:
    const Document* m_doc;
    std::vector<std::pair<int, std::string>> m_boxes;
};

JournalValues printedFields(const Document& doc, RecordMerge& merge);

} // namespace ordavel
