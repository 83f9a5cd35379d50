#include "storage/row_identity.h"

#include <cstdlib>

#include "storage/query.h"

namespace rowidentity {

namespace {

// Row keys go beyond 32 bits, and a column named "rowid" is read as a 32-bit
// number: they are selected as text.
std::vector<int64_t> Keys(TASQLite3DB& db, const std::string& sql) {
    TASQLite3Query query("rowidentity");
    query.SetConnection(&db);
    query.SQL().Add(sql);
    query.Open();
    std::vector<int64_t> keys;
    const int n = query.RecordCount();
    keys.reserve(static_cast<size_t>(n));
    query.First();
    for (int i = 0; i < n; ++i) {
        keys.push_back(std::strtoll(query.Fields(0).AsString().c_str(), nullptr, 10));
        query.Next();
    }
    return keys;
}

}  // namespace

std::vector<int64_t> RowKeys(TASQLite3DB& db, const std::string& condition) {
    return Keys(db, "select cast(rowid as text) as rowkey from svazkovna where " + condition);
}

int64_t LastInsertedRowKey(TASQLite3DB& db) {
    const std::vector<int64_t> keys = Keys(db, "select cast(last_insert_rowid() as text) as rowkey");
    return keys.empty() ? 0 : keys.front();
}

bool IdSelectsOnly(TASQLite3DB& db, int32_t id, int64_t rowKey) {
    const std::vector<int64_t> keys = RowKeys(db, "(id=" + std::to_string(id) + ")");
    return keys.size() == 1 && keys.front() == rowKey;
}

std::string KeyCondition(TASQLite3DB& db, int32_t id, int64_t rowKey) {
    if (IdSelectsOnly(db, id, rowKey)) return "(id=" + std::to_string(id) + ")";
    return "(rowid=" + std::to_string(rowKey) + ")";
}

}  // namespace rowidentity
