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
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw std::runtime_error(message);
    }
    sqlite3_busy_timeout(db, 2000);
    sqlite3_stmt* st = nullptr;
    std::vector<Row> rows;
    if (sqlite3_prepare_v2(db, "select * from svazkovna order by rowid", -1, &st, nullptr) != SQLITE_OK) {
        std::string message = sqlite3_errmsg(db);
        sqlite3_close(db);
        throw std::runtime_error(message);
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        Row row;
        for (int c = 0; c < 14 && c < sqlite3_column_count(st); ++c) {
            switch (sqlite3_column_type(st, c)) {
                case SQLITE_NULL: row[c] = Null{}; break;
                case SQLITE_INTEGER: row[c] = static_cast<long long>(sqlite3_column_int64(st, c)); break;
                default: {
                    // Text and anything else as its bytes; a real number or a blob would show up
                    // as a text that the model never holds.
                    const char* p = static_cast<const char*>(sqlite3_column_blob(st, c));
                    row[c] = std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, c)));
                    if (sqlite3_column_type(st, c) != SQLITE_TEXT)
                        std::get<std::string>(row[c]).insert(0, "<not text>");
                }
            }
        }
        rows.push_back(row);
    }
    std::string message = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db);
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (!message.empty()) throw std::runtime_error(message);
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
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        return message;
    }
    sqlite3_busy_timeout(db, 2000);
    sqlite3_stmt* st = nullptr;
    std::string result;
    if (sqlite3_prepare_v2(db, "pragma integrity_check", -1, &st, nullptr) != SQLITE_OK) {
        result = sqlite3_errmsg(db);
    } else {
        while (sqlite3_step(st) == SQLITE_ROW) {
            if (!result.empty()) result += "\n";
            result += reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        }
        if (result.empty()) result = sqlite3_errmsg(db);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return result;
}

WriteLock::WriteLock(const std::string& path) {
    sqlite3_open(path.c_str(), &db_);
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
