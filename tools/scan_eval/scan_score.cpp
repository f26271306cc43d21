#include "scan_score.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <tuple>

namespace ordavel::scaneval {

std::optional<Truth> readTruth(const std::string& path, std::string* error)
{
    std::ifstream in(path);
    if (!in) {
        *error = "cannot open " + path;
        return std::nullopt;
    }
    try {
        const nlohmann::json json = nlohmann::json::parse(in);
        Truth truth;
        truth.image = json.at("image").get<std::string>();
        truth.family = json.value("family_name", std::string("real"));
        truth.split = json.value("split", std::string());
        truth.paper = {json.at("paper_cm").at(0).get<double>(), json.at("paper_cm").at(1).get<double>()};
        for (const auto& f : json.at("fields"))
            truth.fields.push_back({{f.at("x").get<int>(), f.at("y").get<int>(), f.at("w").get<int>(), f.at("h").get<int>()},
                                    f.at("kind").get<std::string>(), f.value("caption", std::string())});
        return truth;
    } catch (const nlohmann::json::exception& e) {
        *error = path + ": " + e.what();
        return std::nullopt;
    }
}

std::string normalisedCaption(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ' || text[i] == ':' || text[i] == '\t')
            continue;
        // U+FF1A full-width colon, U+3000 ideographic space.
        if (text.substr(i, 3) == "\xEF\xBC\x9A" || text.substr(i, 3) == "\xE3\x80\x80") {
            i += 2;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

bool isChinese(std::string_view text)
{
    // Three-byte UTF-8 sequences E3 90 80 .. E9 BF BF cover U+3400..U+9FFF (CJK ideographs).
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const auto next = static_cast<unsigned char>(text[i + 1]);
        if ((lead == 0xE3 && next >= 0x90) || (lead >= 0xE4 && lead <= 0xE9))
            return true;
    }
    return false;
}

bool hasLatinLetter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

Score& Score::operator+=(const Score& o)
{
    pictures += o.pictures;
    truthCount += o.truthCount;
    proposed += o.proposed;
    found += o.found;
    checkBoxes += o.checkBoxes;
    checkBoxesFound += o.checkBoxesFound;
    digitCells += o.digitCells;
    digitCellsFound += o.digitCellsFound;
    chineseCaptions += o.chineseCaptions;
    chineseExact += o.chineseExact;
    englishCaptions += o.englishCaptions;
    englishExact += o.englishExact;
    seconds += o.seconds;
    cpuSeconds += o.cpuSeconds;
    maxSeconds = std::max(maxSeconds, o.maxSeconds);
    peakKb = std::max(peakKb, o.peakKb);
    for (const auto& [kind, n] : o.kindCount)
        kindCount[kind] += n;
    for (const auto& [kind, n] : o.kindFound)
        kindFound[kind] += n;
    return *this;
}

double ratio(int part, int whole)
{
    return whole > 0 ? static_cast<double>(part) / whole : -1.0;
}

std::vector<int> matchFields(const std::vector<TruthField>& truth, const std::vector<scan::ProposedField>& proposed)
{
    std::vector<std::tuple<double, int, int>> pairs; // IoU, truth, proposal
    for (std::size_t t = 0; t < truth.size(); ++t)
        for (std::size_t p = 0; p < proposed.size(); ++p) {
            const double v = scan::iou(truth[t].rect, proposed[p].rect);
            if (v >= 0.5)
                pairs.emplace_back(v, static_cast<int>(t), static_cast<int>(p));
        }
    // Best first; ties go to the earlier true field, then the earlier proposal.
    std::stable_sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return std::get<0>(a) > std::get<0>(b); });
    std::vector<int> match(truth.size(), -1);
    std::vector<bool> used(proposed.size(), false);
    for (const auto& [v, t, p] : pairs) {
        if (match[static_cast<std::size_t>(t)] >= 0 || used[static_cast<std::size_t>(p)])
            continue;
        match[static_cast<std::size_t>(t)] = p;
        used[static_cast<std::size_t>(p)] = true;
    }
    return match;
}

Score score(const std::vector<TruthField>& truth, const std::vector<scan::ProposedField>& proposed)
{
    Score s;
    s.pictures = 1;
    s.truthCount = static_cast<int>(truth.size());
    s.proposed = static_cast<int>(proposed.size());
    const std::vector<int> match = matchFields(truth, proposed);
    for (std::size_t i = 0; i < truth.size(); ++i) {
        const TruthField& t = truth[i];
        const bool found = match[i] >= 0;
        s.found += found;
        ++s.kindCount[t.kind];
        s.kindFound[t.kind] += found;
        if (t.kind == "checkbox") {
            ++s.checkBoxes;
            s.checkBoxesFound += found;
        }
        if (t.kind == "digit_cells" || t.kind == "box") {
            ++s.digitCells;
            s.digitCellsFound += found;
        }
        const std::string want = normalisedCaption(t.caption);
        if (want.empty())
            continue;
        const bool exact = found && normalisedCaption(proposed[static_cast<std::size_t>(match[i])].caption) == want;
        if (isChinese(t.caption)) {
            ++s.chineseCaptions;
            s.chineseExact += exact;
        } else if (hasLatinLetter(t.caption)) {
            ++s.englishCaptions;
            s.englishExact += exact;
        }
    }
    return s;
}

} // namespace ordavel::scaneval
