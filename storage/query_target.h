#pragma once
// What the connection needs from a query when it runs the query's statement:
// the blob parameters to bind, field definitions made from the result
// columns, and a place to store every fetched row. The query implements it;
// connection tests use a double.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ResultColumn {
    std::string name;
    std::optional<std::string> declaredType;  // none for an expression column
};

// One column value of the current row, valid only during StoreRow.
struct ColumnValue {
    std::string_view text;   // NULL arrives as empty text
    std::string_view bytes;  // filled only for columns that WantsBytes asked for
    // Filled only for columns that WantsInteger asked for; their text stays empty and a NULL reads 0.
    int64_t integer = 0;
    bool isNull = false;
};

class QueryTarget {
public:
    virtual ~QueryTarget() = default;

    // Values of the blob parameters, in the order of their places (1, 2, ...).
    virtual std::vector<std::string_view> BlobParameters() const = 0;

    // Makes the field definitions from the result columns of a prepared
    // statement. `rowKeyColumn` is the index of the column named "rowid"
    // (any letter case), which becomes the row key and no field; -1 if none.
    // Not called for a statement without result columns.
    virtual void MakeFieldDefs(const std::vector<ResultColumn>& columns, int rowKeyColumn) = 0;

    // Whether column `column` (result column index) is read as bytes too (blob kinds).
    virtual bool WantsBytes(int column) const = 0;

    // Whether column `column` is read as a 64-bit integer instead of text: a
    // number made text and parsed back costs more than the rest of a row.
    virtual bool WantsInteger(int /*column*/) const { return false; }

    // Stores one fetched row; `values` has one entry per result column, the
    // row key column included. rowKey is -1 when the result has no row key.
    virtual void StoreRow(const std::vector<ColumnValue>& values, int rowKey) = 0;
};
