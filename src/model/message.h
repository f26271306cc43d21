#pragma once
// Messages the core reports to the user. The core only describes them; the
// GUI shows them as message boxes and the headless tool prints them.

#include <string>

namespace ordavel {

enum class MessageIcon { Stop, Exclamation, Question, Information };
enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

struct Message {
    std::string text;    // UTF-8, byte for byte the program's own text
    std::string caption; // names the command or dialog, e.g. "打开文件"
    MessageIcon icon = MessageIcon::Stop;
    MessageButtons buttons = MessageButtons::Ok;
    friend bool operator==(const Message&, const Message&) = default;
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual MessageAnswer show(const Message& message) = 0;
};

} // namespace ordavel
