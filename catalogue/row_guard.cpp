#include "catalogue/row_guard.h"

#include "catalogue/row_sink.h"
#include "storage/connection.h"
#include "storage/query.h"

namespace rowguard {

namespace {

constexpr const char* kNames[kColumns] = {"id",       "autor",         "titul",        "zanr",      "vydal",   "serie",
                                          "umisteni", "zapujcenokomu", "zapujcenokdy", "hodnoceni", "poznamka"};

std::string SelectSql(int64_t rowKey) {
    std::string sql = "select ";
    for (int c = 0; c < kColumns; ++c) {
        if (c > 0) sql += ',';
        sql += std::string("quote(") + kNames[c] + ")," + kNames[c];
    }
    return sql + " from svazkovna where rowid=" + std::to_string(rowKey);
}

}  // namespace

const char* ColumnName(Column column) { return kNames[column]; }

std::optional<StoredRow> ReadStoredRow(TASQLite3DB& db, int64_t rowKey) {
    std::optional<StoredRow> row;
    // Straight from the connection: a query's result holds at most 255 bytes of a text.
    RowSink sink([&](const std::vector<ColumnValue>& values) {
        if (row || values.size() != 2 * kColumns) return;
        row.emplace();
        row->rowKey = rowKey;
        for (size_t c = 0; c < kColumns; ++c) {
            const ColumnValue& value = values[2 * c + 1];
            row->values[c] = {std::string(values[2 * c].text), value.isNull ? std::string() : std::string(value.text)};
        }
    });
    db.SQLiteExecute(SelectSql(rowKey), &sink);
    return row;
}

std::string StillHolds(const StoredRow& row) {
    std::string condition;
    for (int c = 0; c < kColumns; ++c) {
        if (c > 0) condition += " and ";
        condition += std::string("quote(") + kNames[c] + ")='" + QuoteLiteralBody(row.values[c].literal) + "'";
    }
    return condition;
}

std::string GuardedUpdateSql(const std::string& assignments, const std::string& keyCondition, const StoredRow& row) {
    return "update svazkovna set " + assignments + " where " + keyCondition + " and " + StillHolds(row);
}

std::string GuardedDeleteSql(const std::string& keyCondition, const StoredRow& row) {
    return "delete from svazkovna where " + keyCondition + " and " + StillHolds(row);
}

std::vector<Column> ChangedColumns(const StoredRow& before, const StoredRow& now) {
    std::vector<Column> changed;
    for (int c = 0; c < kColumns; ++c)
        if (before.values[c].literal != now.values[c].literal) changed.push_back(static_cast<Column>(c));
    return changed;
}

}  // namespace rowguard
