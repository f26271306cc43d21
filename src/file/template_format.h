#pragma once
// The framing of a template file: picture segments and the description
// segment joined by an 11-byte separator, and the names of box elements.

#include <string>
#include <string_view>
#include <vector>

namespace ordavel {

inline constexpr std::string_view kSegmentSeparator{"\xA8\x82\x74\x88\x54\x7A\xA8\x80\x78\xA1\xF6", 11};

// True when the separator occurs anywhere in bytes. The separator has no
// proper prefix that is also a suffix, so a segment can only be cut by a full
// occurrence inside it, never by bytes that straddle a segment boundary.
bool containsSeparator(std::string_view bytes);

// Splits file bytes at every separator, scanning from the start. Each stretch
// before a separator is a segment, also when empty; the stretch after the last
// separator is a segment only when it is not empty. The views point into bytes.
std::vector<std::string_view> splitSegments(std::string_view bytes);

// "Box" followed by the slot number in decimal: Box1, Box7.
std::string boxElementName(int index);

} // namespace ordavel
