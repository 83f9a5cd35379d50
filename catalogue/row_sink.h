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
    explicit RowSink(std::function<void(const std::vector<ColumnValue>&)> each) : each_(std::move(each)) {}
    std::vector<std::string_view> BlobParameters() const override { return {}; }
    void MakeFieldDefs(const std::vector<ResultColumn>&, int) override {}
    bool WantsBytes(int) const override { return false; }
    void StoreRow(const std::vector<ColumnValue>& values, int) override { each_(values); }

private:
    std::function<void(const std::vector<ColumnValue>&)> each_;
};
