#include "cli_support.h"

#include <cstdio>
#include <cstdlib>

namespace ordavel::cli {

MessageAnswer StderrSink::show(const Message& message)
{
    ++count;
    std::fprintf(stderr, "ordavel-cli: %s: %s\n", message.caption.c_str(), message.text.c_str());
    return MessageAnswer::Ok;
}

void declareOutput(OptionParser& parser, std::string* target, const std::string& file, const std::string& help,
                   bool required, int choice)
{
    parser.option({.name = "--output", .value = file, .help = help, .shortName = 'o', .required = required,
                   .choice = choice},
                  [target](const std::string& value) {
                      *target = value;
                      return std::string();
                  });
}

void declarePrinter(OptionParser& parser, std::string* target, const std::string& help, bool required, int choice)
{
    parser.option({.name = "--printer", .value = "NAME", .help = help, .required = required, .choice = choice},
                  [target](const std::string& value) {
                      *target = value;
                      return std::string();
                  });
}

void declareScreenDpi(OptionParser& parser, double* target)
{
    parser.option({.name = "--screen-dpi", .value = "N",
                   .help = "the screen scale that turns box positions in pixels into cm (default 96)"},
                  [target](const std::string& value) {
                      char* end = nullptr;
                      const double dpi = std::strtod(value.c_str(), &end);
                      if (*end != '\0' || !(dpi >= 1.0 && dpi <= 10000.0))
                          return std::string("--screen-dpi needs a number from 1 to 10000");
                      *target = dpi;
                      return std::string();
                  });
}

} // namespace ordavel::cli
