#pragma once
// The one stand-in of the tests: answers dialogs from a script and records
// every message and chooser it was asked for, so tests assert them exactly.

#include "platform/prompter.h"

#include <QPrinter>

#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace ordavel {

class ScriptedPrompter : public Prompter {
public:
    // Recorded requests, in order.
    std::vector<Message> messages;
    std::vector<FileChoice> fileChoices;
    struct ItemChoice {
        std::string prompt, title;
        std::vector<std::string> items;
        int initial = 0;
    };
    std::vector<ItemChoice> itemChoices;
    // "message", "open", "save", "color", "font", "text", "item", "printer"
    std::vector<std::string> requests;

    // Planned answers, taken front first. An empty queue gives the default:
    // Ok/No for messages (Cancel for Yes/No/Cancel), cancel for every chooser.
    std::deque<MessageAnswer> answers;
    std::deque<std::optional<std::string>> files;
    std::deque<std::optional<Color>> colors;
    std::deque<std::optional<FontChoice>> fonts;
    std::deque<std::optional<std::string>> texts;
    std::deque<std::optional<int>> items; // positions in the list offered
    std::deque<bool> printers;
    // When set, an accepted print dialog chooses "print to file" with this PDF name.
    std::string printToFile;
    // When set (and printToFile is not), an accepted print dialog chooses this printer.
    std::string printerName;

    MessageAnswer show(const Message& message) override
    {
        messages.push_back(message);
        requests.push_back("message");
        if (!answers.empty())
            return take(answers);
        switch (message.buttons) {
        case MessageButtons::Ok: return MessageAnswer::Ok;
        case MessageButtons::YesNo: return MessageAnswer::No;
        case MessageButtons::YesNoCancel: return MessageAnswer::Cancel;
        }
        return MessageAnswer::Ok;
    }
    std::optional<std::string> chooseOpenFile(const FileChoice& choice) override
    {
        fileChoices.push_back(choice);
        requests.push_back("open");
        return files.empty() ? std::nullopt : take(files);
    }
    std::optional<std::string> chooseSaveFile(const FileChoice& choice) override
    {
        fileChoices.push_back(choice);
        requests.push_back("save");
        return files.empty() ? std::nullopt : take(files);
    }
    std::optional<Color> chooseColor(Color, const std::string&) override
    {
        requests.push_back("color");
        return colors.empty() ? std::nullopt : take(colors);
    }
    std::optional<FontChoice> chooseFont(const FontChoice&, const std::string&) override
    {
        requests.push_back("font");
        return fonts.empty() ? std::nullopt : take(fonts);
    }
    std::optional<std::string> askText(const std::string&, const std::string&, const std::string&) override
    {
        requests.push_back("text");
        return texts.empty() ? std::nullopt : take(texts);
    }
    std::optional<int> chooseItem(const std::string& prompt, const std::string& title,
                                  const std::vector<std::string>& list, int initial) override
    {
        itemChoices.push_back(ItemChoice{prompt, title, list, initial});
        requests.push_back("item");
        return items.empty() ? std::nullopt : take(items);
    }
    bool choosePrinter(QPrinter& printer) override
    {
        requests.push_back("printer");
        const bool accepted = printers.empty() ? false : take(printers);
        if (accepted && printToFile.empty() && !printerName.empty())
            printer.setPrinterName(QString::fromStdString(printerName));
        if (accepted && !printToFile.empty()) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(printToFile));
        }
        return accepted;
    }

private:
    template <typename T> static T take(std::deque<T>& queue)
    {
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
};

} // namespace ordavel
