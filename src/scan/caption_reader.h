#pragma once
// Reads the printed text of one caption crop (Chinese and English). One
// engine is made per reader and reused for every crop, since starting one
// costs far more than reading a short line. The engines are started on a
// thread of their own, so that the page's ruling is found meanwhile; the
// first read waits for them.

#include "scan/scan_image.h"

#include <future>
#include <memory>
#include <string>

namespace ordavel::scan {

class CaptionReader {
public:
    // Starts loading the Chinese and English models; ok() tells whether they loaded.
    CaptionReader();
    ~CaptionReader();
    CaptionReader(const CaptionReader&) = delete;
    CaptionReader& operator=(const CaptionReader&) = delete;

    // Waits for the models.
    bool ok();
    // The text of a grey crop holding one line, or one character when
    // `singleCharacter`; "" when nothing is read. Lines are joined by spaces.
    std::string read(const Picture& crop, bool singleCharacter = false);
    // The same read with the Chinese model alone.
    std::string readChinese(const Picture& crop, bool singleCharacter = false);
    // How sure the last read was: the confidence (0 to 100) of its least
    // certain character; 0 when it read nothing.
    double sureness() const { return m_sureness; }
    // The crops read so far.
    long long readings() const { return m_readings; }

private:
    struct Engine;
    static void start(Engine& engine, const char* languages);
    void waitForEngines();
    std::string readLine(Engine& engine, const Picture& crop, bool singleCharacter);

    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<Engine> m_chinese;
    std::future<void> m_loading;
    double m_sureness = 0;
    long long m_readings = 0;
};

} // namespace ordavel::scan
