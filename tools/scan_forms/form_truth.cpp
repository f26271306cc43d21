#include "form_truth.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace ordavel::scanforms {

std::string truthJson(const FormTruth& truth)
{
    nlohmann::ordered_json fields = nlohmann::ordered_json::array();
    for (const TruthField& f : truth.fields) {
        nlohmann::ordered_json j;
        j["x"] = static_cast<int>(std::lround(f.rect.x()));
        j["y"] = static_cast<int>(std::lround(f.rect.y()));
        j["w"] = static_cast<int>(std::lround(f.rect.width()));
        j["h"] = static_cast<int>(std::lround(f.rect.height()));
        j["kind"] = f.kind;
        j["caption"] = f.caption;
        j["language"] = f.language;
        fields.push_back(std::move(j));
    }
    nlohmann::ordered_json out;
    out["image"] = truth.image;
    out["width"] = truth.width;
    out["height"] = truth.height;
    out["paper_cm"] = {truth.paperWidthCm, truth.paperHeightCm};
    out["paper_note"] = "generated: family " + std::to_string(truth.family) + " (" + truth.familyName + "), seed " +
                        std::to_string(truth.seed) + ", " + truth.capture;
    out["family"] = truth.family;
    out["family_name"] = truth.familyName;
    out["seed"] = truth.seed;
    out["split"] = truth.split;
    out["dpi"] = std::round(truth.dpi * 10.0) / 10.0;
    out["skew"] = std::round(truth.skewDegrees * 100.0) / 100.0;
    out["capture"] = truth.capture;
    out["fields"] = std::move(fields);
    return out.dump(1) + "\n";
}

} // namespace ordavel::scanforms
