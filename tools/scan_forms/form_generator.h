#pragma once
// One generated form: its family and seed decide everything, so the same
// pair always gives the same picture and truth.

#include "form_truth.h"
#include "scan_capture.h"

#include <QImage>

#include <string>

namespace ordavel::scanforms {

struct GeneratedForm {
    QImage page;        // as printed, before capture
    QImage picture;     // as scanned or photographed
    Capture how;
    FormTruth truth;    // fields in pixels of `picture`
};

// The split a form belongs to. A quarter of the families are never tuned
// on; of the others, one seed in five is measured only.
std::string splitOf(int family, unsigned seed);

// `dpi` 0 lets the seed choose 150..400 dpi; `clean` skips the capture (the
// picture is the page as printed).
GeneratedForm generateForm(int family, unsigned seed, double dpi = 0, bool clean = false);

// Writes NAME.png or NAME.jpg and NAME.json into `folder`; false when either cannot be written.
bool writeForm(GeneratedForm& form, const std::string& folder, const std::string& name);

} // namespace ordavel::scanforms
