// The collection's counts from one pass over the rows agree with the same
// figures asked of the engine in plain SQL, on random catalogues.
#include <gtest/gtest.h>

#include <random>

#include "catalogue/collection_counts.h"
#include "catalogue/loan_history.h"
#include "storage/query_fixture.h"

namespace {

using querytest::RunSql;
using querytest::Select1;

// Each value or NULL, as an SQL literal.
std::string Pick(std::mt19937& random, const std::vector<const char*>& values) {
    const char* value = values[random() % values.size()];
    return value ? "'" + QuoteLiteralBody(value) + "'" : "NULL";
}

TextCounts SqlCounts(const std::string& path, const std::string& expression) {
    TextCounts counts;
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    const std::string sql = "select " + expression + ", count(*) from svazkovna group by 1";
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    while (st && sqlite3_step(st) == SQLITE_ROW)
        counts[std::string(reinterpret_cast<const char*>(sqlite3_column_blob(st, 0)),
                           static_cast<size_t>(sqlite3_column_bytes(st, 0)))] = sqlite3_column_int64(st, 1);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return counts;
}

class CollectionCountsTest : public querytest::QueryFixture {};

TEST_F(CollectionCountsTest, AgreeWithPlainSqlOnRandomCatalogues) {
    const std::vector<const char*> texts = {"", nullptr, "\xC8\x61pek", "Capek", "\xE8\x61pek", "a b", "A B", "' ;"};
    const std::vector<const char*> ratings = {"1", "3", "5", "0", "12", nullptr, "''"};
    const std::string ours = EncodeLoanLine({"Eva", "1.2.2024", "3.4.2024"}) + EncodeLoanLine({"", "", "1.1.2020"});
    const std::vector<const char*> histories = {"", nullptr, ours.c_str(), "pozn\xE1mka", "#vypujcka\tbez konce"};
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 random(seed);
        RunSql(path, "delete from svazkovna");
        std::string sql = "begin;";
        for (int i = 0; i < 400; ++i) {
            const char* rating = ratings[random() % ratings.size()];
            sql += "insert into svazkovna values(" + std::to_string(i) + "," + Pick(random, texts) + ",'t'," +
                   Pick(random, texts) + "," + Pick(random, texts) + ",''," + Pick(random, texts) + "," +
                   Pick(random, {"", "", "", nullptr, "Eva", "Jan"}) + "," +
                   Pick(random, {"", "", nullptr, "1.1.2024", "jaro"}) + "," + (rating ? rating : "NULL") +
                   ",'','',''," + Pick(random, histories) + ");";
        }
        RunSql(path, sql + "commit;");

        con.SetConnected(true);
        const CollectionCounts counts = CountCollection(con);
        EXPECT_EQ(std::to_string(counts.books), Select1(path, "select count(*) from svazkovna"));
        EXPECT_EQ(counts.genre, SqlCounts(path, "ifnull(zanr,'')"));
        EXPECT_EQ(counts.location, SqlCounts(path, "ifnull(umisteni,'')"));
        EXPECT_EQ(counts.rating, SqlCounts(path, "ifnull(cast(hodnoceni as text),'')"));
        EXPECT_EQ(counts.author, SqlCounts(path, "ifnull(autor,'')"));
        EXPECT_EQ(counts.publisher, SqlCounts(path, "ifnull(vydal,'')"));

        long long current = 0, finished = 0;
        for (const auto& [kdy, n] : counts.lentSince) current += n;
        for (const auto& [span, n] : counts.finishedSpans) finished += n;
        EXPECT_EQ(counts.finishedSpans.count("3.4.2024\t1.2.2024"), 1u);
        long long byBorrower = 0;
        for (const auto& [name, n] : counts.borrowers) byBorrower += n;
        EXPECT_EQ(byBorrower, current + finished);
        EXPECT_EQ(std::to_string(counts.borrowers.at("Eva")),
                  Select1(path,
                          "select (select count(*) from svazkovna where zapujcenokomu='Eva') + "
                          "(select count(*) from svazkovna where udaj3 like '#vypujcka%'||char(10))"));
        EXPECT_EQ(std::to_string(current),
                  Select1(path,
                          "select count(*) from svazkovna where ifnull(zapujcenokomu,'')<>'' or "
                          "ifnull(zapujcenokdy,'')<>''"));
        EXPECT_EQ(
            std::to_string(finished),
            Select1(path,
                    "select 2*count(*) from svazkovna where udaj3 like '#vypujcka%' and udaj3 like '%'||char(10)"));
        EXPECT_EQ(
            std::to_string(counts.foreignHistories),
            Select1(path,
                    "select count(*) from svazkovna where udaj3<>'' and not (udaj3 like '#vypujcka%'||char(10))"));
    }
}

}  // namespace
