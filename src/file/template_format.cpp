#include "file/template_format.h"

#include <algorithm>
#include <functional>

namespace ordavel {

namespace {

const std::boyer_moore_horspool_searcher<std::string_view::const_iterator> kSearcher(kSegmentSeparator.begin(),
                                                                                    kSegmentSeparator.end());

std::size_t findSeparator(std::string_view bytes, std::size_t from)
{
    const auto found = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(), kSearcher);
    return found == bytes.end() ? std::string_view::npos : static_cast<std::size_t>(found - bytes.begin());
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
