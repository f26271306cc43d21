// Loading a whole template: loadDocument (file read, segments, Base64, GBK,
// XML, boxes into the model) against reading the same file with OpenSSL's
// Base64 decoder, glibc iconv and pugixml, walking every box attribute.
// Load time is also measured at 10,000 and 100,000 boxes to show linear growth.
#include "file/template_reader.h"
#include "file/template_writer.h"
#include "file/template_format.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#ifdef ORDAVEL_HAVE_OPENSSL
#include <openssl/evp.h>
#endif
#ifdef ORDAVEL_HAVE_PUGIXML
#include <iconv.h>
#include <pugixml.hpp>
#endif

namespace {

class NullSink : public ordavel::MessageSink {
public:
    ordavel::MessageAnswer show(const ordavel::Message&) override { return ordavel::MessageAnswer::Ok; }
};

// A template with `count` boxes of every type (a few pictures), written by
// saveDocument into the system temporary folder once per size.
const std::string& templateFile(int count)
{
    static std::map<int, std::string> files;
    auto& name = files[count];
    if (!name.empty())
        return name;
    ordavel::Document doc;
    for (int i = 0; i < count; ++i) {
        const auto type = static_cast<ordavel::BoxType>(1 + i % 7);
        const int index = doc.addBox(type, i % 700, (i / 700) % 1000, 120, 28);
        ordavel::Box& b = doc.box(index);
        b.attributes.text = "第一行 \"" + std::to_string(i) + "\"\r\n第二行 & <x>";
        b.attributes.items = {"甲", "乙", std::to_string(i)};
        if (type == ordavel::BoxType::PicBox && i % 70 == 2)
            b.attributes.picture = "BM" + std::string(200, 'p');
    }
    name = (std::filesystem::temp_directory_path() / ("ordavel-load-bench-" + std::to_string(count) + ".oxf")).string();
    NullSink sink;
    if (!ordavel::saveDocument(doc, name, sink))
        std::abort();
    return name;
}

void LoadDocument(benchmark::State& state)
{
    const std::string& file = templateFile(static_cast<int>(state.range(0)));
    NullSink sink;
    for (auto _ : state) {
        ordavel::Document doc;
        doc.setFileName(file);
        if (!ordavel::loadDocument(doc, file, sink))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(doc.liveBoxCount());
    }
    state.counters["boxes"] = static_cast<double>(state.range(0));
}
BENCHMARK(LoadDocument)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

#if defined(ORDAVEL_HAVE_OPENSSL) && defined(ORDAVEL_HAVE_PUGIXML)
// The peer road: read the file, take the last segment, EVP_DecodeBlock,
// iconv CP936 -> UTF-8, pugixml, then read every attribute of every box.
void IconvThenPugixml(benchmark::State& state)
{
    const std::string& file = templateFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream buffer;
        buffer << in.rdbuf();
        const std::string bytes = buffer.str();
        const std::size_t at = bytes.rfind(ordavel::kSegmentSeparator);
        const std::string_view text = std::string_view(bytes).substr(at + ordavel::kSegmentSeparator.size());
        std::string gbk(text.size() / 4 * 3 + 3, '\0');
        const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(gbk.data()),
                                      reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        gbk.resize(static_cast<std::size_t>(n));
        std::string utf8(gbk.size() * 3 / 2 + 16, '\0');
        iconv_t cd = iconv_open("UTF-8", "CP936");
        char* src = gbk.data();
        std::size_t srcLeft = gbk.size();
        char* dst = utf8.data();
        std::size_t dstLeft = utf8.size();
        iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        iconv_close(cd);
        utf8.resize(utf8.size() - dstLeft);
        pugi::xml_document doc;
        doc.load_buffer_inplace(utf8.data(), utf8.size(), pugi::parse_default & ~pugi::parse_wnorm_attribute);
        std::size_t total = 0;
        for (pugi::xml_node box : doc.document_element().child("boxes").children())
            for (pugi::xml_attribute a : box.attributes())
                total += std::char_traits<char>::length(a.value());
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(IconvThenPugixml)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK_MAIN();
