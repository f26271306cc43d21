// scan_eval [--split tune|measure] [--json OUT.json] [--quiet] TRUTH.json|FOLDER...:
// runs the scan analysis on each picture named by a truth file and reports
// fields found (recall), proposals true (precision) at IoU >= 0.5, check
// boxes, digit cells, captions read exactly (Chinese and English apart),
// analysis time (on the clock, and the processor time of all its threads)
// and peak memory: per picture, per family and in total.
#include "scan_score.h"

#include "scan/caption_reader.h"
#include "scan/scan_analysis.h"
#include "scan/scan_file.h"

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
    std::fprintf(stderr, "usage: scan_eval [--split tune|measure] [--json OUT.json] [--quiet] TRUTH.json|FOLDER...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string split;
    std::string jsonOut;
    bool quiet = false;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--split" && i + 1 < argc)
            split = argv[++i];
        else if (a == "--json" && i + 1 < argc)
            jsonOut = argv[++i];
        else if (a == "--quiet")
            quiet = true;
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
