#pragma once
// Opening the property dialog of a box: one modal dialog per box type.

#include <string>
#include <vector>

class QWidget;

namespace ordavel {

class Document;
class Prompter;

// Opens, modal over `parent`, the property dialog of the type of box `index`
// (1-based, a box in use) and makes it the current box. Returns true when the
// user pressed OK and the box was changed; false on Cancel or for a box whose
// type has no dialog. Messages, fonts, colours and files go through `prompter`.
// `dataColumns`, the columns of the open data file, are offered as data fields.
bool showPropertyDialog(QWidget* parent, Document& doc, int index, Prompter& prompter,
                        const std::vector<std::string>& dataColumns = {});

// The double click on a box: makes it current and, in design mode only,
// selects it alone and opens its dialog. Returns what showPropertyDialog does.
bool openPropertyDialogFromClick(QWidget* parent, Document& doc, int index, Prompter& prompter,
                                 const std::vector<std::string>& dataColumns = {});

} // namespace ordavel
