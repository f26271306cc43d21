#pragma once
// The layout families of generated forms: what a family draws, on what
// paper, in which colours and language. A family is chosen by number; the
// seed chooses everything that varies within it.

#include "form_sheet.h"

#include <string>
#include <vector>

namespace ordavel::scanforms {

struct Family {
    std::string name;
    std::string language;   // "zh" or "en"
    double paperWidthCm;
    double paperHeightCm;
    QColor ink;             // rules and captions
    bool tinted = false;    // coloured paper
    bool watermark = false;
    bool stamp = false;
    void (*layout)(Sheet&, Rng&, const Family&);
    int variant = 0;        // what the layout varies by family (columns, dotted leaders ...)
};

const std::vector<Family>& families();

// The captions forms print, by language.
const std::vector<std::string>& captionWords(const std::string& language);
// Values written into filled-in copies, by language.
const std::vector<std::string>& fillValues(const std::string& language);

} // namespace ordavel::scanforms
