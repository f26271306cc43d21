// ordavel-cli render FILE.oxf -o OUT.pdf|OUT.png [--dpi N]: the page the print
// command would put on paper, written to a file.
#include "batch.h"
#include "command.h"
#include "headless_app.h"
#include "page_output.h"
#include "template_input.h"

#include <cstdio>

namespace ordavel::cli {

namespace {

constexpr int kMaxDpi = 2400;

bool endsWith(const std::string& text, const std::string& suffix)
{
    if (text.size() < suffix.size())
        return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = text[text.size() - suffix.size() + i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != suffix[i])
            return false;
    }
    return true;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "ordavel-cli render: %s\n", message.c_str());
    return 1;
}

int run(const std::vector<std::string>& args)
{
    std::string input;
    std::string output;
    int dpi = 300;
    BatchOptions batchOptions;
    std::string batchError;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (takeBatchOption(args, i, batchOptions, false, batchError)) {
            if (!batchError.empty())
                return fail(batchError);
        } else if (arg == "-o" && hasValue) {
            output = args[++i];
        } else if (arg == "--dpi" && hasValue) {
            dpi = parsePositive(args[++i]);
            if (dpi == 0 || dpi > kMaxDpi)
                return fail("--dpi takes a whole number from 1 to " + std::to_string(kMaxDpi));
        } else if (input.empty() && !arg.empty() && arg[0] != '-') {
            input = arg;
        } else {
            return fail("unexpected argument \"" + arg + "\"");
        }
    }
    if (input.empty() || output.empty())
        return fail("usage: ordavel-cli render FILE.oxf -o OUT.pdf|OUT.png [--dpi N] [--data FILE|- [--sheet NAME] "
                    "[--records LIST] [--copies-column COL]]");
    const bool pdf = endsWith(output, ".pdf");
    if (!pdf && !endsWith(output, ".png"))
        return fail("the output name must end in .pdf or .png");

    const auto app = makeHeadlessApp();
    Document doc;
    if (!loadTemplate(doc, input))
        return fail("cannot load \"" + input + "\"");
    if (batchOptions.wanted()) {
        const auto batch = prepareBatch(doc, batchOptions, batchError);
        if (!batch)
            return fail(batchError);
        const std::string error = pdf ? writeBatchPdf(doc, *batch, output) : writeBatchPng(doc, *batch, output, dpi);
        return error.empty() ? 0 : fail(error);
    }
    const std::string error = pdf ? writePdf(doc, output) : writePng(doc, output, dpi);
    if (!error.empty())
        return fail(error);
    return 0;
}

const CommandRegistration registration(
    {"render", "render FILE.oxf -o OUT.pdf|OUT.png [--dpi N]   (PNG default 300 dpi)\n"
               "      [--data FILE|- [--sheet NAME] [--records LIST] [--copies-column COL]]   "
               "(one page per record; OUT-0001.png, ...)", run});

} // namespace

} // namespace ordavel::cli
