#pragma once
// A byte stream over a blob field of the current row. Reading sees the row's
// stored bytes; writing (only while the row is edited or inserted) replaces
// the field's value and marks the data set modified, so the next move or Post
// writes it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "storage/query.h"

enum class TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TASQLite3BlobStream {
public:
    // EDatabaseError for a field that is not a blob field of an open query, or
    // for a writing mode while the row is not edited; bmWrite starts empty.
    TASQLite3BlobStream(TField& field, TBlobStreamMode mode);

    size_t Read(void* buffer, size_t count);
    size_t Write(const void* buffer, size_t count);
    int64_t Seek(int64_t offset, TSeekOrigin origin);  // clamped to 0 .. Size
    void SetSize(int64_t size);
    int64_t Size() const { return static_cast<int64_t>(bytes_.size()); }
    int64_t Position() const { return static_cast<int64_t>(position_); }
    const std::string& Bytes() const { return bytes_; }

private:
    void Store();

    TASQLite3BaseQuery& query_;
    int index_;
    TBlobStreamMode mode_;
    std::string bytes_;
    size_t position_ = 0;
};
