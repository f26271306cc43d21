#pragma once
// Scoring proposed fields against fields annotated by hand.

#include "scan/scan_analysis.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <string>
#include <vector>

namespace ordavel::scan::test {

struct TruthField {
    PixelRect rect;
    std::string kind;
    std::string caption;
};

struct Truth {
    std::string image;
    PaperSize paper;
    std::vector<TruthField> fields;
};

inline Truth readTruth(const std::string& path)
{
    std::ifstream in(path);
    const nlohmann::json json = nlohmann::json::parse(in);
    Truth truth;
    truth.image = json.at("image").get<std::string>();
    truth.paper = {json.at("paper_cm").at(0).get<double>(), json.at("paper_cm").at(1).get<double>()};
    for (const auto& f : json.at("fields"))
        truth.fields.push_back({{f.at("x").get<int>(), f.at("y").get<int>(), f.at("w").get<int>(), f.at("h").get<int>()},
                                f.at("kind").get<std::string>(), f.at("caption").get<std::string>()});
    return truth;
}

// A caption as compared: without blanks and colons of either width.
inline std::string normalisedCaption(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ' || text[i] == ':' || text[i] == '\t')
            continue;
        if (text.compare(i, 3, "\xEF\xBC\x9A") == 0 || text.compare(i, 3, "\xE3\x80\x80") == 0) {
            i += 2;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

struct Score {
    int truthCount = 0;
    int proposed = 0;
    int found = 0;           // true fields matched at IoU >= 0.5
    int checkBoxes = 0;
    int checkBoxesFound = 0;
    int captionsExact = 0;   // among the matched fields
    std::vector<std::string> misses; // what went wrong, for the failure message

    double recall() const { return truthCount ? static_cast<double>(found) / truthCount : 0; }
    double precision() const { return proposed ? static_cast<double>(found) / proposed : 0; }
};

// Each true field takes the best unmatched proposal at IoU >= 0.5.
inline Score score(const std::vector<TruthField>& truth, const std::vector<ProposedField>& proposed)
{
    Score s;
    s.truthCount = static_cast<int>(truth.size());
    s.proposed = static_cast<int>(proposed.size());
    std::vector<bool> used(proposed.size(), false);
    for (const TruthField& t : truth) {
        int best = -1;
        double bestIou = 0.5;
        for (std::size_t j = 0; j < proposed.size(); ++j) {
            const double v = iou(t.rect, proposed[j].rect);
            if (!used[j] && v >= bestIou) {
                best = static_cast<int>(j);
                bestIou = v;
            }
        }
        if (t.kind == "checkbox")
            ++s.checkBoxes;
        if (best < 0) {
            s.misses.push_back("missed " + t.kind + " \"" + t.caption + "\" at " + std::to_string(t.rect.x) + "," +
                               std::to_string(t.rect.y));
            continue;
        }
        used[static_cast<std::size_t>(best)] = true;
        ++s.found;
        if (t.kind == "checkbox")
            ++s.checkBoxesFound;
        if (normalisedCaption(proposed[static_cast<std::size_t>(best)].caption) == normalisedCaption(t.caption))
            ++s.captionsExact;
        else
            s.misses.push_back("caption \"" + t.caption + "\" read as \"" + proposed[static_cast<std::size_t>(best)].caption + "\"");
    }
    for (std::size_t j = 0; j < proposed.size(); ++j)
        if (!used[j])
            s.misses.push_back("false " + proposed[j].kind + " \"" + proposed[j].caption + "\" at " +
                               std::to_string(proposed[j].rect.x) + "," + std::to_string(proposed[j].rect.y));
    return s;
}

} // namespace ordavel::scan::test
