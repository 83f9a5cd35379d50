// The collection's counts from one pass over the rows agree with the same
// figures asked of the engine in plain SQL, on random catalogues.
#include <gtest/gtest.h>

#include <cstdio>
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

// Another program edits rows (a field each, a row gone, a row new, the same
// row named twice, a row already gone) and tells which: the counts kept row
// by row end where a full count of the file ends.
TEST_F(CollectionCountsTest, KeptCountsFollowEditedRowsAsAFullCountSeesThem) {
    const std::string ours =
        EncodeLoanLine({"Jan Nov\xE1k ", "12. 3. 2024", "2.4.2024"}) + EncodeLoanLine({"Eva",
                                                                                       "b\xF8"
                                                                                       "ezen 2023",
                                                                                       "30.4.2023"});
    const std::vector<const char*> texts = {"", nullptr, "\xC8\x61pek Karel", "Capek", "rom\xE1n", " Jan Nov\xE1k"};
    const std::vector<const char*> komu = {"", nullptr, "Jan Nov\xE1k", "Jan Nov\xE1k ", "\x8A\xE1rka"};
    const std::vector<const char*> kdy = {"", nullptr, "1.2.2024", "2024-02-01", "jaro 2019"};
    const std::vector<const char*> histories = {"", nullptr, ours.c_str(), "pozn\xE1mka k vyd\xE1n\xED"};
    const char* const columns[] = {"zanr", "umisteni", "autor", "vydal", "hodnoceni", "poznamka"};
    // Row keys as other tools leave them: past 32 bits, negative, and plain.
    const auto key = [](int64_t i) { return i % 3 == 0 ? (int64_t{1} << 33) + i : i % 3 == 1 ? -i : i; };
    std::mt19937 random(11);
    std::string sql = "begin;";
    for (int i = 1; i <= 120; ++i)
        sql += "insert into svazkovna(rowid,autor,titul,zanr,zapujcenokomu,zapujcenokdy,hodnoceni,udaj3) values(" +
               std::to_string(key(i)) + "," + Pick(random, texts) + ",'t'," + Pick(random, texts) + "," +
               Pick(random, komu) + "," + Pick(random, kdy) + "," + std::to_string(random() % 6) + "," +
               Pick(random, histories) + ");";
    RunSql(path, sql + "commit;");
    con.SetConnected(true);
    CollectionTally tally;
    tally.Recount(con);
    int64_t next = 121;
    CollectionCounts before = tally.Plain();
    for (int step = 0; step < 120; ++step) {
        const int64_t row = key(1 + static_cast<int64_t>(random() % static_cast<unsigned>(next)));
        std::vector<int64_t> keys = {row};
        const std::string where = " where rowid=" + std::to_string(row);
        switch (step % 6) {
        case 0: RunSql(path, "delete from svazkovna" + where); break;
        case 1:
            RunSql(path, "insert into svazkovna(rowid,autor,zanr,zapujcenokomu,zapujcenokdy,udaj3) values(" +
                             std::to_string(key(next)) + "," + Pick(random, texts) + "," + Pick(random, texts) + "," +
                             Pick(random, komu) + "," + Pick(random, kdy) + "," + Pick(random, histories) + ")");
            keys = {key(next), key(next + 1)};  // and a key no row has
            ++next;
            break;
        case 2:
            RunSql(path, "update svazkovna set zapujcenokomu=" + Pick(random, komu) +
                             ",zapujcenokdy=" + Pick(random, kdy) + where);
            keys.push_back(row);
            break;
        case 3: RunSql(path, "update svazkovna set udaj3=" + Pick(random, histories) + where); break;
        default:
            RunSql(path,
                   std::string("update svazkovna set ") + columns[random() % 6] + "=" + Pick(random, texts) + where);
        }
        const bool changed = tally.Update(con, keys);
        const CollectionCounts kept = tally.Plain();
        ASSERT_EQ(kept, CountCollection(con)) << "step " << step;
        if (!changed) {
            EXPECT_EQ(kept, before) << "step " << step << ": a change that counted nothing new";
        }
        before = kept;
    }
    // A note alone changes no count.
    RunSql(path, "update svazkovna set poznamka='jin\xE1' where rowid=(select min(rowid) from svazkovna)");
    EXPECT_FALSE(tally.Update(con, {std::stoll(Select1(path, "select min(rowid) from svazkovna"))}));
}

// Long histories saved again and again (each save a history one line longer,
// as returns add them), rows deleted between: the kept lines of replaced parts
// are dropped as they pile up, and the counts stay a full count's.
TEST_F(CollectionCountsTest, LongHistoriesSavedOftenStayAFullCount) {
    const char* const names[] = {"Jan Nov\xE1k", "Jan Nov\xE1k ", "\x8A\xE1rka", "Eva Dvo\xF8\xE1kov\xE1"};
    std::string sql = "begin;";
    for (int row = 1; row <= 60; ++row)
        sql += "insert into svazkovna(rowid,autor,titul,zanr) values(" + std::to_string(row) + ",'\xC8\x61pek','t','" +
               (row % 2 ? "rom\xE1n" : "") + "');";
    RunSql(path, sql + "commit;");
    con.SetConnected(true);
    CollectionTally tally;
    tally.Recount(con);
    std::vector<std::string> histories(61);
    for (int round = 0; round < 30; ++round) {
        std::vector<int64_t> keys;
        sql = "begin;";
        for (int row = 1 + round % 2; row <= 60; row += 2) {
            histories[static_cast<size_t>(row)] +=
                EncodeLoanLine({names[(row + round) % 4], std::to_string(1 + round % 28) + ". 3. 2025",
                                std::to_string(1 + row % 28) + ".4.2025"});
            sql += "update svazkovna set udaj3='" + QuoteLiteralBody(histories[static_cast<size_t>(row)]) +
                   "' where rowid=" + std::to_string(row) + ";";
            keys.push_back(row);
        }
        if (round % 10 == 9) {
            sql += "delete from svazkovna where rowid=" + std::to_string(round) + ";";
            keys.push_back(round);
        }
        RunSql(path, sql + "commit;");
        ASSERT_TRUE(tally.Update(con, keys)) << "round " << round;
        ASSERT_EQ(tally.Plain(), CountCollection(con)) << "round " << round;
    }
}

// A large catalogue is read in two halves at once, the second on a connection
// of its own. What the program's own connection holds uncommitted is counted,
// another program's uncommitted change is not, a half the second connection
// cannot read is read on the first, and no lock outlives the count.
TEST_F(CollectionCountsTest, TwoHalvesReadAtOnceCountAsOnePass) {
    const std::string ours = EncodeLoanLine({"Jan Nov\xE1k ", "1.2.2024", "3.4.2024"});
    const std::vector<const char*> texts = {"", nullptr, "\xC8\x61pek", "rom\xE1n", " Jan Nov\xE1k"};
    const std::vector<const char*> histories = {"", nullptr, ours.c_str(), "pozn\xE1mka"};
    std::mt19937 random(5);
    std::string sql = "begin;";
    for (int i = 1; i <= 300; ++i)
        sql += "insert into svazkovna(rowid,autor,titul,zanr,vydal,zapujcenokomu,zapujcenokdy,udaj3) values(" +
               std::to_string(i % 4 == 0 ? -i * 7919 : i * 104729) + "," + Pick(random, texts) + ",'t'," +
               Pick(random, texts) + "," + Pick(random, texts) + "," + Pick(random, {"", nullptr, "Eva", "Eva "}) +
               "," + Pick(random, {"", "1.1.2024"}) + "," + Pick(random, histories) + ");";
    // Texts holding a zero byte, as other tools write them.
    RunSql(path, sql + "update svazkovna set autor=cast(x'410042' as text) where rowid % 5 = 0; commit;");
    con.SetConnected(true);
    CollectionTally one;
    EXPECT_EQ(one.Recount(con, -1), 1);
    const CollectionCounts whole = one.Plain();
    ASSERT_EQ(std::to_string(whole.books), Select1(path, "select count(*) from svazkovna"));
    ASSERT_EQ(whole.author.count(std::string("A\0B", 3)), 1u);
    CollectionTally two;
    EXPECT_EQ(two.Recount(con, 0), 2);
    EXPECT_EQ(two.Plain(), whole);
    // The second connection let go of its lock, and so did the first.
    RunSql(path, "begin exclusive; commit;");

    // A row of the upper half changed in this connection's transaction.
    const std::string top = Select1(path, "select max(rowid) from svazkovna");
    con.StartTransaction();
    con.ExecStatements("update svazkovna set zanr='poezie' where rowid=" + top);
    EXPECT_EQ(two.Recount(con, 0), 1);
    EXPECT_EQ(two.Plain().genre.count("poezie"), 1u);
    con.RollBack();

    // Another program's change not yet committed is not counted; its commit waits
    // for no lock of the count's.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "begin immediate; update svazkovna set zanr='drama'", nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(two.Recount(con, 0), 2);
    EXPECT_EQ(two.Plain(), whole);
    EXPECT_EQ(sqlite3_exec(other, "commit", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    two.Recount(con, 0);
    EXPECT_EQ(two.Plain().genre.at("drama"), whole.books);
    const CollectionCounts drama = two.Plain();

    // The file renamed under the open connection: the second one cannot open
    // it, the first reads both halves.
    ASSERT_EQ(std::rename(path.c_str(), (path + ".jinde").c_str()), 0);
    CollectionTally renamed;
    EXPECT_EQ(renamed.Recount(con, 0), 1);
    EXPECT_EQ(renamed.Plain(), drama);
    ASSERT_EQ(std::rename((path + ".jinde").c_str(), path.c_str()), 0);

    // A WAL catalogue is read in one pass, and counted alike.
    con.SetConnected(false);
    RunSql(path, "pragma journal_mode=wal");
    con.SetConnected(true);
    EXPECT_EQ(two.Recount(con, 0), 1);
    EXPECT_EQ(two.Plain(), drama);
}

}  // namespace
