#pragma once
// Catalogue files for the query tests, written with the system SQLite library,
// and a connection with one query on them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "storage/connection.h"
#include "storage/query.h"
#include "support/temp_dir.h"

namespace querytest {

inline const char* const kCreateCatalogue =
    "CREATE TABLE svazkovna(id integer,\r\nautor text,\r\ntitul text,\r\nzanr text,\r\nvydal text,\r\n"
    "serie text,\r\numisteni text,\r\nzapujcenokomu text,\r\nzapujcenokdy text,\r\nhodnoceni integer,\r\n"
    "poznamka text,\r\nudaj1 text,\r\nudaj2 text,\r\nudaj3 text)";

// Runs SQL on a file directly through the engine, beside the connection under test.
inline void RunSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

inline std::string Select1(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    std::string out;
    if (st && sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
        out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

class QueryFixture : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("svazkovna.db");
        RunSql(path, kCreateCatalogue);
        con.SetDatabase(path);
        query.SetConnection(&con);
    }
    // Clears SQL, appends one line and opens, as the window does.
    void OpenSql(const std::string& sql) {
        query.SQL().Clear();
        query.SQL().Add(sql);
        query.Open();
    }
    void ExecSql(const std::string& sql) {
        query.SQL().Clear();
        query.SQL().Add(sql);
        query.ExecSQL();
    }

    testsupport::TempDir dir;
    std::string path;
    TASQLite3DB con{"con1"};
    TASQLite3Query query{"query1"};
};

// Runs `body` and returns the message of the exception of type E it raises.
template <typename E, typename F>
std::string MessageOf(F&& body) {
    try {
        body();
    } catch (const E& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("wrong exception: ") + e.what();
    }
    return "no exception";
}

}  // namespace querytest
