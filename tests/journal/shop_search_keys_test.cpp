// The search keys of a shop's jobs: a word's keys are held by every text
// holding the word, and a shop of the third schema gets, for the jobs it
// holds, the keys this program would have written with them.

#if ORDAVEL_POSTGRES

#include "journal/journal.h"
#include "journal/postgres/pg_schema.h"
#include "journal/postgres/pg_search_keys.h"
#include "support/postgres_server.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace ordavel {
namespace {

using postgres_journal::SearchKeys;
using postgres_journal::wordKeys;
using Keys = std::vector<std::string>;

Keys keysOf(const std::vector<std::string>& texts)
{
    SearchKeys keys;
    for (const auto& text : texts)
        keys.add(text);
    return keys.list();
}

// The texts' characters (UTF-8 sequences) one by one.
std::vector<std::string> characters(const std::string& text)
{
    std::vector<std::string> split;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : 2;
        split.push_back(text.substr(i, length));
        i += length;
    }
    return split;
}

const std::vector<std::string> kTexts = {
    "张三1\n李四1\n010-5555 1\n北京市海淀区中关村大街1号\nord-1",
    "a李b\n𠀋x𠀋\n\"引号\"\\",
    "é à 100%_",
    "only ascii text",
    "",
};

TEST(ShopSearchKeys, EveryWordOfATextHasItsKeysAmongTheTexts)
{
    for (const auto& text : kTexts) {
        const Keys held = keysOf({text});
        const std::vector<std::string> split = characters(text);
        for (std::size_t from = 0; from < split.size(); ++from) {
            std::string word;
            for (std::size_t to = from; to < split.size() && split[to] != "\n"; ++to) {
                word += split[to];
                for (const auto& key : wordKeys(word))
                    EXPECT_TRUE(std::binary_search(held.begin(), held.end(), key))
                        << "\"" << key << "\" of \"" << word << "\" in \"" << text << "\"";
            }
        }
    }
}

TEST(ShopSearchKeys, KeysAreCharactersBeyondAsciiAndPairsWithOneOfThem)
{
    EXPECT_EQ(wordKeys("ord-531777"), Keys{});
    EXPECT_EQ(wordKeys("7"), Keys{});
    EXPECT_EQ(wordKeys("李"), Keys{"李"});
    EXPECT_EQ(wordKeys("𠀋"), Keys{"𠀋"}); // four bytes
    EXPECT_EQ(wordKeys("街9"), Keys{"街9"});
    EXPECT_EQ(wordKeys("王五丰"), (Keys{"五丰", "王五"}));
    EXPECT_EQ(wordKeys("a李bc"), (Keys{"a李", "李b"}));
    EXPECT_EQ(wordKeys("李四李四"), (Keys{"四李", "李四"}));
    // A line break parts values: no pair spans it, and nothing is paired with it.
    EXPECT_EQ(keysOf({"李\n四"}), (Keys{"四", "李"}));
    EXPECT_EQ(keysOf({"ab\ncd"}), Keys{});
    EXPECT_EQ(keysOf({"x𠀋", "李a"}), (Keys{"x𠀋", "李", "李a", "𠀋"}));
}

TEST(ShopSearchKeys, ManyTextsGiveEachKeyOnce)
{
    SearchKeys keys;
    std::set<std::string> expected;
    for (int n = 0; n < 20000; ++n) {
        const std::string text = "街" + std::to_string(n) + "号";
        keys.add(text);
        expected.insert("街");
        expected.insert("号");
        expected.insert("街" + std::to_string(n).substr(0, 1));
        expected.insert(std::to_string(n).substr(std::to_string(n).size() - 1) + "号");
    }
    const Keys listed = keys.list();
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), expected);
    EXPECT_EQ(listed.size(), expected.size());
}

class ShopSearchKeysSchema : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        m_url = test::PostgresServer::newDatabase(error);
        ASSERT_FALSE(m_url.empty()) << error;
    }

    // The rows of `query`'s first column.
    std::vector<std::string> texts(const std::string& query) const
    {
        std::unique_ptr<PGconn, void (*)(PGconn*)> connection(PQconnectdb(m_url.c_str()), PQfinish);
        std::unique_ptr<PGresult, void (*)(PGresult*)> result(PQexec(connection.get(), query.c_str()), PQclear);
        std::vector<std::string> rows;
        for (int row = 0; row < PQntuples(result.get()); ++row)
            rows.emplace_back(PQgetvalue(result.get(), row, 0));
        return rows;
    }

    std::string m_url;
};

TEST_F(ShopSearchKeysSchema, AThirdVersionShopGetsTheKeysThisProgramWritesAndIsSearchedByThem)
{
    ASSERT_TRUE(postgres_journal::initSchema(m_url, 3).ok());
    // Jobs of the third version's time, as its program wrote them: one of
    // records holding texts beyond ASCII, one of ASCII only.
    std::string sql = R"sql(
INSERT INTO templates(hash, bytes, size, first_seen) VALUES ('h1', '\x3c3e', 2, 1);
INSERT INTO jobs(created_at, user_name, host, station, program, kind, printer, template_path, template_name,
  template_hash, calibration, copies, outcome, record_count)
  VALUES (1, 'u', 'h', 'desk', 'tool', 'batch', 'pdf', '/f.oxf', 'f', 'h1', '', 1, 'printed', 5),
         (2, 'u', 'h', 'desk', 'tool', 'batch', 'pdf', '/f.oxf', 'f', 'h1', '', 1, 'printed', 1);
INSERT INTO records(job_id, idx, number, copies, fields, columns, outcome, search_text)
  VALUES (2, 0, 1, 1, '[]', '[]', 'printed', 'only ascii');
)sql";
    for (const auto& text : kTexts) {
        std::string literal;
        for (const char c : text)
            literal += c == '\n' ? std::string("\\n") : c == '\\' ? std::string("\\\\") : c == '\'' ? std::string("''")
                                                                                                     : std::string(1, c);
        sql += "INSERT INTO records(job_id, idx, number, copies, fields, columns, outcome, search_text)"
               " VALUES (1, (SELECT count(*) FROM records WHERE job_id = 1), 1, 1, '[]', '[]', 'printed', E'"
               + literal + "');\n";
    }
    ASSERT_EQ(test::runSql(m_url, sql), "");

    const auto forward = initShopJournal(m_url);
    ASSERT_TRUE(forward.ok()) << forward.error;
    EXPECT_EQ(forward.value, postgres_journal::kSchemaVersion);
    EXPECT_EQ(texts("SELECT k FROM jobs, unnest(search_keys) k WHERE id = 1 ORDER BY convert_to(k, 'UTF8')"),
              keysOf(kTexts));
    EXPECT_EQ(texts("SELECT cardinality(search_keys) FROM jobs WHERE id = 2"), std::vector<std::string>{"0"});

    const Journal::Opened opened = Journal::openShop(m_url, "desk");
    ASSERT_TRUE(opened.journal) << opened.error;
    const auto found = [&](const std::string& search) {
        JournalQuery query;
        query.search = search;
        const auto listed = opened.journal->listJobs(query);
        EXPECT_TRUE(listed.ok()) << listed.error;
        return listed.value.size();
    };
    EXPECT_EQ(found("海淀区"), 1u);
    EXPECT_EQ(found("𠀋x"), 1u);
    EXPECT_EQ(found("李 ascii"), 0u); // two records, one word each
    EXPECT_EQ(found("北京 ord-1"), 1u);
    EXPECT_EQ(found("王五"), 0u);

    // Fields that follow bring their keys to the job.
    JournalJobIn later;
    later.program = "tool";
    later.printer = "pdf";
    later.templateName = "f";
    later.templateBytes = "<>";
    later.records.push_back({.number = 1, .copies = 1, .fields = {}, .columns = {{"n", "1"}}, .counters = {}});
    later.records[0].fieldsLater = true;
    const auto id = opened.journal->recordJob(later);
    ASSERT_TRUE(id.ok()) << id.error;
    EXPECT_EQ(found("王五"), 0u);
    ASSERT_EQ(opened.journal->setRecordFields(id.value, {{0, {{"收件人", "王五"}}}}), "");
    EXPECT_EQ(found("王五"), 1u);
    EXPECT_EQ(found("五"), 1u);
}

} // namespace
} // namespace ordavel

#endif
