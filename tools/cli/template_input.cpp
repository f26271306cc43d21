#include "template_input.h"

#include "file/picture.h"
#include "file/template_reader.h"
#include "model/message.h"

#include <charconv>
#include <cstdio>

namespace ordavel::cli {

namespace {

class StderrSink : public MessageSink {
public:
    MessageAnswer show(const Message& message) override
    {
        std::string text;
        for (const char c : message.text)
            if (c != '\r')
                text += c;
        std::fprintf(stderr, "ordavel-cli: %s: %s\n", message.caption.c_str(), text.c_str());
        return message.buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
    }
};

} // namespace

bool loadTemplate(Document& doc, const std::string& fileName)
{
    StderrSink sink;
    doc.newDocument();
    doc.setFileName(fileName);
    const TemplateResult result = loadDocumentFile(doc, fileName, sink);
    const bool loaded = result.ok();
    if (!loaded)
        std::fprintf(stderr, "ordavel-cli: cannot open %s: %s\n", fileName.c_str(), describeTemplateResult(result).c_str());
    if (!doc.page().backgroundTempPath.empty()) {
        removeFileQuietly(doc.page().backgroundTempPath);
        doc.page().backgroundTempPath.clear();
    }
    return loaded;
}

int parsePositive(const std::string& text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value <= 0)
        return 0;
    return value;
}

} // namespace ordavel::cli
