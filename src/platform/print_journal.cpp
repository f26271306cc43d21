#include "platform/print_journal.h"

#include "platform/system_spooler.h"

#include "file/template_reader.h"
#include "file/template_writer.h"
#include "journal/journal_system.h"
#include "print/box_render.h"


#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

namespace ordavel {

namespace {

class QuietSink : public MessageSink {
public:
    MessageAnswer show(const Message&) override { return MessageAnswer::Ok; }
};

} // namespace

std::string templateBytesOf(const Document& doc, const std::string& path, bool modified)
{
    if (!modified && !path.empty()) {
        std::ifstream file(path, std::ios::binary);
        if (file) {
            std::ostringstream bytes;
            bytes << file.rdbuf();
            if (file.good() || file.eof())
                return bytes.str();
        }
    }
    QuietSink sink;
    return templateBytes(doc, sink).value_or(std::string());
}

DataTable tableOfRecords(const std::vector<JournalRecord>& records, const std::string& dataSource)
{
    std::vector<std::string> names;
    for (const auto& record : records)
        for (const auto& column : record.columns)
            if (std::find(names.begin(), names.end(), column.name) == names.end())
                names.push_back(column.name);
    DataTable table(names);
    for (const auto& record : records) {
        for (const auto& name : names) {
            const auto found = std::find_if(record.columns.begin(), record.columns.end(),
                                            [&](const JournalValue& v) { return v.name == name; });
            table.appendCell(found == record.columns.end() ? std::string_view() : std::string_view(found->value));
        }
        table.endRecord();
    }
    const auto slash = dataSource.rfind('/');
    table.folder = slash == std::string::npos ? std::string() : dataSource.substr(0, slash);
    return table;
}

int settleFromCups(Journal& journal, JournalJobId id, bool own, std::string& error)
{
    return settleFromQueue(journal, id, own, *systemSpooler(), error);
}

bool loadJournalTemplate(const Journal& journal, const JournalJob& job, Document& doc, std::string& error)
{
    const auto bytes = journal.templateBytes(job.templateHash);
    if (!bytes.ok() || !bytes.value || bytes.value->empty()) {
        error = bytes.ok() ? "the journal holds no template for job " + std::to_string(job.id) : bytes.error;
        return false;
    }
    class Quiet : public MessageSink {
    public:
        MessageAnswer show(const Message& message) override
        {
            text = message.text;
            return MessageAnswer::Ok;
        }
        std::string text;
    } sink;
    doc.newDocument();
    if (!loadDocumentFromBytes(doc, *bytes.value, job.templatePath, sink)) {
        error = "the stored template does not load: " + sink.text;
        return false;
    }
    return true;
}

JournalReprint planReprint(const Journal& journal, const JournalJob& job, const std::vector<JournalRecord>& records,
                           const std::vector<int>& rows, const std::string& program, const std::string& calibration,
                           bool pack)
{
    JournalReprint plan;
    plan.print.program = program;
    plan.print.kind = JournalKind::Reprint;
    plan.print.templatePath = job.templatePath;
    plan.print.templateBytes = journal.templateBytes(job.templateHash).value.value_or(std::string());
    plan.print.dataSource = job.dataSource;
    plan.print.copies = job.copies;
    plan.print.repeats = job.id;
    plan.print.calibration = calibration;
    plan.page = records.size() == 1 && records[0].columns.empty() && records[0].number == 0;
    for (const int row : rows) {
        const JournalRecord& record = records[static_cast<std::size_t>(row)];
        plan.counters.push_back(record.counters);
        plan.records.push_back(record);
    }
    if (plan.page)
        return plan;
    plan.table = tableOfRecords(plan.records, job.dataSource);
    for (std::size_t i = 0; i < plan.records.size(); ++i)
        plan.items.push_back({static_cast<int>(i), plan.records[i].number, plan.records[i].copies});
    if (!pack && std::any_of(plan.records.begin(), plan.records.end(), [](const auto& r) { return r.cell > 0; }))
        for (const JournalRecord& record : plan.records)
            plan.cells.push_back(record.cell);
    return plan;
}

JournalPrint designerJournalPrint(const Document& doc, const Calibration& calibration, JournalKind kind, int copies)
{
    JournalPrint what;
    what.program = "designer";
    what.kind = kind;
    what.templatePath = doc.fileName();
    what.templateBytes = templateBytesOf(doc, doc.fileName(), doc.modified());
    what.calibration = calibration.isIdentity() ? std::string() : describeCalibration(calibration);
    what.copies = copies;
    return what;
}

Message journalProblemMessage(const std::string& problem)
{
    return Message{"打印记录出了问题：" + problem + "\r\n这次打印照常进行。", "打印文件", MessageIcon::Exclamation,
                   MessageButtons::Ok};
}

} // namespace ordavel
