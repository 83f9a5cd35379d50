// Rows of a catalogue file as texts, for comparing in tests.
#include "support/sql_rows.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace testsupport {

std::vector<std::string> SelectRows(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    std::vector<std::string> out;
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        std::string row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            const auto* text = sqlite3_column_text(stmt, c);
            row += (c ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "<NULL>");
        }
        out.push_back(row);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

}  // namespace testsupport
