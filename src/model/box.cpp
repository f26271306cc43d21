#include "model/box.h"

#include <chrono>
#include <ctime>

namespace ordavel {

BoxType boxTypeFromCode(int code)
{
    return code >= 1 && code <= 8 ? static_cast<BoxType>(code) : BoxType::None;
}

DateTime DateTime::now()
{
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&t, &local);
    return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                    local.tm_hour, local.tm_min, local.tm_sec};
}

BoxAttributes defaultAttributes(BoxType type)
{
    BoxAttributes attrs;
    switch (type) {
    case BoxType::EditBox: attrs.text = "编辑框"; break;
    case BoxType::Label: attrs.text = "标签"; break;
    case BoxType::DatePicker: attrs.dateTime = DateTime::now(); break;
    case BoxType::BarcodeBox: attrs.text = "12345678"; break;
    default: break;
    }
    return attrs;
}

void Box::resetToInitial()
{
    const BoxType keptType = type;
    const bool hadControl = controlCreated;
    const bool hadHandles = handlesCreated;
    const Rect keptRect = editRect;
    const auto keptHandles = handles;
    *this = Box{};
    // The slot keeps its hidden control (with reset values) and handles.
    type = keptType;
    controlCreated = hadControl;
    handlesCreated = hadHandles;
    editRect = keptRect;
    handles = keptHandles;
    if (hadControl)
        attributes = defaultAttributes(keptType);
}

} // namespace ordavel
