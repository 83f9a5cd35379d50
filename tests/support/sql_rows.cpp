#include "support/sql_rows.h"

#include <memory>
#include <sqlite3.h>
#include <stdexcept>

namespace testsupport {

namespace {

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct Finalize {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};

Value ColumnValue(sqlite3_stmt* st, int c) {
    switch (sqlite3_column_type(st, c)) {
    case SQLITE_NULL: return Null{};
    case SQLITE_INTEGER: return static_cast<long long>(sqlite3_column_int64(st, c));
    default: {
        const char* p = static_cast<const char*>(sqlite3_column_blob(st, c));
        std::string bytes(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, c)));
        if (sqlite3_column_type(st, c) != SQLITE_TEXT) bytes.insert(0, "<not text>");
        return bytes;
    }
    }
}

}  // namespace

std::vector<std::vector<Value>> SelectValues(const std::string& path, const std::string& sql) {
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const std::unique_ptr<sqlite3, CloseDb> db(raw);
    if (opened != SQLITE_OK) throw std::runtime_error(raw ? sqlite3_errmsg(raw) : "out of memory");
    // The program may still be finishing a write in another connection.
    sqlite3_busy_timeout(raw, 2000);
    sqlite3_stmt* st_raw = nullptr;
    if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &st_raw, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(raw));
    const std::unique_ptr<sqlite3_stmt, Finalize> st(st_raw);
    std::vector<std::vector<Value>> rows;
    int rc;
    while ((rc = sqlite3_step(st_raw)) == SQLITE_ROW) {
        std::vector<Value>& row = rows.emplace_back();
        for (int c = 0; c < sqlite3_column_count(st_raw); ++c) row.push_back(ColumnValue(st_raw, c));
    }
    if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(raw));
    return rows;
}

std::string ValueText(const Value& v) {
    if (const auto* i = std::get_if<long long>(&v)) return std::to_string(*i);
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    return kNullText;
}

std::vector<std::vector<std::string>> SelectTexts(const std::string& path, const std::string& sql) {
    std::vector<std::vector<std::string>> out;
    for (const auto& row : SelectValues(path, sql)) {
        std::vector<std::string>& texts = out.emplace_back();
        for (const Value& v : row) texts.push_back(ValueText(v));
    }
    return out;
}

std::vector<std::string> SelectRows(const std::string& path, const std::string& sql) {
    std::vector<std::string> out;
    for (const auto& row : SelectTexts(path, sql)) {
        std::string joined;
        for (size_t c = 0; c < row.size(); ++c) joined += (c ? "|" : "") + row[c];
        out.push_back(joined);
    }
    return out;
}

}  // namespace testsupport
