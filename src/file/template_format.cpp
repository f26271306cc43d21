#include "file/template_format.h"

#include <cstring>

namespace ordavel {

namespace {

// The separator's first byte never occurs in Base64 text, so memchr skips the
// description (the bulk of most files) at memory speed.
std::size_t findSeparator(std::string_view bytes, std::size_t from)
{
    const char* const end = bytes.data() + bytes.size();
    const char* at = bytes.data() + from;
    while (static_cast<std::size_t>(end - at) >= kSegmentSeparator.size()) {
        at = static_cast<const char*>(std::memchr(at, kSegmentSeparator[0], static_cast<std::size_t>(end - at)));
        if (!at || static_cast<std::size_t>(end - at) < kSegmentSeparator.size())
            break;
        if (std::memcmp(at, kSegmentSeparator.data(), kSegmentSeparator.size()) == 0)
            return static_cast<std::size_t>(at - bytes.data());
        ++at;
    }
    return std::string_view::npos;
}

} // namespace

bool containsSeparator(std::string_view bytes) { return findSeparator(bytes, 0) != std::string_view::npos; }

std::vector<std::string_view> splitSegments(std::string_view bytes)
{
    std::vector<std::string_view> segments;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = findSeparator(bytes, start);
        if (at == std::string_view::npos)
            break;
        segments.push_back(bytes.substr(start, at - start));
        start = at + kSegmentSeparator.size();
    }
    if (start < bytes.size())
        segments.push_back(bytes.substr(start));
    return segments;
}

std::string boxElementName(int index) { return "Box" + std::to_string(index); }

} // namespace ordavel
