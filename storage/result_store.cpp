#include "storage/result_store.h"

#include <algorithm>
#include <cstring>

#include "storage/errors.h"

namespace {

// Values shorter than this take one length byte; longer ones a marker and four.
constexpr unsigned char kLongMarker = 0xFF;
constexpr size_t kChunkSize = size_t{1} << 20;

}  // namespace

void RowWriter::Append(std::string_view value) {
    if (value.size() < kLongMarker) {
        bytes_ += static_cast<char>(value.size());
    } else {
        const auto length = static_cast<uint32_t>(value.size());
        bytes_ += static_cast<char>(kLongMarker);
        bytes_.append(reinterpret_cast<const char*>(&length), sizeof length);
    }
    bytes_.append(value);
}

namespace {

std::string_view ReadValue(const char*& p) {
    size_t length = static_cast<unsigned char>(*p++);
    if (length == kLongMarker) {
        uint32_t long_length;
        std::memcpy(&long_length, p, sizeof long_length);
        p += sizeof long_length;
        length = long_length;
    }
    std::string_view value(p, length);
    p += length;
    return value;
}

}  // namespace

std::string_view RowValue(const char* row, int field) {
    const char* p = row;
    for (int i = 0; i < field; ++i) ReadValue(p);
    return ReadValue(p);
}

std::vector<std::string_view> RowValues(const char* row, int fieldCount) {
    std::vector<std::string_view> values;
    values.reserve(static_cast<size_t>(fieldCount));
    const char* p = row;
    for (int i = 0; i < fieldCount; ++i) values.push_back(ReadValue(p));
    return values;
}

const char* TFResult::Store(std::string_view row) {
    if (chunks_.empty() || chunkUsed_ + row.size() > chunkSizes_.back()) {
        const size_t size = std::max(kChunkSize, row.size());
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        chunkSizes_.push_back(size);
        chunkUsed_ = 0;
    }
    char* place = chunks_.back().get() + chunkUsed_;
    if (!row.empty()) std::memcpy(place, row.data(), row.size());
    chunkUsed_ += row.size();
    return place;
}

void TFResult::Add(std::string_view row, int key) { Insert(Count(), row, key); }

// Whether `row` holds exactly `fieldCount` encoded values and nothing more.
bool TFResult::Fits(std::string_view row) const {
    size_t at = 0;
    for (int i = 0; i < fieldCount_; ++i) {
        if (at >= row.size()) return false;
        size_t length = static_cast<unsigned char>(row[at++]);
        if (length == kLongMarker) {
            if (row.size() - at < sizeof(uint32_t)) return false;
            uint32_t long_length;
            std::memcpy(&long_length, row.data() + at, sizeof long_length);
            at += sizeof long_length;
            length = long_length;
        }
        if (row.size() - at < length) return false;
        at += length;
    }
    return at == row.size();
}

void TFResult::Insert(int index, std::string_view row, int key) {
    if (!Fits(row)) throw AsgError("A row of another shape cannot join the result");
    ++counter_;
    // A result without a row key column numbers its rows as they arrive.
    if (key < 0) key = Count();
    const Entry entry{Store(row), counter_, key};
    if (index < 0) index = 0;
    if (index >= Count())
        rows_.push_back(entry);
    else
        rows_.insert(rows_.begin() + index, entry);
}

void TFResult::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    rows_.erase(rows_.begin() + index);
}

void TFResult::Replace(int index, std::string_view row) {
    if (index < 0 || index >= Count()) return;
    if (!Fits(row)) throw AsgError("A row of another shape cannot join the result");
    rows_[static_cast<size_t>(index)].row = Store(row);
}

const char* TFResult::GetData(int index) const {
    return index >= 0 && index < Count() ? rows_[static_cast<size_t>(index)].row : nullptr;
}

int32_t TFResult::GetBookmark(int index) const {
    return index >= 0 && index < Count() ? rows_[static_cast<size_t>(index)].bookmark : -1;
}

int32_t TFResult::GetKey(int index) const {
    return index >= 0 && index < Count() ? rows_[static_cast<size_t>(index)].key : -1;
}

int TFResult::IndexOfBookmark(int32_t bookmark) const {
    for (int i = 0; i < Count(); ++i)
        if (rows_[static_cast<size_t>(i)].bookmark == bookmark) return i;
    return -1;
}

size_t TFResult::BytesHeld() const {
    size_t bytes = rows_.capacity() * sizeof(Entry) + chunks_.capacity() * sizeof(chunks_[0]) +
                   chunkSizes_.capacity() * sizeof(size_t);
    for (size_t size : chunkSizes_) bytes += size;
    return bytes;
}
