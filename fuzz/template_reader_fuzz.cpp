// Loads arbitrary file bytes: every input ends in a loaded document or a
// failure message. An input that starts with "<" is taken as the raw GBK
// description instead and framed as a file (two empty picture segments, the
// separator, its Base64), so that mutations reach the box loading directly. A loaded document must save, load and save again to the
// same bytes. Run with TMPDIR on a memory file system: backgrounds go to
// temporary files, which are deleted after each input.
#include "file/base64.h"
#include "file/picture.h"
#include "file/template_format.h"
#include "file/template_reader.h"
#include "file/template_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class CountingSink : public ordavel::MessageSink {
public:
    ordavel::MessageAnswer show(const ordavel::Message&) override
    {
        ++count;
        return ordavel::MessageAnswer::Ok;
    }
    int count = 0;
};

void dropTemp(ordavel::Document& doc)
{
    if (!doc.page().backgroundTempPath.empty())
        ordavel::removeFileQuietly(doc.page().backgroundTempPath);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string framed;
    if (size > 0 && data[0] == '<') {
        framed = std::string(ordavel::kSegmentSeparator) + "PIC1" + std::string(ordavel::kSegmentSeparator) +
                 std::string(ordavel::kSegmentSeparator) + ordavel::encodeBase64(bytes);
        bytes = framed;
    }
    ordavel::Document doc;
    CountingSink sink;
    const bool loaded = ordavel::loadDocumentFromBytes(doc, bytes, "fuzz/none.oxf", sink);
    dropTemp(doc);
    if (!loaded) {
        if (sink.count == 0)
            std::abort(); // a failure always tells the user
        return 0;
    }
    const auto first = ordavel::templateBytes(doc, sink);
    if (!first)
        std::abort(); // segments of a loaded file never hold the separator
    ordavel::Document again;
    if (!ordavel::loadDocumentFromBytes(again, *first, "fuzz/none.oxf", sink))
        std::abort();
    dropTemp(again);
    const auto second = ordavel::templateBytes(again, sink);
    if (!second || *second != *first || again.liveBoxCount() != doc.liveBoxCount())
        std::abort();
    return 0;
}
