#pragma once
// The result store of one Open: every row of the result, in arrival order,
// with its bookmark and row key.
//
// Rows are kept compactly: each row is a run of values in field order, each
// value a length and its bytes, and the runs are packed into large chunks.
// Text costs its actual length, not the field's declared size.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Encodes the values of one row, field by field, into a reusable buffer.
class RowWriter {
public:
    void Clear() { bytes_.clear(); }
    void Append(std::string_view value);
    std::string_view Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// The value of field `field` in an encoded row.
std::string_view RowValue(const char* row, int field);
// Every value of an encoded row, in field order.
std::vector<std::string_view> RowValues(const char* row, int fieldCount);

class TFResult {
public:
    TFResult() = default;
    TFResult(const TFResult&) = delete;
    TFResult& operator=(const TFResult&) = delete;

    // Number of fields every row holds (the rows' "size" in this layout).
    void SetBufSize(int fieldCount) { fieldCount_ = fieldCount; }
    int BufSize() const { return fieldCount_; }

    // A row must hold one value per field (BufSize); anything else raises AsgError.
    void Add(std::string_view row, int key);
    void Insert(int index, std::string_view row, int key);  // beyond the end appends
    void Delete(int index);                                 // outside the range: nothing
    void Replace(int index, std::string_view row);          // keeps bookmark and key

    int Count() const { return static_cast<int>(rows_.size()); }
    const char* GetData(int index) const;  // nullptr outside the range
    int32_t GetBookmark(int index) const;  // -1 outside the range
    int32_t GetKey(int index) const;       // -1 outside the range
    int IndexOfBookmark(int32_t bookmark) const;

    // Bytes held for the rows, their chunks and the three parallel lists.
    size_t BytesHeld() const;

private:
    const char* Store(std::string_view row);
    bool Fits(std::string_view row) const;

    struct Entry {
        const char* row;
        int32_t bookmark;
        int32_t key;
    };
    std::vector<Entry> rows_;
    std::vector<std::unique_ptr<char[]>> chunks_;
    std::vector<size_t> chunkSizes_;
    size_t chunkUsed_ = 0;
    int32_t counter_ = -1;
    int fieldCount_ = 0;
};
