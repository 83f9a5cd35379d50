#include "catalogue/table_shape.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>

#include "catalogue/catalogue_transfer.h"
#include "storage/connection.h"
#include "storage/errors.h"

namespace {

constexpr int kOk = 0;
constexpr int kRow = 100;
constexpr int kDone = 101;
// Rows copied per statement; a failing range is halved until single rows.
constexpr int64_t kRangeRows = 512;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Runs `sql`, handing each row's first column (as text) to `each`; false with
// no exception when the engine failed, so that a caller may try a smaller piece.
bool Run(TASQLite3DB& con, const std::string& sql, const std::function<void(const char*)>& each) {
    const EngineApi& api = con.Api();
    sqlite3_stmt* stmt = nullptr;
    const char* rest = nullptr;
    if (api.prepare(con.Handle(), sql.c_str(), -1, &stmt, &rest) != kOk) {
        if (stmt) api.finalize(stmt);
        return false;
    }
    if (!stmt) return true;
    int rc;
    while ((rc = api.step(stmt)) == kRow)
        if (each) each(reinterpret_cast<const char*>(api.column_text(stmt, 0)));
    const int finalized = api.finalize(stmt);
    return rc == kDone && finalized == kOk;
}

void RunOrThrow(TASQLite3DB& con, const std::string& sql, const std::function<void(const char*)>& each = {}) {
    if (!Run(con, sql, each)) {
        const char* message = con.Api().errmsg(con.Handle());
        throw EngineError(con.OptionalApi(), con.Handle(), message ? message : "");
    }
}

void RequireOpen(TASQLite3DB& con) {
    if (!con.LibraryLoaded() || !con.Handle()) throw AsgError("Database not connected");
}

}  // namespace

TableShape CatalogueTableShape(TASQLite3DB& con) {
    RequireOpen(con);
    TableShape shape;
    std::vector<std::string> names;
    RunOrThrow(con, "select name from main.sqlite_master where type in ('table','view')", [&](const char* name) {
        if (!name) return;
        if (Lower(name) == "svazkovna")
            shape.tableFound = true;
        else if (Lower(name).rfind("sqlite_", 0) != 0)
            shape.otherTables = true;
    });
    if (!shape.tableFound) return shape;
    RunOrThrow(con, "select name from pragma_table_info('svazkovna','main')", [&](const char* name) {
        if (name) names.push_back(Lower(name));
    });
    for (const char* column : kCatalogueColumns)
        if (std::find(names.begin(), names.end(), column) == names.end()) shape.missing.push_back(column);
    return shape;
}

ReadableRows ShadowReadableRows(TASQLite3DB& con) {
    RequireOpen(con);
    std::string create;
    RunOrThrow(con, "select sql from main.sqlite_master where type='table' and lower(name)='svazkovna'",
               [&](const char* sql) { create = sql ? sql : ""; });
    // The table's own statement, so that the columns keep their declared types.
    const std::string lowered = Lower(create);
    const size_t table = lowered.find("table");
    if (create.empty() || table == std::string::npos) throw EDatabaseError("no such table: svazkovna", 1);
    RunOrThrow(con, "drop table if exists temp.svazkovna");
    RunOrThrow(con, "create temp " + create.substr(table));

    std::string columns = "rowid";
    RunOrThrow(con, "select name from pragma_table_info('svazkovna','main')", [&](const char* name) {
        std::string quoted = "\"";
        for (const char* c = name ? name : ""; *c; ++c) quoted += *c == '"' ? std::string("\"\"") : std::string(1, *c);
        columns += ", " + quoted + "\"";
    });

    // The highest key. The rightmost path may run through the bad page: then
    // the top is searched for, a failing look counting as rows beyond.
    int64_t top = -1;
    Run(con, "select max(rowid) from main.svazkovna", [&](const char* v) { top = v ? std::stoll(v) : 0; });
    if (top < 0) {
        const auto beyond = [&](int64_t key) {
            bool found = false;
            const bool ran =
                Run(con, "select rowid from main.svazkovna where rowid >= " + std::to_string(key) + " limit 1",
                    [&](const char*) { found = true; });
            return found || !ran;
        };
        top = 0;
        for (int64_t step = int64_t(1) << 40; step > 0; step /= 2)
            if (beyond(top + step)) top += step;
    }
    ReadableRows result;
    const std::function<void(int64_t, int64_t)> copy = [&](int64_t from, int64_t to) {
        const std::string range = " where rowid between " + std::to_string(from) + " and " + std::to_string(to);
        if (Run(con, "insert into temp.svazkovna(" + columns + ") select " + columns + " from main.svazkovna" + range,
                {}))
            return;
        if (from == to) {
            ++result.unreadable;
            return;
        }
        const int64_t middle = from + (to - from) / 2;
        copy(from, middle);
        copy(middle + 1, to);
    };
    for (int64_t from = 1; from <= top; from += kRangeRows) copy(from, std::min(top, from + kRangeRows - 1));
    Run(con, "select count(*) from temp.svazkovna", [&](const char* v) { result.read = v ? std::stoll(v) : 0; });
    return result;
}
