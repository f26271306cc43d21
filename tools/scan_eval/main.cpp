// scan_eval [--split tune|measure] [--json OUT.json] [--quiet] [--explain]
//           [--draw FOLDER] TRUTH.json|FOLDER...:
// runs the scan analysis on each picture named by a truth file and reports
// fields found (recall), proposals true (precision) at IoU >= 0.5, check
// boxes, digit cells, captions read exactly (Chinese and English apart),
// analysis time (on the clock, and the processor time of all its threads)
// and peak memory: per picture, per family and in total. --explain lists,
// per picture, the true fields missed, the proposals matching none and the
// captions misread; --draw writes each picture with the true fields (green)
// and the proposals (red where false, blue where true) outlined.
#include "scan_score.h"

#include "scan/caption_reader.h"
#include "scan/scan_analysis.h"
#include "scan/scan_file.h"
#include "scan/scan_image.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace ordavel;
using scaneval::ratio;
using scaneval::Score;

namespace {

// The process's peak resident size in kB (VmHWM), reset before each picture
// so that each figure is the peak of that picture's analysis.
long peakResidentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

double cpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::string percent(int part, int whole)
{
    const double r = ratio(part, whole);
    if (r < 0)
        return "   -  ";
    char text[32];
    std::snprintf(text, sizeof text, "%5.1f%%", r * 100.0);
    return text;
}

std::string figures(const Score& s)
{
    char text[256];
    std::snprintf(text, sizeof text, "%s %s %s %s %s %s %6.2f %6.2f %6.2f %5ld", percent(s.found, s.truthCount).c_str(),
                  percent(s.found, s.proposed).c_str(), percent(s.checkBoxesFound, s.checkBoxes).c_str(),
                  percent(s.digitCellsFound, s.digitCells).c_str(), percent(s.chineseExact, s.chineseCaptions).c_str(),
                  percent(s.englishExact, s.englishCaptions).c_str(), s.pictures ? s.seconds / s.pictures : 0.0,
                  s.maxSeconds, s.pictures ? s.cpuSeconds / s.pictures : 0.0, s.peakKb / 1024);
    return text;
}

const char* kHeader = "found  true   chkbox digits zh-cap en-cap  mean s  max s  cpu s    MB";

nlohmann::ordered_json scoreJson(const Score& s)
{
    nlohmann::ordered_json j;
    j["pictures"] = s.pictures;
    j["fields"] = s.truthCount;
    j["proposed"] = s.proposed;
    j["found"] = s.found;
    j["check_boxes"] = s.checkBoxes;
    j["check_boxes_found"] = s.checkBoxesFound;
    j["digit_cells"] = s.digitCells;
    j["digit_cells_found"] = s.digitCellsFound;
    j["chinese_captions"] = s.chineseCaptions;
    j["chinese_exact"] = s.chineseExact;
    j["english_captions"] = s.englishCaptions;
    j["english_exact"] = s.englishExact;
    j["recall"] = ratio(s.found, s.truthCount);
    j["precision"] = ratio(s.found, s.proposed);
    j["seconds"] = s.seconds;
    j["max_seconds"] = s.maxSeconds;
    j["cpu_seconds"] = s.cpuSeconds;
    j["peak_mb"] = static_cast<double>(s.peakKb) / 1024.0;
    nlohmann::ordered_json kinds = nlohmann::ordered_json::object();
    for (const auto& [kind, n] : s.kindCount) {
        const auto found = s.kindFound.find(kind);
        kinds[kind] = {{"fields", n}, {"found", found == s.kindFound.end() ? 0 : found->second}};
    }
    j["kinds"] = std::move(kinds);
    return j;
}

int usage()
{
    std::fprintf(stderr, "usage: scan_eval [--split tune|measure] [--json OUT.json] [--quiet] [--explain] [--draw FOLDER] "
                         "TRUTH.json|FOLDER...\n");
    return 2;
}

void outline(scan::Picture& picture, const scan::PixelRect& r, std::uint8_t red, std::uint8_t green, std::uint8_t blue, int width)
{
    const scan::PixelRect clipped = scan::intersect(r, {0, 0, picture.width, picture.height});
    if (clipped.empty() || picture.channels != 3)
        return;
    auto put = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= picture.width || y >= picture.height)
            return;
        std::uint8_t* p = &picture.pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) + static_cast<std::size_t>(x)) * 3];
        p[0] = red;
        p[1] = green;
        p[2] = blue;
    };
    for (int k = 0; k < width; ++k) {
        for (int x = clipped.x; x < clipped.right(); ++x) {
            put(x, clipped.y + k);
            put(x, clipped.bottom() - 1 - k);
        }
        for (int y = clipped.y; y < clipped.bottom(); ++y) {
            put(clipped.x + k, y);
            put(clipped.right() - 1 - k, y);
        }
    }
}

std::string rectText(const scan::PixelRect& r)
{
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.w) + "x" + std::to_string(r.h);
}

void explain(const std::vector<scaneval::TruthField>& truth, const std::vector<scan::ProposedField>& proposed)
{
    const std::vector<int> match = scaneval::matchFields(truth, proposed);
    std::vector<bool> used(proposed.size(), false);
    for (std::size_t t = 0; t < truth.size(); ++t) {
        if (match[t] < 0) {
            // The proposal overlapping it most, to tell a wrong size from nothing at all.
            double best = 0;
            int nearest = -1;
            for (std::size_t p = 0; p < proposed.size(); ++p)
                if (const double v = scan::iou(truth[t].rect, proposed[p].rect); v > best) {
                    best = v;
                    nearest = static_cast<int>(p);
                }
            std::printf("  missed  %-11s %-22s %s", truth[t].kind.c_str(), truth[t].caption.c_str(), rectText(truth[t].rect).c_str());
            if (nearest >= 0)
                std::printf("  (nearest %s %s, IoU %.2f)", proposed[static_cast<std::size_t>(nearest)].kind.c_str(),
                            rectText(proposed[static_cast<std::size_t>(nearest)].rect).c_str(), best);
            std::printf("\n");
            continue;
        }
        used[static_cast<std::size_t>(match[t])] = true;
        const scan::ProposedField& p = proposed[static_cast<std::size_t>(match[t])];
        if (scaneval::normalisedCaption(p.caption) != scaneval::normalisedCaption(truth[t].caption))
            std::printf("  misread %-11s %-22s as %s\n", truth[t].kind.c_str(), truth[t].caption.c_str(), p.caption.c_str());
    }
    for (std::size_t p = 0; p < proposed.size(); ++p)
        if (!used[p])
            std::printf("  false   %-11s %-22s %s\n", proposed[p].kind.c_str(), proposed[p].caption.c_str(), rectText(proposed[p].rect).c_str());
}

} // namespace

int main(int argc, char** argv)
{
    std::string split;
    std::string jsonOut;
    bool quiet = false;
    bool explainAll = false;
    std::string drawFolder;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--split" && i + 1 < argc)
            split = argv[++i];
        else if (a == "--json" && i + 1 < argc)
            jsonOut = argv[++i];
        else if (a == "--quiet")
            quiet = true;
        else if (a == "--explain")
            explainAll = true;
        else if (a == "--draw" && i + 1 < argc)
            drawFolder = argv[++i];
        else if (a.rfind("--", 0) == 0)
            return usage();
        else if (fs::is_directory(a)) {
            for (const auto& entry : fs::directory_iterator(a))
                if (entry.path().extension() == ".json")
                    files.push_back(entry.path());
        } else
            files.emplace_back(a);
    }
    if (files.empty())
        return usage();
    std::sort(files.begin(), files.end());

    scan::CaptionReader reader;
    if (!reader.ok())
        std::fprintf(stderr, "scan_eval: the Chinese and English OCR models are missing; captions are not read\n");
    std::map<std::string, Score> byFamily;
    Score total;
    nlohmann::ordered_json pictures = nlohmann::ordered_json::array();
    if (!quiet)
        std::printf("%-28s %-30s %s\n", "picture", "family", kHeader);
    int failures = 0;
    for (const fs::path& file : files) {
        std::string error;
        const auto truth = scaneval::readTruth(file.string(), &error);
        if (!truth) {
            std::fprintf(stderr, "scan_eval: %s\n", error.c_str());
            ++failures;
            continue;
        }
        if (!split.empty() && truth->split != split)
            continue;
        const auto image = scan::readScanFile((file.parent_path() / truth->image).string(), &error);
        if (!image) {
            std::fprintf(stderr, "scan_eval: %s: %s\n", truth->image.c_str(), error.c_str());
            ++failures;
            continue;
        }
        resetPeak();
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuNow();
        const scan::ScanAnalysis analysis = scan::analyseScan(image->picture, truth->paper, reader);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Score s = scaneval::score(truth->fields, analysis.fields);
        s.seconds = seconds;
        s.maxSeconds = seconds;
        s.cpuSeconds = cpuNow() - cpuStart;
        s.peakKb = peakResidentKb();
        byFamily[truth->family] += s;
        total += s;
        if (!quiet)
            std::printf("%-28s %-30s %s\n", file.filename().string().c_str(), truth->family.c_str(), figures(s).c_str());
        if (explainAll)
            explain(truth->fields, analysis.fields);
        if (!drawFolder.empty()) {
            scan::Picture drawn = image->picture;
            if (drawn.channels == 1) {
                drawn.channels = 3;
                drawn.pixels.clear();
                for (const std::uint8_t v : image->picture.pixels)
                    drawn.pixels.insert(drawn.pixels.end(), {v, v, v});
            }
            const int width = std::max(1, drawn.width / 800);
            for (const auto& t : truth->fields)
                outline(drawn, t.rect, 0, 200, 0, width);
            const std::vector<int> match = scaneval::matchFields(truth->fields, analysis.fields);
            for (std::size_t p = 0; p < analysis.fields.size(); ++p) {
                const bool matched = std::find(match.begin(), match.end(), static_cast<int>(p)) != match.end();
                const scan::PixelRect r = analysis.fields[p].rect;
                outline(drawn, {r.x + width, r.y + width, r.w - 2 * width, r.h - 2 * width}, matched ? 0 : 230, 0, matched ? 230 : 0, width);
            }
            fs::create_directories(drawFolder);
            std::ofstream(fs::path(drawFolder) / (file.stem().string() + ".png"), std::ios::binary) << scan::encodePng(drawn);
        }
        nlohmann::ordered_json p = scoreJson(s);
        p["truth"] = file.filename().string();
        p["family"] = truth->family;
        pictures.push_back(std::move(p));
    }

    std::printf("\n%-30s %5s %s\n", "family", "pics", kHeader);
    nlohmann::ordered_json families = nlohmann::ordered_json::object();
    for (const auto& [family, s] : byFamily) {
        std::printf("%-30s %5d %s\n", family.c_str(), s.pictures, figures(s).c_str());
        families[family] = scoreJson(s);
    }
    std::printf("%-30s %5d %s\n", "total", total.pictures, figures(total).c_str());
    std::printf("fields %d, proposals %d, found %d; check boxes %d/%d; digit cells %d/%d; "
                "Chinese captions %d/%d; English captions %d/%d\n",
                total.truthCount, total.proposed, total.found, total.checkBoxesFound, total.checkBoxes,
                total.digitCellsFound, total.digitCells, total.chineseExact, total.chineseCaptions, total.englishExact,
                total.englishCaptions);
    std::printf("found by kind:");
    for (const auto& [kind, n] : total.kindCount)
        std::printf(" %s %d/%d (%s)", kind.c_str(), total.kindFound[kind], n, percent(total.kindFound[kind], n).c_str());
    std::printf("\n");
    if (!jsonOut.empty()) {
        nlohmann::ordered_json out;
        out["total"] = scoreJson(total);
        out["families"] = std::move(families);
        out["pictures"] = std::move(pictures);
        std::ofstream(jsonOut) << out.dump(1) << "\n";
    }
    return failures > 0 ? 1 : 0;
}
