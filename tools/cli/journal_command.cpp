// ordavel-cli journal [filters] [--json] | show JOB | resume JOB | reprint JOB
// | counter NAME [--set N] | --prune-before DATE | --stats | --off | --on:
// the user's print journal, kept by every print of the designer and the tool.
#include "batch.h"
#include "calibration_options.h"
#include "cli_support.h"
#include "command.h"
#include "headless_app.h"
#include "page_output.h"
#include "paper_check.h"
#include "template_input.h"

#include "file/template_reader.h"
#include "journal/journal.h"
#include "platform/calibration_store.h"
#include "platform/journal_resume.h"
#include "platform/print_journal.h"
#include "shop/users_journal.h"
#if ORDAVEL_SHOP_JOURNAL
#include "journal/postgres/pg_print_queue.h"
#endif

#include <QPrinterInfo>

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <thread>

namespace ordavel::cli {

namespace {

constexpr const char* kName = "journal";

int fail(const std::string& message)
{
    std::fprintf(stderr, "ordavel-cli journal: %s\n", message.c_str());
    return 1;
}

struct Settings {
    std::string action; // "", show, resume, reprint, counter
    std::string argument;
    std::string since, until, templateName, printer, station, search, records, set, pruneBefore;
    std::string uncertain; // resume of a shop queue's job: "printed" or "again"
    std::string shopUrl;   // the shop this station joined, if any
    bool json = false;
    bool stats = false;
    bool off = false;
    bool on = false;
    bool noCalibration = false;
    bool pack = false;
    bool allowPaperMismatch = false;
    int jobSize = 0;
};

OptionParser declare(Settings& s)
{
    OptionParser parser(kName, "Lists, shows, resumes and reprints the jobs of the print journal; shows or sets its"
                               " counters; prunes it, sizes it and switches it off or on.");
    parser.positional("ACTION", "show JOB, resume JOB, reprint JOB or counter NAME (none: list the jobs)", &s.action,
                      false);
    parser.positional("ARG", "the journal job's number, or the counter's name", &s.argument, false);
    const auto into = [](std::string* field) {
        return [field](const std::string& value) {
            *field = value;
            return std::string();
        };
    };
    parser.option({.name = "--since", .value = "DATE", .help = "jobs from this date or time on (YYYY-MM-DD[ HH:MM], today or yesterday)"},
                  into(&s.since));
    parser.option({.name = "--until", .value = "DATE", .help = "jobs before this date or time"}, into(&s.until));
    parser.option({.name = "--template", .value = "NAME", .help = "jobs of this template (its file name, with or without .oxf)"},
                  into(&s.templateName));
    parser.option({.name = "--printer", .value = "NAME",
                   .help = "jobs of this printer; for resume and reprint, the printer to print on"},
                  into(&s.printer));
    parser.option({.name = "--station", .value = "NAME", .help = "jobs printed by this station of the shop"},
                  into(&s.station));
    parser.option({.name = "--search", .value = "TEXT", .help = "jobs with a record that printed each of these words, or whose template or printer name holds them"},
                  into(&s.search));
    parser.flag("--json", "list or show as JSON", &s.json);
    parser.option({.name = "--records", .value = "LIST", .help = "reprint only these records of the job (1-based)"},
                  into(&s.records));
    parser.option({.name = "--uncertain", .value = "printed|again",
                   .help = "resume of a job of the shop's print queue: its uncertain records came out (printed), or print them once more (again)"},
                  [&s](const std::string& value) {
                      s.uncertain = value;
                      return value == "printed" || value == "again"
                          ? std::string()
                          : std::string("--uncertain takes \"printed\" or \"again\"");
                  });
    parser.option({.name = "--set", .value = "N", .help = "the next value the counter gives"}, into(&s.set));
    parser.option({.name = "--job-size", .value = "K", .help = "K records per printer job on resume or reprint"},
                  [&s](const std::string& value) {
                      s.jobSize = parsePositive(value);
                      return s.jobSize == 0 ? std::string("--job-size takes a whole number of at least 1")
                                            : std::string();
                  });
    parser.option({.name = "--calibration", .value = "none", .help = "resume or reprint without the stored calibration"},
                  [&s](const std::string& value) {
                      s.noCalibration = true;
                      return value == "none" ? std::string() : std::string("--calibration takes only \"none\"");
                  });
    declareAllowPaperMismatch(parser, &s.allowPaperMismatch);
    parser.flag("--pack", "reprint the records of a sheet of several forms from its first cell on, not each in the cell it first had",
                &s.pack);
    parser.option({.name = "--prune-before", .value = "DATE", .help = "delete the finished jobs before this date"},
                  into(&s.pruneBefore));
    parser.flag("--stats", "the journal's size and contents", &s.stats);
    parser.flag("--off", "switch the journal off for this user", &s.off, 1);
    parser.flag("--on", "switch the journal on again", &s.on, 1);
    return parser;
}

std::string recordRange(const JournalJob& job)
{
    return std::to_string(job.printedCount) + "/" + std::to_string(job.recordCount);
}

// A job's data source: a file's name as a string; what the print service
// keeps there (JSON) as the object it is.
nlohmann::json dataJson(const std::string& dataSource)
{
    if (dataSource.starts_with('{'))
        if (nlohmann::json parsed = nlohmann::json::parse(dataSource, nullptr, false); parsed.is_object())
            return parsed;
    return dataSource;
}

// A value on one line of the listing: its line breaks shown as "⏎".
std::string oneLine(const std::string& text)
{
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (text[i] == '\n' || text[i] == '\r')
            line += "\xe2\x8f\x8e"; // ⏎
        else
            line += text[i];
    }
    return line;
}

nlohmann::json jobJson(const JournalJob& job)
{
    nlohmann::json out{{"id", job.id},
                       {"created", formatJournalTime(job.createdAt)},
                       {"finished", job.finishedAt > 0 ? formatJournalTime(job.finishedAt) : std::string()},
                       {"user", job.user},
                       {"host", job.host},
                       {"station", job.station},
                       {"program", job.program},
                       {"kind", job.kind},
                       {"printer", job.printer},
                       {"template", job.templatePath},
                       {"templateName", job.templateName},
                       {"sha256", job.templateHash},
                       {"calibration", job.calibration},
                       {"copies", job.copies},
                       {"data", dataJson(job.dataSource)},
                       {"repeats", job.repeats},
                       {"outcome", std::string(outcomeName(job.outcome))},
                       {"reason", job.reason},
                       {"cupsJobs", job.cupsJobIds},
                       {"records", job.recordCount},
                       {"printed", job.printedCount}};
    // The shop's library revision its template came from, when it did.
    if (job.libraryRevision > 0)
        out["revision"] = job.libraryRevision;
    return out;
}

nlohmann::json valuesJson(const JournalValues& values)
{
    nlohmann::json object = nlohmann::json::object();
    for (const auto& value : values)
        object[value.name] = value.value;
    return object;
}

std::string dump(const nlohmann::json& json)
{
    return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<JournalJobId> jobNumber(const std::string& text)
{
    const int id = parsePositive(text);
    return id > 0 ? std::optional<JournalJobId>(id) : std::nullopt;
}

// Settles every unfinished job from CUPS so that a listing shows what printed.
void settleUnfinished(Journal& journal)
{
    const auto open = journal.unfinishedJobs();
    for (const auto& job : open.value) {
        std::string ignored;
        settleFromCups(journal, job.id, false, ignored);
    }
}

int list(Journal& journal, const Settings& s)
{
    JournalQuery query;
    if (!s.since.empty() && !(query.since = parseJournalTime(s.since)))
        return fail("--since takes YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS], today or yesterday, not \"" + s.since + "\"");
    if (!s.until.empty() && !(query.until = parseJournalTime(s.until)))
        return fail("--until takes YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS], today or yesterday, not \"" + s.until + "\"");
    query.templateName = s.templateName;
    query.printer = s.printer;
    query.station = s.station;
    query.search = s.search;
    settleUnfinished(journal);
    const auto jobs = journal.listJobs(query);
    if (!jobs.ok())
        return fail(jobs.error);
    if (s.json) {
        nlohmann::json array = nlohmann::json::array();
        for (const auto& job : jobs.value)
            array.push_back(jobJson(job));
        std::printf("%s\n", dump(array).c_str());
        return 0;
    }
    // A shop's jobs name the station that printed them after the user.
    for (const auto& job : jobs.value)
        std::printf("%lld\t%s\t%s\t%s\t%s\t%s\t%s printed\t%s%s\n", static_cast<long long>(job.id),
                    formatJournalTime(job.createdAt).c_str(), job.kind.c_str(),
                    std::string(outcomeName(job.outcome)).c_str(), job.printer.c_str(), job.templateName.c_str(),
                    recordRange(job).c_str(), job.user.c_str(), job.station.empty() ? "" : ("@" + job.station).c_str());
    return 0;
}

int show(Journal& journal, const Settings& s)
{
    const auto id = jobNumber(s.argument);
    if (!id)
        return fail("show takes a job number");
    std::string settleError;
    settleFromCups(journal, *id, false, settleError);
    const auto job = journal.job(*id);
    if (!job.ok())
        return fail(job.error);
    if (!job.value)
        return fail("no job " + s.argument);
    const auto records = journal.records(*id);
    if (s.json) {
        nlohmann::json out = jobJson(*job.value);
        nlohmann::json list = nlohmann::json::array();
        for (const auto& record : records.value) {
            nlohmann::json counters = nlohmann::json::object();
            for (const auto& counter : record.counters)
                counters[counter.name] = counter.value;
            nlohmann::json entry = {{"record", record.index + 1},
                                    {"number", record.number},
                                    {"copies", record.copies},
                                    {"outcome", std::string(outcomeName(record.outcome))},
                                    {"reason", record.reason},
                                    {"cupsJob", record.cupsJobId},
                                    {"fields", valuesJson(record.fields)},
                                    {"columns", valuesJson(record.columns)},
                                    {"counters", counters}};
            // Where it went on a sheet of several forms; nothing for a form a page.
            if (record.sheet > 0) {
                entry["sheet"] = record.sheet;
                entry["cell"] = record.cell;
            }
            list.push_back(std::move(entry));
        }
        out["recordList"] = list;
        std::printf("%s\n", dump(out).c_str());
        return 0;
    }
    const JournalJob& j = *job.value;
    std::printf("job %lld: %s, %s\n", static_cast<long long>(j.id), j.kind.c_str(),
                std::string(outcomeName(j.outcome)).c_str());
    if (!j.reason.empty())
        std::printf("  reason: %s\n", oneLine(j.reason).c_str());
    std::printf("  created: %s by %s on %s (%s)\n", formatJournalTime(j.createdAt).c_str(), j.user.c_str(),
                j.host.c_str(), j.program.c_str());
    std::printf("  printer: %s\n  template: %s (sha256 %s)\n", j.printer.c_str(), j.templatePath.c_str(),
                j.templateHash.c_str());
    if (!j.dataSource.empty())
        std::printf("  data: %s\n", j.dataSource.c_str());
    if (!j.calibration.empty())
        std::printf("  calibration: %s\n", j.calibration.c_str());
    if (j.repeats > 0)
        std::printf("  repeats job %lld\n", static_cast<long long>(j.repeats));
    std::printf("  records: %s printed\n", recordRange(j).c_str());
    for (const auto& record : records.value) {
        std::string values;
        for (const auto& field : record.fields)
            values += (values.empty() ? "" : " | ") + oneLine(field.value);
        const std::string place = record.sheet > 0
            ? "\tsheet " + std::to_string(record.sheet) + " cell " + std::to_string(record.cell)
            : std::string();
        std::printf("  %d\t#%d\t%s%s%s\t%s\n", record.index + 1, record.number,
                    std::string(outcomeName(record.outcome)).c_str(),
                    record.reason.empty() ? "" : (" (" + oneLine(record.reason) + ")").c_str(), place.c_str(),
                    values.c_str());
    }
    return 0;
}

Calibration calibrationOf(const std::string& printer, bool skip, std::string& error)
{
    if (skip)
        return {};
    const StoredCalibration stored = CalibrationStore().load(printer);
    if (!stored.error.empty()) {
        error = stored.error + " (--calibration none prints without it)";
        return {};
    }
    return stored.calibration.value_or(Calibration{});
}

// Prints the journal records at `indices` of `records` for `journal`, one
// page per copy, from the template in `doc`, on `printer` with `calibration`.
int printRecords(const Document& doc, const JournalJob& job, const std::vector<JournalRecord>& records,
                 const std::vector<int>& indices, const Settings& s, const std::string& printer,
                 const Calibration& calibration, RunJournal& journal, bool reprint, std::vector<int> cells = {})
{
    BatchOptions options;
    options.jobSize = s.jobSize;
    Batch batch;
    batch.table = tableOfRecords(records, job.dataSource);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const JournalRecord& record = records[static_cast<std::size_t>(indices[i])];
        batch.items.push_back({indices[i], record.number, record.copies});
        if (!reprint)
            batch.journalIndex.push_back(record.index);
    }
    batch.cells = std::move(cells);
    const std::string failed = printBatch(doc, batch, options, printer, job.templateName, calibration, journal);
    return failed.empty() ? 0 : fail(failed);
}

// The open journal for a run, not owned by it.
std::shared_ptr<Journal> borrowed(Journal& journal) { return std::shared_ptr<Journal>(&journal, [](Journal*) {}); }

#if ORDAVEL_SHOP_JOURNAL
// A job of the shop's print queue is printed by the station that drives its
// printer, never by resume here: what resume does is let the operator settle
// its uncertain records, as the paper shows.
int resumeShopQueued(const JournalJob& job, const Settings& s)
{
    std::string error;
    const auto state = postgres_journal::queuedJobState(s.shopUrl, job.id, error);
    if (!state)
        return fail(error);
    if (state->uncertain.empty()) {
        if (state->waiting > 0)
            return fail(std::to_string(state->waiting) + " records of job " + s.argument
                        + " wait or print in the shop's print queue; the station that drives its printer prints them");
        if (!s.uncertain.empty())
            return fail("job " + s.argument + " has no uncertain records");
        std::printf("job %s: nothing of it is left in the shop's print queue\n", s.argument.c_str());
        return 0;
    }
    if (s.uncertain.empty()) {
        std::printf("job %s: %zu records are uncertain: they were handed to the printer of a station that then"
                    " stopped answering, and may have printed\n",
                    s.argument.c_str(), state->uncertain.size());
        for (const postgres_journal::UncertainRecord& r : state->uncertain)
            std::printf("  record %d: %s/%s, its print job %d\n", r.n, r.station.c_str(), r.printer.c_str(),
                        r.spoolJob);
        return fail("look at the paper, then resume with --uncertain printed (they came out) or --uncertain again"
                    " (print them once more), and --records LIST for some of them only");
    }
    std::vector<int> chosen;
    if (!s.records.empty()) {
        const RecordSelection selection = parseRecordList(s.records, job.recordCount);
        if (!selection.error.empty())
            return fail(selection.error);
        for (const int row : selection.rows)
            chosen.push_back(row + 1);
    }
    const bool printed = s.uncertain == "printed";
    const auto decided = postgres_journal::decideUncertain(
        s.shopUrl, job.id, chosen,
        printed ? postgres_journal::UncertainDecision::Printed : postgres_journal::UncertainDecision::PrintAgain, error);
    if (!decided)
        return fail(error);
    if (*decided == 0)
        return fail("none of these records of job " + s.argument + " is uncertain");
    std::printf("job %s: %d uncertain records %s\n", s.argument.c_str(), *decided,
                printed ? "recorded as printed" : "put back into the shop's print queue, to print once more");
    return 0;
}
#endif

int resume(Journal& journal, const Settings& s)
{
    const auto id = jobNumber(s.argument);
    if (!id)
        return fail("resume takes a job number");
#if ORDAVEL_SHOP_JOURNAL
    if (!s.shopUrl.empty()) {
        const auto job = journal.job(*id);
        if (job.ok() && job.value && postgres_journal::inShopQueue(*job.value))
            return resumeShopQueued(*job.value, s);
    }
#endif
    if (!s.uncertain.empty())
        return fail("--uncertain is for a job of the shop's print queue");
    const auto app = makeHeadlessApp();
    Document doc;
    const ResumePlan plan = planResume(journal, *id, std::chrono::seconds(kJournalSettleSeconds), doc);
    switch (plan.state) {
    case ResumePlan::State::Failed: return fail(plan.error);
    case ResumePlan::State::InQueue:
        return fail(std::to_string(plan.inQueue) + " records of job " + s.argument
                    + " are still in the print queue or cannot be told apart; nothing was sent");
    case ResumePlan::State::Done: std::printf("job %s: every record is printed\n", s.argument.c_str()); return 0;
    case ResumePlan::State::ToSend: break;
    }
    if (s.printer.empty() && printedToFile(plan.job.printer)) {
        RunJournal entry(borrowed(journal));
        if (!entry.resume(*id, plan.todo))
            return fail(entry.takeProblem());
        std::printf("job %s: sending %zu of %zu records\n", s.argument.c_str(), plan.todo.size(), plan.records.size());
        std::fflush(stdout);
        // The file the job went to keeps its pages; the rest go to a new file beside it.
        const ResumedFiles written = resumeToFiles(plan, doc, entry, nullptr);
        entry.finish();
        (void)journal.indexSearch(); // or the next search takes them in
        if (const std::string problem = entry.takeProblem(); !problem.empty())
            std::fprintf(stderr, "ordavel-cli: print journal: %s (the print went ahead)\n", problem.c_str());
        for (const auto& file : written.files)
            std::printf("job %s: the resumed records are in \"%s\" (\"%s\" is left as it was)\n",
                        s.argument.c_str(), file.c_str(), plan.job.printer.c_str());
        if (!written.completed)
            return fail(written.error.empty() ? "the resumed records could not all be written" : written.error);
        return 0;
    }
    const std::string printer = s.printer.empty() ? plan.job.printer : s.printer;
    std::string error;
    const Calibration calibration = calibrationOf(printer, s.noCalibration, error);
    if (!error.empty())
        return fail(error);
    if (const auto refusal = paperRefusal(printer, jobPaper(doc.page(), calibration.pageLengthMm), s.allowPaperMismatch))
        return fail(*refusal);
    RunJournal entry(borrowed(journal));
    if (!entry.resume(*id, plan.todo))
        return fail(entry.takeProblem());
    std::printf("job %s: sending %zu of %zu records\n", s.argument.c_str(), plan.todo.size(), plan.records.size());
    std::fflush(stdout);
    return printRecords(doc, plan.job, plan.records, plan.todo, s, printer, calibration, entry, false);
}

int reprint(Journal& journal, const Settings& s)
{
    const auto id = jobNumber(s.argument);
    if (!id)
        return fail("reprint takes a job number");
    const auto job = journal.job(*id);
    if (!job.ok() || !job.value)
        return fail(job.ok() ? "no job " + s.argument : job.error);
    if (job.value->kind == "calibration")
        return fail("a calibration page is printed again with calibrate-page");
    const auto records = journal.records(*id);
    if (!records.ok() || records.value.empty())
        return fail(records.ok() ? "job " + s.argument + " has no records" : records.error);
    const int count = static_cast<int>(records.value.size());
    const RecordSelection selection = parseRecordList(s.records, count);
    if (!selection.error.empty())
        return fail(selection.error);
    const auto app = makeHeadlessApp();
    Document doc;
    std::string error;
    if (!loadJournalTemplate(journal, *job.value, doc, error))
        return fail(error);

    const std::string printer = s.printer.empty() ? job.value->printer : s.printer;
    const Calibration calibration = calibrationOf(printer, s.noCalibration, error);
    if (!error.empty())
        return fail(error);
    if (const auto refusal = paperRefusal(printer, jobPaper(doc.page(), calibration.pageLengthMm), s.allowPaperMismatch))
        return fail(*refusal);
    // A reprint prints the numbers the records printed the first time.
    const JournalReprint plan = planReprint(journal, *job.value, records.value, selection.rows, "tool",
                                            calibration.isIdentity() ? std::string() : describeEnglish(calibration),
                                            s.pack);
    RunJournal entry(borrowed(journal));
    if (plan.page) {
        entry.begin(plan.print, doc, nullptr, {}, printer, plan.counters);
        const std::string failed
            = printPage(doc, printer, plan.records[0].copies, job.value->templateName, calibration, entry);
        return failed.empty() ? 0 : fail(failed);
    }
    entry.begin(plan.print, doc, &plan.table, plan.items, printer, plan.counters);
    std::vector<int> all(plan.records.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<int>(i);
    return printRecords(doc, *job.value, plan.records, all, s, printer, calibration, entry, true, plan.cells);
}

int counter(Journal& journal, const Settings& s)
{
    if (s.argument.empty())
        return fail("counter takes a counter's name");
    if (!s.set.empty()) {
        char* end = nullptr;
        const long long next = std::strtoll(s.set.c_str(), &end, 10);
        if (end == s.set.c_str() || *end != '\0' || next < 0)
            return fail("--set takes a whole number of at least 0");
        if (const std::string error = journal.setNextCounterValue(s.argument, next); !error.empty())
            return fail(error);
    }
    const auto next = journal.nextCounterValue(s.argument);
    if (!next.ok())
        return fail(next.error);
    std::printf("%s: next %lld\n", s.argument.c_str(), static_cast<long long>(next.value));
    return 0;
}

int run(const std::vector<std::string>& args)
{
    Settings s;
    if (const auto status = parseInto(s, declare, args))
        return *status;
    const std::string path = Journal::defaultPath();
    if (s.off || s.on) {
        if (const std::string error = Journal::setOff(s.off, path); !error.empty())
            return fail(error);
        std::printf("the print journal is %s\n", s.off ? "off" : "on");
        return 0;
    }
    const auto shop = joinedShop();
    const bool inShop = shop.ok() && shop.value();
    if (inShop)
        s.shopUrl = shop.value()->connection;
    Journal::Opened opened = openUsersJournal(path);
    if (!opened.journal)
        return fail(inShop || !shop.ok() ? opened.error : path + ": " + opened.error);
    Journal& journal = *opened.journal;
    if (const std::string notice = journal.takeNotice(); !notice.empty())
        std::fprintf(stderr, "ordavel-cli journal: %s\n", notice.c_str());
    if (Journal::isOff(path))
        std::fprintf(stderr, "ordavel-cli journal: the journal is switched off (--on switches it on)\n");

    if (!s.pruneBefore.empty()) {
        const auto before = parseJournalTime(s.pruneBefore);
        if (!before)
            return fail("--prune-before takes YYYY-MM-DD or YYYY-MM-DD HH:MM[:SS], not \"" + s.pruneBefore + "\"");
        const auto pruned = journal.pruneBefore(*before);
        if (!pruned.ok())
            return fail(pruned.error);
        std::printf("%d jobs deleted\n", pruned.value);
        return 0;
    }
    if (s.stats) {
        const auto stats = journal.stats();
        if (!stats.ok())
            return fail(stats.error);
        const JournalStats& st = stats.value;
        if (s.json) {
            std::printf("%s\n", dump({{"path", path}, {"bytes", st.fileBytes}, {"jobs", st.jobs},
                                      {"records", st.records}, {"templates", st.templates},
                                      {"templateBytes", st.templateBytes},
                                      {"oldest", st.oldest > 0 ? formatJournalTime(st.oldest) : std::string()},
                                      {"newest", st.newest > 0 ? formatJournalTime(st.newest) : std::string()}})
                                    .c_str());
            return 0;
        }
        std::printf("%s\n  size: %lld bytes\n  jobs: %lld\n  records: %lld\n  templates: %lld (%lld bytes)\n",
                    path.c_str(), static_cast<long long>(st.fileBytes), static_cast<long long>(st.jobs),
                    static_cast<long long>(st.records), static_cast<long long>(st.templates),
                    static_cast<long long>(st.templateBytes));
        if (st.jobs > 0)
            std::printf("  from %s to %s\n", formatJournalTime(st.oldest).c_str(), formatJournalTime(st.newest).c_str());
        return 0;
    }
    if (s.action.empty())
        return list(journal, s);
    if (s.action == "show")
        return show(journal, s);
    if (s.action == "resume")
        return resume(journal, s);
    if (s.action == "reprint")
        return reprint(journal, s);
    if (s.action == "counter")
        return counter(journal, s);
    return fail("unknown action \"" + s.action + "\" (show, resume, reprint or counter)");
}

const CommandRegistration registration({kName, [] { return usageOf(declare); }, run});

} // namespace

} // namespace ordavel::cli
