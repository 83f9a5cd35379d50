#pragma once
// A stand-in for a query: hands the connection preset blob parameters and
// records the columns and rows it is given, as copies.
#include <set>
#include <string>
#include <vector>

#include "storage/query_target.h"

namespace testsupport {

class RecordingQuery : public QueryTarget {
public:
    struct Row {
        std::vector<std::string> text;
        std::vector<std::string> bytes;
        std::vector<bool> isNull;
        int key = -1;
    };

    std::vector<std::string> blobs;  // values of the blob parameters, in place order
    std::set<int> bytesColumns;      // columns to be read as bytes too

    std::vector<ResultColumn> columns;
    int rowKeyColumn = -2;  // -2: MakeFieldDefs was never called
    std::vector<Row> rows;

    std::vector<std::string_view> BlobParameters() const override { return {blobs.begin(), blobs.end()}; }
    void MakeFieldDefs(const std::vector<ResultColumn>& cols, int rowKey) override {
        columns = cols;
        rowKeyColumn = rowKey;
    }
    bool WantsBytes(int column) const override { return bytesColumns.count(column) != 0; }
    void StoreRow(const std::vector<ColumnValue>& values, int rowKey) override {
        Row row;
        row.key = rowKey;
        for (const ColumnValue& v : values) {
            row.text.emplace_back(v.text);
            row.bytes.emplace_back(v.bytes);
            row.isNull.push_back(v.isNull);
        }
        rows.push_back(std::move(row));
    }
};

}  // namespace testsupport
