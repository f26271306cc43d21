#include "platform/paper_question.h"

#include "platform/printer_paper.h"

#include <QPrinter>

namespace ordavel {

bool paperAccepted(const QPrinter& printer, const std::optional<JobPaper>& paper, MessageSink& sink)
{
    if (printer.outputFormat() != QPrinter::NativeFormat || !printer.outputFileName().isEmpty())
        return true;
    const auto warning = paperWarning(printer.printerName().toStdString(), paper);
    return !warning
           || sink.show(Message{*warning + "\r\n仍然打印吗？", "打印文件", MessageIcon::Exclamation, MessageButtons::YesNo})
                  == MessageAnswer::Yes;
}

} // namespace ordavel
