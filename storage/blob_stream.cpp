#include "storage/blob_stream.h"

#include <algorithm>
#include <cstring>

#include "storage/errors.h"
#include "storage/fields.h"

namespace {

TQueryField& BlobField(TField& field) {
    auto* f = dynamic_cast<TQueryField*>(&field);
    if (!f || !IsBlobKind(f->DataType())) throw EDatabaseError("Field '" + field.FieldName() + "' is not a blob field");
    return *f;
}

}  // namespace

TASQLite3BlobStream::TASQLite3BlobStream(TField& field, TBlobStreamMode mode)
    : query_(BlobField(field).Query()), index_(BlobField(field).Index()), mode_(mode) {
    query_.CheckActive();
    if (mode_ != TBlobStreamMode::bmRead && query_.editState_ == TASQLite3BaseQuery::TDataSetState::dsBrowse)
        throw EDatabaseError(query_.Name() + ": Dataset not in edit or insert mode");
    if (mode_ == TBlobStreamMode::bmWrite) {
        Store();  // a writing stream starts from an empty value
        return;
    }
    if (const auto stored = query_.FieldValue(index_)) bytes_.assign(*stored);
}

size_t TASQLite3BlobStream::Read(void* buffer, size_t count) {
    const size_t n = std::min(count, bytes_.size() - std::min(position_, bytes_.size()));
    if (n) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

size_t TASQLite3BlobStream::Write(const void* buffer, size_t count) {
    if (mode_ == TBlobStreamMode::bmRead) throw EDatabaseError("Cannot write to a blob stream opened for reading");
    if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
    if (count) std::memcpy(bytes_.data() + position_, buffer, count);
    position_ += count;
    Store();
    return count;
}

int64_t TASQLite3BlobStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = 0;
    if (origin == TSeekOrigin::soCurrent) base = Position();
    if (origin == TSeekOrigin::soEnd) base = Size();
    position_ = static_cast<size_t>(std::clamp<int64_t>(base + offset, 0, Size()));
    return Position();
}

void TASQLite3BlobStream::SetSize(int64_t size) {
    if (mode_ == TBlobStreamMode::bmRead) throw EDatabaseError("Cannot write to a blob stream opened for reading");
    bytes_.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
    position_ = std::min(position_, bytes_.size());
    Store();
}

void TASQLite3BlobStream::Store() { query_.WriteFieldValue(index_, bytes_); }
