// The stages of the analysis in their order, and the one way a field is proposed.
#include "scan/field_layout.h"

#include <algorithm>

namespace ordavel::scan::layout {

std::optional<std::vector<ProposedField>> Layout::run()
{
    classifyRegions();
    buildPhrases();
    m_ocrTotal = static_cast<double>(std::max<std::size_t>(1, m_phrases.size()));
    squareFields();
    if (m_cancelled)
        return std::nullopt;
    glyphBoxFields();
    underlineFields();
    cellFields();
    if (m_cancelled)
        return std::nullopt;
    openPageFields();
    if (m_cancelled)
        return std::nullopt;
    return std::move(m_fields);
}

std::vector<PrintedCaption> Layout::printedCaptions() const
{
    std::vector<PrintedCaption> captions;
    for (std::size_t p = 0; p < m_phrases.size(); ++p)
        captions.push_back({m_phrases[p].rect, m_text[p].value_or(std::string())});
    return captions;
}

void Layout::add(const PixelRect& rect, const char* kind, std::string caption)
{
    if (rect.w < px(2.0) || rect.h < px(2.0))
        return;
    // An area already proposed is not proposed again.
    for (const ProposedField& field : m_fields)
        if (intersect(field.rect, rect).area() * 10 > std::min(field.rect.area(), rect.area()) * 3)
            return;
    m_fields.push_back({rect, kind, std::move(caption), {}});
}

} // namespace ordavel::scan::layout
