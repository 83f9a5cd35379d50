#pragma once
// Rows straight from the connection to a callback, without a result store:
// texts arrive whole (the queries deliver at most 255 bytes of a text).
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "storage/query_target.h"

class RowSink : public QueryTarget {
public:
    // The columns in `integerColumns` arrive as ColumnValue::integer, not as text.
    explicit RowSink(std::function<void(const std::vector<ColumnValue>&)> each, std::vector<int> integerColumns = {})
        : each_(std::move(each)), integerColumns_(std::move(integerColumns)) {}
    std::vector<std::string_view> BlobParameters() const override { return {}; }
    void MakeFieldDefs(const std::vector<ResultColumn>&, int) override {}
    bool WantsBytes(int) const override { return false; }
    bool WantsInteger(int column) const override {
        for (const int wanted : integerColumns_)
            if (wanted == column) return true;
        return false;
    }
    void StoreRow(const std::vector<ColumnValue>& values, int) override { each_(values); }

private:
    std::function<void(const std::vector<ColumnValue>&)> each_;
    std::vector<int> integerColumns_;
};
