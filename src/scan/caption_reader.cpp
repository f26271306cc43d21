// Tesseract reads the captions.
#include "scan/caption_reader.h"

#include <tesseract/baseapi.h>

#include <cstdlib>

namespace ordavel::scan {

// Tesseract's OpenMP threads spin while they wait; on short lines they cost
// several times the work they share, so one thread reads a caption best. With
// no active levels allowed, the runtime runs every parallel region on the
// calling thread (Tesseract names its thread counts itself, so a count would not do).
extern "C" void omp_set_max_active_levels(int levels);

struct CaptionReader::Engine {
    tesseract::TessBaseAPI api;
    bool ok = false;
};

namespace {

const char* modelFolder()
{
    const char* fromEnvironment = std::getenv("TESSDATA_PREFIX");
    return fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : ORDAVEL_TESSDATA_DIR;
}

std::string readLine(tesseract::TessBaseAPI& api, const Picture& crop, bool singleCharacter)
{
    omp_set_max_active_levels(0);
    api.SetPageSegMode(singleCharacter ? tesseract::PSM_SINGLE_CHAR : tesseract::PSM_SINGLE_LINE);
    api.SetImage(crop.pixels.data(), crop.width, crop.height, 1, crop.width);
    api.SetSourceResolution(300);
    std::unique_ptr<char[]> text(api.GetUTF8Text());
    api.Clear();
    if (!text)
        return {};
    std::string out(text.get());
    for (char& c : out)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    while (!out.empty() && out.front() == ' ')
        out.erase(out.begin());
    return out;
}

} // namespace

CaptionReader::CaptionReader() : m_engine(std::make_unique<Engine>())
{
    // The LSTM engine alone: the legacy one is not in Debian's models.
    omp_set_max_active_levels(0);
    m_engine->ok = m_engine->api.Init(modelFolder(), "chi_sim+eng", tesseract::OEM_LSTM_ONLY) == 0;
    if (m_engine->ok) {
        m_engine->api.SetVariable("debug_file", "/dev/null");
        m_engine->api.SetVariable("preserve_interword_spaces", "1");
    }
}

CaptionReader::~CaptionReader()
{
    if (m_engine->ok)
        m_engine->api.End();
    if (m_chinese && m_chinese->ok)
        m_chinese->api.End();
}

bool CaptionReader::ok() const { return m_engine->ok; }

std::string CaptionReader::read(const Picture& crop, bool singleCharacter)
{
    if (!m_engine->ok || crop.empty() || crop.channels != 1)
        return {};
    return readLine(m_engine->api, crop, singleCharacter);
}

std::string CaptionReader::readChinese(const Picture& crop, bool singleCharacter)
{
    if (!m_engine->ok || crop.empty() || crop.channels != 1)
        return {};
    if (!m_chinese) {
        m_chinese = std::make_unique<Engine>();
        m_chinese->ok = m_chinese->api.Init(modelFolder(), "chi_sim", tesseract::OEM_LSTM_ONLY) == 0;
        if (m_chinese->ok)
            m_chinese->api.SetVariable("debug_file", "/dev/null");
    }
    return m_chinese->ok ? readLine(m_chinese->api, crop, singleCharacter) : std::string();
}

} // namespace ordavel::scan
