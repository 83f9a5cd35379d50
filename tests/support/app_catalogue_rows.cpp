#include "support/app_catalogue_rows.h"

#include <cstdio>
#include <sqlite3.h>
#include <stdexcept>

#include "support/app_window_fixture.h"

namespace testsupport {

std::string Describe(const Value& v) {
    if (std::holds_alternative<Null>(v)) return "NULL";
    if (const auto* i = std::get_if<long long>(&v)) return std::to_string(*i);
    std::string out = "'";
    for (unsigned char c : std::get<std::string>(v)) {
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out + "'";
}

std::string Describe(const Row& row) {
    std::string out = "(";
    for (size_t i = 0; i < row.size(); ++i) out += (i ? ", " : "") + Describe(row[i]);
    return out + ")";
}

std::vector<Row> ReadAllRows(const std::string& path) {
    std::vector<Row> rows;
    for (const std::vector<Value>& values : SelectValues(path, "select * from svazkovna order by rowid")) {
        Row& row = rows.emplace_back();
        for (size_t c = 0; c < row.size() && c < values.size(); ++c) row[c] = values[c];
    }
    return rows;
}

void WriteCatalogue(const std::string& path, const std::vector<Row>& rows) {
    CreateCatalogue(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "insert into svazkovna values(?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
    for (const Row& row : rows) {
        for (int c = 0; c < 14; ++c) {
            const Value& v = row[c];
            if (const auto* i = std::get_if<long long>(&v))
                sqlite3_bind_int64(st, c + 1, *i);
            else if (const auto* s = std::get_if<std::string>(&v))
                sqlite3_bind_text(st, c + 1, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
            else
                sqlite3_bind_null(st, c + 1);
        }
        const int rc = sqlite3_step(st);
        sqlite3_reset(st);
        if (rc != SQLITE_DONE) {
            std::string message = sqlite3_errmsg(db);
            sqlite3_finalize(st);
            sqlite3_close(db);
            throw std::runtime_error(message);
        }
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

std::string IntegrityCheck(const std::string& path) {
    try {
        std::string report;
        for (const std::string& line : SelectRows(path, "pragma integrity_check"))
            report += (report.empty() ? "" : "\n") + line;
        return report;
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

WriteLock::WriteLock(const std::string& path) {
    sqlite3_open(path.c_str(), &db_);
    // Another program waits for a reader of ours that happens to be at work,
    // as any program with a busy handler does; the lock is then held for good.
    sqlite3_busy_timeout(db_, 2000);
    if (sqlite3_exec(db_, "begin exclusive", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db_);
        sqlite3_close(db_);
        throw std::runtime_error(message);
    }
}

WriteLock::~WriteLock() {
    Release();
    sqlite3_close(db_);
}

void WriteLock::Release() {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
}

}  // namespace testsupport
