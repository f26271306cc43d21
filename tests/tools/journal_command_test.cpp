// `ordavel-cli journal` reads the same journal the same way whichever
// program wrote it: `show` keeps each record on one line, `--json` gives
// values as JSON objects, `--since` takes today and yesterday, `--search`
// takes several words and matches template and printer names, `--template`
// takes the name with or without ".oxf".
#include "tool_run.h"

#include "journal/journal.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <cstdlib>
#include <set>
#include <sstream>

namespace ordavel {
namespace {

namespace fs = std::filesystem;
using test::runCommand;

class JournalCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* set = std::getenv("XDG_DATA_HOME"))
            m_old = set;
        ::setenv("XDG_DATA_HOME", (scratch.path() / "data").c_str(), 1);
        auto opened = Journal::open();
        ASSERT_TRUE(opened.journal) << opened.error;
        journal = std::move(opened.journal);
    }
    void TearDown() override
    {
        journal.reset();
        m_old.empty() ? ::unsetenv("XDG_DATA_HOME") : ::setenv("XDG_DATA_HOME", m_old.c_str(), 1);
    }

    // A finished job of one record per entry of `fields`.
    JournalJobId record(const std::string& program, const std::string& templateName, const std::string& printer,
                        const std::vector<JournalValues>& fields, const std::string& dataSource = {})
    {
        JournalJobIn in;
        in.program = program;
        in.kind = JournalKind::Batch;
        in.printer = printer;
        in.templateName = templateName;
        in.templateBytes = "<oxf/>";
        in.dataSource = dataSource;
        in.startPrinting = true;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            JournalRecordIn r;
            r.number = static_cast<int>(i) + 1;
            r.fields = fields[i];
            in.records.push_back(r);
        }
        const auto id = journal->recordJob(in);
        EXPECT_TRUE(id.ok()) << id.error;
        const int last = static_cast<int>(fields.size()) - 1;
        EXPECT_EQ(journal->setRecordOutcome(id.value, 0, last, JournalOutcome::Printed), "");
        EXPECT_EQ(journal->finishJob(id.value, JournalOutcome::Printed), "");
        return id.value;
    }

    void createdAt(JournalJobId id, JournalTime at)
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(journal->path().c_str(), &db), SQLITE_OK);
        const std::string sql = "UPDATE jobs SET created_at = " + std::to_string(at) + " WHERE id = " + std::to_string(id);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    static test::RunResult tool(const std::string& args)
    {
        return runCommand(std::string(ORDAVEL_CLI) + " journal " + args);
    }

    // The job numbers a listing gives, in its order.
    static std::vector<JournalJobId> listed(const std::string& args)
    {
        const auto run = tool(args);
        EXPECT_EQ(run.status, 0) << args << "\n" << run.output;
        std::vector<JournalJobId> ids;
        std::istringstream lines(run.output);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty() && line[0] >= '0' && line[0] <= '9')
                ids.push_back(std::stoll(line));
        return ids;
    }

    test::ScratchDir scratch{"ordavel-journal-command"};
    std::unique_ptr<Journal> journal;

private:
    std::string m_old;
};

TEST_F(JournalCommand, ShowKeepsEachRecordOnOneLineAndJsonGivesValuesAsObjects)
{
    // As an older tool named it: with ".oxf".
    const JournalJobId waybill = record("tool", "waybill.oxf", "pdf",
                                        {{{"box 1", "张三\n北京市朝阳区\r\n3号楼"}, {"box 2", "SF1001"}},
                                         {{"box 1", "李四"}, {"box 2", "SF1002"}}});
    const JournalJobId service = record("service", "receipt", "Office", {{{"box 1", "王五"}}},
                                        R"({"service":{"token":"shop","key":"k1","expires":3600}})");

    const auto shown = tool("show " + std::to_string(waybill));
    ASSERT_EQ(shown.status, 0) << shown.output;
    EXPECT_NE(shown.output.find("\t张三⏎北京市朝阳区⏎3号楼 | SF1001\n"), std::string::npos) << shown.output;
    EXPECT_NE(shown.output.find("\t李四 | SF1002\n"), std::string::npos) << shown.output;
    EXPECT_EQ(shown.output.find("\n北京"), std::string::npos) << shown.output;

    const auto json = nlohmann::json::parse(tool("show " + std::to_string(waybill) + " --json").output, nullptr, false);
    ASSERT_TRUE(json.is_object());
    EXPECT_EQ(json["templateName"], "waybill");
    ASSERT_EQ(json["recordList"].size(), 2u);
    const auto& fields = json["recordList"][0]["fields"];
    ASSERT_TRUE(fields.is_object()) << fields.dump();
    EXPECT_EQ(fields["box 1"], "张三\n北京市朝阳区\r\n3号楼");
    EXPECT_TRUE(json["recordList"][0]["columns"].is_object());

    // What the print service keeps of a job is an object, not JSON text in a string.
    const auto fromService = nlohmann::json::parse(tool("show " + std::to_string(service) + " --json").output,
                                                   nullptr, false);
    ASSERT_TRUE(fromService.is_object());
    ASSERT_TRUE(fromService["data"].is_object()) << fromService["data"].dump();
    EXPECT_EQ(fromService["data"]["service"]["token"], "shop");
    EXPECT_TRUE(fromService["recordList"][0]["fields"].is_object());
    const auto list = nlohmann::json::parse(tool("--json").output, nullptr, false);
    ASSERT_TRUE(list.is_array());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(list[0]["data"].is_object());
    EXPECT_EQ(list[1]["data"], "");
    EXPECT_EQ(list[1]["templateName"], "waybill");
}

TEST_F(JournalCommand, SinceTakesTodayAndYesterdayAndSearchTakesWordsAndNames)
{
    const JournalJobId old = record("designer", "waybill.oxf", "Front Desk", {{{"box 1", "张三"}, {"box 2", "2024年5月1日"}}});
    const JournalJobId lastNight = record("tool", "waybill", "pdf", {{{"box 1", "李四"}, {"box 2", "SF1001"}},
                                                                     {{"box 1", "张三"}, {"box 2", "SF1002"}}});
    const JournalJobId now = record("service", "receipt", "Office", {{{"box 1", "王五"}}});
    const auto yesterday = parseJournalTime("yesterday");
    ASSERT_TRUE(yesterday.has_value());
    createdAt(old, *yesterday - 3 * 86400);
    createdAt(lastNight, *yesterday + 60);

    EXPECT_EQ(listed("--since today"), std::vector<JournalJobId>{now});
    EXPECT_EQ(listed("--since yesterday"), (std::vector<JournalJobId>{now, lastNight}));
    EXPECT_EQ(listed("--until yesterday"), std::vector<JournalJobId>{old});
    EXPECT_EQ(listed("--since yesterday --until today"), std::vector<JournalJobId>{lastNight});
    const auto tomorrow = tool("--since tomorrow");
    EXPECT_EQ(tomorrow.status, 1);
    EXPECT_NE(tomorrow.output.find("today or yesterday"), std::string::npos) << tomorrow.output;

    EXPECT_EQ(listed("--search 2024年"), std::vector<JournalJobId>{old});
    EXPECT_EQ(listed("--search '张三 sf1002'"), std::vector<JournalJobId>{lastNight});
    EXPECT_TRUE(listed("--search '李四 SF1002'").empty()); // two records, one word each
    EXPECT_EQ(listed("--search 张三"), (std::vector<JournalJobId>{lastNight, old}));
    EXPECT_EQ(listed("--search '张三 waybill'"), (std::vector<JournalJobId>{lastNight, old}));
    EXPECT_EQ(listed("--search 'front 张三'"), std::vector<JournalJobId>{old}); // the printer's name
    EXPECT_EQ(listed("--search 'RECEIPT office'"), std::vector<JournalJobId>{now});
    EXPECT_EQ(listed("--search '王五 pdf'"), std::vector<JournalJobId>{});

    for (const char* name : {"waybill", "waybill.oxf"})
        EXPECT_EQ(listed(std::string("--template ") + name), (std::vector<JournalJobId>{lastNight, old})) << name;
    EXPECT_EQ(listed("--template receipt.oxf --since today"), std::vector<JournalJobId>{now});
}

} // namespace
} // namespace ordavel
