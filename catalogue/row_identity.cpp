#include "catalogue/row_identity.h"

#include <cstdlib>

#include "storage/query.h"

namespace rowidentity {

std::vector<int64_t> RowKeys(TASQLite3DB& db, const std::string& condition) {
    TASQLite3Query query("rowidentity");
    query.SetConnection(&db);
    // As text: keys go beyond 32 bits, and a column named "rowid" is read as a 32-bit number.
    query.SQL().Add("select cast(rowid as text) as rowkey from svazkovna where " + condition);
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

bool IdSelectsOnly(TASQLite3DB& db, int32_t id, int64_t rowKey) {
    const std::vector<int64_t> keys = RowKeys(db, "(id=" + std::to_string(id) + ")");
    return keys.size() == 1 && keys.front() == rowKey;
}

std::string KeyCondition(TASQLite3DB& db, int32_t id, int64_t rowKey) {
    if (IdSelectsOnly(db, id, rowKey)) return "(id=" + std::to_string(id) + ")";
    return "(rowid=" + std::to_string(rowKey) + ")";
}

}  // namespace rowidentity
