// Parsing a 20 MB template description (Box elements with the attributes of
// the file format) with our reader and, for scale, with pugixml.
#include "file/xml.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#ifdef ORDAVEL_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

constexpr std::size_t kTextBytes = 20u << 20;

void setAll(ordavel::XmlDocument& doc, ordavel::XmlNodeId node,
            std::initializer_list<std::pair<const char*, std::string>> attributes)
{
    for (const auto& [name, value] : attributes)
        doc.setAttribute(node, name, value);
}

const std::string& descriptionText()
{
    static const std::string text = [] {
        using ordavel::XmlDocument;
        XmlDocument doc("Document");
        setAll(doc, 0, {{"pageWidth", "21"}, {"pageHeight", "29.7"}, {"wWidth", "794"}, {"wHeight", "1096"},
                        {"ImgShowType", "0"}, {"bgColor", "16777215"}, {"isPrintBgPic", "0"}});
        const auto boxes = doc.addChild(0, "boxes");
        std::string last;
        for (int i = 1; last.size() < kTextBytes; ++i) {
            const auto box = doc.addChild(boxes, "Box" + std::to_string(i));
            const int type = 1 + i % 7;
            const std::string n = std::to_string(i % 700);
            setAll(doc, box, {{"cType", std::to_string(type)}, {"pPewW", "1"}, {"pX", "2.65"}, {"pY", "1." + n},
                              {"pW", "3.2"}, {"pH", "0.74"}, {"isPrint", "1"}, {"wX", n}, {"wY", n}, {"wW", "121"},
                              {"wH", "28"}});
            const std::pair<const char*, std::string> font[] = {{"B", "0"}, {"I", "0"}, {"T", "0"}, {"U", "0"},
                                                                {"Font", "\xCB\xCE\xCC\xE5"}, {"FontSize", "12"}};
            switch (type) {
            case 1:
                setAll(doc, box, {{"IType", "0"}, {"MLine", "1"}, {"Scrollbars", "0"},
                                  {"wValue", "\xB5\xDA\xD2\xBB\xD0\xD0 \"" + n + "\"\r\n\xB5\xDA\xB6\xFE & <" + n + ">"},
                                  {"Color", "0"}});
                break;
            case 2:
                setAll(doc, box, {{"sType", "0"}, {"hAlign", "1"}, {"vAlign", "1"}, {"mLine", "0"},
                                  {"bgColor", "16777215"}, {"wValue", "\xCA\xD5\xBC\xFE\xC8\xCB"}, {"Color", "255"}});
                break;
            case 3: setAll(doc, box, {{"bgColor", "16777215"}, {"sType", "1"}}); break;
            case 4:
                setAll(doc, box, {{"xxType", "0"}, {"xWidth", "1"}, {"xtType", "0"}, {"bgColor", "16777215"},
                                  {"xtColor", "0"}, {"wxType", "2"}});
                break;
            case 5: setAll(doc, box, {{"DateTime", "2024\xC4\xEA" "5\xD4\xC2" "1\xC8\xD5"}, {"DTFormat", "1"}}); break;
            case 6: setAll(doc, box, {{"Type", "0"}, {"cboItems", ",A,B,C," + n}}); break;
            default: setAll(doc, box, {{"Color", "65280"}}); break;
            }
            if (type == 1 || type == 2 || type == 5 || type == 6)
                for (const auto& [name, value] : font)
                    doc.setAttribute(box, name, value);
            if (i % 1024 == 0)
                last = doc.serialise();
        }
        return last;
    }();
    return text;
}

void OurParse(benchmark::State& state)
{
    const std::string& text = descriptionText();
    for (auto _ : state) {
        ordavel::XmlDocument doc; // a fresh document, like pugixml's below
        if (!doc.parse(text))
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(doc.nodeCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(OurParse)->Unit(benchmark::kMillisecond);

#ifdef ORDAVEL_HAVE_PUGIXML
void PugixmlParse(benchmark::State& state)
{
    const std::string& text = descriptionText();
    for (auto _ : state) {
        pugi::xml_document doc;
        if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8))
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(doc.first_child());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(PugixmlParse)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK_MAIN();
