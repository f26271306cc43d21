// Parses arbitrary bytes; whatever is accepted must serialise to a text that
// parses again and serialises to the same bytes.
#include "file/xml.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ordavel::XmlDocument doc;
    if (!doc.parse(std::string_view(reinterpret_cast<const char*>(data), size)))
        return 0;
    const std::string written = doc.serialise();
    ordavel::XmlDocument again;
    if (!again.parse(written) || again.nodeCount() != doc.nodeCount() ||
        again.attributeCount() != doc.attributeCount() || again.serialise() != written)
        std::abort();
    return 0;
}
