#include "file/template_result.h"

namespace ordavel {

std::string describeTemplateResult(const TemplateResult& result)
{
    switch (result.fault) {
    case TemplateResult::Fault::None:
        return {};
    case TemplateResult::Fault::File:
        return describeFileStatus(result.file);
    case TemplateResult::Fault::NotATemplate:
        return "not a template";
    case TemplateResult::Fault::Damaged:
        return "damaged: fewer picture segments than picture boxes";
    case TemplateResult::Fault::Refused:
        return "a picture holds the segment separator";
    case TemplateResult::Fault::Cancelled:
        return "cancelled";
    }
    return {};
}

} // namespace ordavel
