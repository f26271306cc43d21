#pragma once
// Shared helpers of the template reader and writer tests: a sink that records
// messages, a scratch folder, random documents and a model comparison.

#include "model/document.h"
#include "model/message.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace ordavel::testing {

class RecordingSink : public MessageSink {
public:
    MessageAnswer show(const Message& message) override
    {
        messages.push_back(message);
        return MessageAnswer::Ok;
    }
    std::vector<Message> messages;
};

// A fresh folder under the system temporary folder, removed with its contents.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string path(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// A document with every box type and random attributes: texts with CR LF, TAB,
// quotes, &, ', <, >, GBK and non-GBK characters, fractional PrintRects,
// pictures empty and not, a background picture, and (when gaps) free slots
// between the live ones.
void fillRandomDocument(Document& doc, std::mt19937& rng, bool gaps = true);

// Everything the file stores must be equal (the temporary background path is not stored).
void expectSameModel(const Document& a, const Document& b);

} // namespace ordavel::testing
