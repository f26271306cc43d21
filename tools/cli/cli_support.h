#pragma once
// Pieces shared by several commands: a message sink that prints to stderr,
// and the options more than one command takes (-o, --printer, --screen-dpi).

#include "option_parser.h"

#include "model/message.h"

#include <string>

namespace ordavel::cli {

// Prints every message as "ordavel-cli: <caption>: <text>" on stderr.
class StderrSink : public MessageSink {
public:
    MessageAnswer show(const Message& message) override;
    int count = 0;
};

// -o, --output FILE: the file a command writes; `file` names it in the usage.
void declareOutput(OptionParser& parser, std::string* target, const std::string& file, const std::string& help,
                   bool required = true, int choice = 0);
// --printer NAME.
void declarePrinter(OptionParser& parser, std::string* target, const std::string& help, bool required = false,
                    int choice = 0);
// --screen-dpi N: the screen scale that converts box positions in pixels (96 by default).
void declareScreenDpi(OptionParser& parser, double* target);

} // namespace ordavel::cli
