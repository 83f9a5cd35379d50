// Opening the whole catalogue of 100,000 books through a query, against the
// floor of stepping and reading the same rows with the engine directly.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "storage/connection.h"
#include "storage/query.h"
#include "storage/result_store.h"

namespace {

const char* const kSelect = "SELECT * FROM svazkovna order by autor";

// Windows-1250 pieces: Czech names and words with their accented letters.
const char* const kFirst[] = {"Karel",
                              "Jaroslav",
                              "Bo\xBE"
                              "ena",
                              "V\xEDt\xECzslav",
                              "Franti\x9A"
                              "ek",
                              "Ji\xF8\xED",
                              "Ludv\xEDk",
                              "Old\xF8ich",
                              "Jan",
                              "Zden\xECk"};
const char* const kLast[] = {
    "\xC8"
    "apek",
    "Ha\x9A"
    "ek",
    "N\xECmcov\xE1",
    "Nezval",
    "Hrabal",
    "\x8Akvoreck\xFD",
    "Vacul\xEDk",
    "Kundera",
    "Havel",
    "Seifert"};
const char* const kWords[] = {
    "p\xF8\xED"
    "b\xEC"
    "h",
    "\xE8"
    "erven\xFD",
    "\x9A"
    "kola",
    "\xBElu\x9Douck\xFD",
    "k\xF9\xF2",
    "dobrodru\xBEstv\xED",
    "v\xE1lka",
    "m\xECsto",
    "noc",
    "l\xE1ska"};

std::string Words(std::mt19937& rng, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        if (i) out += ' ';
        out += kWords[rng() % 10];
    }
    return out;
}

// Appended piece by piece: GCC 12 sees a false overlap in "'" + std::string&& at -O2.
std::string Quote(const std::string& s) {
    std::string out(1, '\'');
    out += QuoteLiteralBody(s);
    out += '\'';
    return out;
}

std::string MakeCatalogue(int rows) {
    const std::string path = (std::filesystem::temp_directory_path() / "svazkovna_bench.db").string();
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE svazkovna(id integer,\r\nautor text,\r\ntitul text,\r\nzanr text,\r\nvydal text,\r\n"
                 "serie text,\r\numisteni text,\r\nzapujcenokomu text,\r\nzapujcenokdy text,\r\nhodnoceni integer,"
                 "\r\npoznamka text,\r\nudaj1 text,\r\nudaj2 text,\r\nudaj3 text);begin",
                 nullptr, nullptr, nullptr);
    std::mt19937 rng(1250);
    int id = 1;
    for (int author = 0; id <= rows; ++author) {
        const std::string name =
            std::string(kLast[rng() % 10]) + " " + kFirst[rng() % 10] + " " + std::to_string(author);
        const int titles = 1 + static_cast<int>(rng() % 50);
        for (int t = 0; t < titles && id <= rows; ++t, ++id) {
            // About one book in twenty carries a long note.
            const std::string note = rng() % 20 == 0 ? Words(rng, 60) : Words(rng, static_cast<int>(rng() % 4));
            const std::string sql =
                "insert into svazkovna values(" + std::to_string(id) + "," + Quote(name) + "," +
                Quote(Words(rng, 1 + static_cast<int>(rng() % 5))) + "," + Quote(kWords[rng() % 10]) + "," +
                Quote("Odeon") + "," + Quote(rng() % 3 ? "" : "Edice " + Words(rng, 1)) + "," +
                Quote("police " + std::to_string(rng() % 40)) + "," + Quote(rng() % 10 ? "" : kFirst[rng() % 10]) +
                "," + Quote(rng() % 10 ? "" : "2024-05-01") + "," + std::to_string(rng() % 6) + "," + Quote(note) +
                ",'','','')";
            sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        }
    }
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
}

const std::string& Catalogue() {
    static const std::string path = MakeCatalogue(100000);
    return path;
}

// The floor: the engine alone, stepping and reading every column as text.
void BM_EngineStepAndRead(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open(Catalogue().c_str(), &db);
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, kSelect, -1, &st, nullptr);
        const int columns = sqlite3_column_count(st);
        size_t bytes = 0;
        int rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < columns; ++i) {
                benchmark::DoNotOptimize(sqlite3_column_text(st, i));
                bytes += static_cast<size_t>(sqlite3_column_bytes(st, i));
            }
            ++rows;
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(bytes);
        state.counters["rows"] = rows;
    }
    sqlite3_close(db);
}

void BM_QueryOpenWholeCatalogue(benchmark::State& state) {
    TASQLite3DB con("con1");
    con.SetDatabase(Catalogue());
    TASQLite3Query query("query1");
    query.SetConnection(&con);
    con.SetConnected(true);
    for (auto _ : state) {
        query.SQL().Clear();
        const size_t before = mallinfo2().uordblks;
        query.SQL().Add(kSelect);
        query.Open();
        const size_t after = mallinfo2().uordblks;
        state.counters["rows"] = query.RecordCount();
        state.counters["held_MB"] = static_cast<double>(query.Result()->BytesHeld()) / 1e6;
        state.counters["heap_MB"] = static_cast<double>(after - before) / 1e6;
    }
}

BENCHMARK(BM_EngineStepAndRead)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK(BM_QueryOpenWholeCatalogue)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
