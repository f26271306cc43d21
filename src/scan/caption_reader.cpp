// Tesseract reads the captions.
#include "scan/caption_reader.h"

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cstdint>
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

} // namespace

// The LSTM engine alone: the legacy one is not in Debian's models.
void CaptionReader::start(Engine& engine, const char* languages)
{
    engine.ok = engine.api.Init(modelFolder(), languages, tesseract::OEM_LSTM_ONLY) == 0;
    if (!engine.ok)
        return;
    engine.api.SetVariable("debug_file", "/dev/null");
}

CaptionReader::CaptionReader() : m_engine(std::make_unique<Engine>()), m_chinese(std::make_unique<Engine>())
{
    // The Chinese model alone is loaded too: most forms read are Chinese,
    // and on this thread it costs the caller no time.
    m_loading = std::async(std::launch::async, [this] {
        start(*m_engine, "chi_sim+eng");
        if (m_engine->ok)
            m_engine->api.SetVariable("preserve_interword_spaces", "1");
        start(*m_chinese, "chi_sim");
    });
}

CaptionReader::~CaptionReader()
{
    waitForEngines();
    if (m_engine->ok)
        m_engine->api.End();
    if (m_chinese->ok)
        m_chinese->api.End();
}

void CaptionReader::waitForEngines()
{
    if (m_loading.valid())
        m_loading.get();
}

bool CaptionReader::ok()
{
    waitForEngines();
    return m_engine->ok;
}

std::string CaptionReader::read(const Picture& crop, bool singleCharacter)
{
    if (!ok() || crop.empty() || crop.channels != 1)
        return {};
    return readLine(*m_engine, crop, singleCharacter);
}

std::string CaptionReader::readChinese(const Picture& crop, bool singleCharacter)
{
    if (!ok() || !m_chinese->ok || crop.empty() || crop.channels != 1)
        return {};
    return readLine(*m_chinese, crop, singleCharacter);
}

std::string CaptionReader::readLine(Engine& engine, const Picture& crop, bool singleCharacter)
{
    // A crop of one grey holds nothing to read; read inverted, a square one
    // would come back as a character.
    m_sureness = 0;
    if (std::all_of(crop.pixels.begin(), crop.pixels.end(), [&](std::uint8_t v) { return v == crop.pixels.front(); }))
        return {};
    tesseract::TessBaseAPI& api = engine.api;
    omp_set_max_active_levels(0);
    ++m_readings;
    api.SetPageSegMode(singleCharacter ? tesseract::PSM_SINGLE_CHAR : tesseract::PSM_SINGLE_LINE);
    // A line read with little confidence is read again inverted, and the
    // surer reading kept. Captions are dark on light (crops are stretched to
    // black on white), so a line of several characters is not worth that
    // second pass of the network; a character alone, whose reading has no
    // neighbours to lean on, is, and costs little.
    api.SetVariable("tessedit_do_invert", crop.width * 2 <= crop.height * 3 ? "1" : "0");
    api.SetImage(crop.pixels.data(), crop.width, crop.height, 1, crop.width);
    api.SetSourceResolution(300);
    std::unique_ptr<char[]> text(api.GetUTF8Text());
    if (std::unique_ptr<tesseract::ResultIterator> symbols(api.GetIterator()); symbols && !symbols->Empty(tesseract::RIL_SYMBOL)) {
        double least = 100;
        do
            least = std::min(least, static_cast<double>(symbols->Confidence(tesseract::RIL_SYMBOL)));
        while (symbols->Next(tesseract::RIL_SYMBOL));
        m_sureness = std::max(0.0, least);
    }
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
    if (out.empty())
        m_sureness = 0;
    return out;
}

} // namespace ordavel::scan
