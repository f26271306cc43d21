#pragma once
// Reads the printed text of one caption crop (Chinese and English). One
// engine is made per reader and reused for every crop, since starting one
// costs far more than reading a short line.

#include "scan/scan_image.h"

#include <memory>
#include <string>

namespace ordavel::scan {

class CaptionReader {
public:
    // Loads the Chinese and English models; ok() tells whether they loaded.
    CaptionReader();
    ~CaptionReader();
    CaptionReader(const CaptionReader&) = delete;
    CaptionReader& operator=(const CaptionReader&) = delete;

    bool ok() const;
    // The text of a grey crop holding one line, or one character when
    // `singleCharacter`; "" when nothing is read. Lines are joined by spaces.
    std::string read(const Picture& crop, bool singleCharacter = false);
    // The same read with the Chinese model alone, whose engine is started
    // on first use.
    std::string readChinese(const Picture& crop, bool singleCharacter = false);

private:
    struct Engine;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<Engine> m_chinese;
};

} // namespace ordavel::scan
