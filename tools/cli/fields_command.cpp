// ordavel-cli fields FILE.oxf: the data columns the template uses, as a JSON
// array of names; with --formats, as objects that also give the formats each
// column is printed in, so that the plain array stays what it always was.
#include "command.h"
#include "option_parser.h"
#include "template_input.h"

#include "data/field_text.h"
#include "data/merge.h"
#include "field_format/field_format.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <map>

namespace ordavel::cli {

namespace {

struct Settings {
    std::string input;
    bool formats = false;
};

OptionParser declare(Settings& s)
{
    OptionParser parser("fields", "Writes the data columns the template uses, as a JSON array of names.");
    parser.positional("FILE.oxf", "the template", &s.input);
    parser.flag("--formats",
                "write each column as {\"name\":..., \"formats\":[...]}: the formats its placeholders give it",
                &s.formats);
    return parser;
}

// For every column the document's placeholders name, the formats they give
// it, each once, in slot order; a plain ${NAME} adds none.
std::map<std::string, std::vector<std::string>> columnFormats(const Document& doc)
{
    std::map<std::string, std::vector<std::string>> formats;
    for (int index = 1; index <= doc.slotCount(); ++index) {
        const Box& b = doc.box(index);
        if (!b.inUse || !takesPlaceholders(b.type))
            continue;
        // Substitution hands every placeholder to the lookup, in order.
        std::string ignored;
        substituteFields(b.attributes.text, [&](std::string_view placeholder) {
            const FormattedPlaceholder split = splitPlaceholder(placeholder);
            if (!split.format.empty()) {
                auto& list = formats[std::string(split.name)];
                if (std::find(list.begin(), list.end(), split.format) == list.end())
                    list.emplace_back(split.format);
            }
            return std::string_view();
        }, ignored);
    }
    return formats;
}

// Objects with "name" first, as the option's help shows them.
nlohmann::ordered_json fieldsWithFormats(const Document& doc)
{
    const auto formats = columnFormats(doc);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& name : templateFields(doc)) {
        const auto found = formats.find(name);
        list.push_back({{"name", name},
                        {"formats", found == formats.end() ? std::vector<std::string>() : found->second}});
    }
    return list;
}

int run(const std::vector<std::string>& args)
{
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    Document doc;
    if (!loadTemplate(doc, s.input)) {
        std::fprintf(stderr, "ordavel-cli fields: cannot load \"%s\"\n", s.input.c_str());
        return 1;
    }
    const std::string out = s.formats ? fieldsWithFormats(doc).dump() : nlohmann::json(templateFields(doc)).dump();
    std::printf("%s\n", out.c_str());
    return 0;
}

const CommandRegistration registration({"fields", [] { return usageOf(declare); }, run});

} // namespace

} // namespace ordavel::cli
