// Text literals: any byte string without a zero byte, written between
// apostrophes with its apostrophes doubled, reads back from the engine as
// the same bytes: through the engine alone, and through our connection and
// query (directly in the statement text and as a parameter value).
#include <sqlite3.h>
#include <stdlib.h>

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <typeinfo>

#include "fuzz/fuzz_check.h"
#include "storage/connection.h"
#include "storage/errors.h"
#include "storage/query.h"

namespace {

struct Fixture {
    sqlite3* engine = nullptr;
    TASQLite3DB con{"con1"};
    TASQLite3Query query{"query1"};
};

Fixture* fixture = nullptr;

std::string Hex(const std::string& s) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s.substr(0, 64)) out += {digits[c >> 4], digits[c & 15]};
    return out + (s.size() > 64 ? "..." : "");
}

void Run(TASQLite3Query& q, const std::string& sql, bool open) {
    q.SQL().Clear();
    q.SQL().Add(sql);
    if (open)
        q.Open();
    else
        q.ExecSQL();
}

// The value as stored in a column declared wide enough to keep it whole.
std::string StoredThroughQuery(const std::string& insert, const std::string* param) {
    TASQLite3Query& q = fixture->query;
    Run(q, "delete from t", false);
    q.SQL().Clear();
    q.SQL().Add(insert);
    if (param) q.ParamByName("v").SetAsString(*param);
    q.ExecSQL();
    Run(q, "select v from t", true);
    FUZZ_CHECK(q.RecordCount() == 1, "the inserted row is not there");
    return q.Fields(0).AsString();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char dir[] = "/tmp/svazkovna-fuzz-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    fixture = new Fixture;
    sqlite3_open(":memory:", &fixture->engine);
    fixture->con.SetDatabase(std::string(dir) + "/literal.db");
    fixture->con.SetConnected(true);
    fixture->query.SetConnection(&fixture->con);
    // A temporary table: nothing reaches the disk on every input.
    Run(fixture->query, "create temp table t(v varchar(100000))", false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    // A zero byte ends a statement text, so the property is for texts without one.
    bytes = bytes.substr(0, bytes.find('\0'));
    const std::string body = QuoteLiteralBody(bytes);
    FUZZ_CHECK(body.size() == bytes.size() + static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\'')),
               "only apostrophes may be doubled");

    // The engine alone: the literal must take the whole statement and give the bytes.
    const std::string select = "select '" + body + "'";
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(fixture->engine, select.c_str(), static_cast<int>(select.size()), &stmt, &tail);
    FUZZ_CHECK(rc == SQLITE_OK && stmt, "engine refused the literal of " + Hex(bytes));
    FUZZ_CHECK(tail == select.c_str() + select.size(), "the literal ended early for " + Hex(bytes));
    FUZZ_CHECK(sqlite3_step(stmt) == SQLITE_ROW, "no row");
    const auto* text = static_cast<const char*>(sqlite3_column_blob(stmt, 0));
    const std::string engineValue(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt, 0)));
    sqlite3_finalize(stmt);
    FUZZ_CHECK(engineValue == bytes, "engine gave " + Hex(engineValue) + " for " + Hex(bytes));

    try {
        const std::string direct = StoredThroughQuery("insert into t values('" + body + "')", nullptr);
        FUZZ_CHECK(direct == bytes, "query gave " + Hex(direct) + " for " + Hex(bytes));
        // An empty parameter value is written as NULL, so only non-empty ones.
        if (!bytes.empty()) {
            const std::string viaParam = StoredThroughQuery("insert into t values(:v)", &bytes);
            FUZZ_CHECK(viaParam == bytes, "parameter gave " + Hex(viaParam) + " for " + Hex(bytes));
        }
    } catch (const std::exception& e) {
        FUZZ_CHECK(false, std::string("unexpected ") + typeid(e).name() + ": " + e.what() + " for " + Hex(bytes));
    }
    return 0;
}
