#pragma once
// The field objects of an open query: each reads its column of the current
// row in the stored form of its kind.
#include <string>

#include "storage/query.h"

class TQueryField : public TField {
public:
    TQueryField(TASQLite3BaseQuery& query, int index, const TFieldDef& def, bool typeLess);

    std::string AsString() const override;
    int32_t AsInteger() const override;
    const std::string& FieldName() const override { return name_; }
    TFieldType DataType() const override { return kind_; }
    void SetAsString(const std::string& value) override;
    int Size() const { return size_; }
    TASQLite3BaseQuery& Query() const { return query_; }
    int Index() const { return index_; }

private:
    TASQLite3BaseQuery& query_;
    int index_;
    std::string name_;
    TFieldType kind_;
    int size_;
};

// The stored form of a value of `kind`, from text; `size` caps text kinds.
// Conversions that the kind does not allow raise EConvertError.
void AppendStored(class RowWriter& writer, TFieldType kind, int size, const ColumnValue& value, bool sqliteDateFormat);
// The stored form of an empty row slot of `kind` (new rows start so).
std::string EmptyStored(TFieldType kind);
// Reading a stored value back as text.
std::string StoredAsString(TFieldType kind, std::string_view stored);
bool IsBlobKind(TFieldType kind);
