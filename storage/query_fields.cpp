// The query's fields: made from the result columns, filled row by row while
// the statement runs, and read by column number or name.
#include <algorithm>

#include "storage/errors.h"
#include "storage/field_info.h"
#include "storage/fields.h"
#include "storage/query.h"
#include "storage/query_text.h"
#include "storage/result_store.h"

using querytext::SameText;

void TASQLite3BaseQuery::MakeFieldDefs(const std::vector<ResultColumn>& columns, int rowKeyColumn) {
    if (columns.empty()) return;
    std::vector<TFieldDef> defs;
    std::vector<int> columnField;
    int rowDataSize = 0;
    try {
        for (size_t c = 0; c < columns.size(); ++c) {
            const ResultColumn& column = columns[c];
            if (static_cast<int>(c) == rowKeyColumn || SameText(column.name, "rowid")) {
                columnField.push_back(-1);
                continue;
            }
            auto taken = [&](const std::string& name) {
                return std::any_of(defs.begin(), defs.end(),
                                   [&](const TFieldDef& d) { return SameText(d.Name, name); });
            };
            TFieldDef def;
            def.Name = column.name;
            for (int n = 1; taken(def.Name); ++n) def.Name = column.name + "_" + std::to_string(n);
            const FieldInfo info = GetFieldInfo(column.declaredType.value_or("string"));
            if (typeLess_) {
                def.DataType = TFieldType::ftString;
                def.Size = info.size;
            } else {
                def.DataType = info.kind;
                if (info.kind == TFieldType::ftString) def.Size = std::max(info.size, 0);
                if (info.kind == TFieldType::ftFloat) def.Precision = info.scale;
            }
            rowDataSize += NativeSize(def.DataType, def.Size, def.Name);
            defs.push_back(def);
            columnField.push_back(static_cast<int>(defs.size()) - 1);
        }
    } catch (...) {
        if (!active_) {
            fieldDefs_.clear();
            columnField_.clear();
        }
        throw;
    }
    if (active_) {
        // An open result keeps its fields: rows of another shape would be
        // read past their end by them.
        const bool same = std::equal(
            defs.begin(), defs.end(), fieldDefs_.begin(), fieldDefs_.end(),
            [](const TFieldDef& a, const TFieldDef& b) { return a.DataType == b.DataType && a.Size == b.Size; });
        if (!same) throw AsgError("The statement's columns do not match the open result's fields");
        columnField_ = std::move(columnField);
        return;
    }
    fieldDefs_ = std::move(defs);
    columnField_ = std::move(columnField);
    rowDataSize_ = rowDataSize;
    if (result_) result_->SetBufSize(static_cast<int>(fieldDefs_.size()));
}

bool TASQLite3BaseQuery::WantsBytes(int column) const {
    if (column < 0 || column >= static_cast<int>(columnField_.size())) return false;
    const int field = columnField_[static_cast<size_t>(column)];
    return field >= 0 && IsBlobKind(fieldDefs_[static_cast<size_t>(field)].DataType);
}

void TASQLite3BaseQuery::StoreValue(RowWriter& writer, const TFieldDef& def, const ColumnValue& value) const {
    AppendStored(writer, def.DataType, def.Size, value, sqliteDateFormat_);
}

void TASQLite3BaseQuery::StoreRow(const std::vector<ColumnValue>& values, int rowKey) {
    if (!result_) return;
    scratch_->Clear();
    static const ColumnValue kNull{{}, {}, true};
    for (size_t c = 0; c < columnField_.size(); ++c) {
        const int field = columnField_[c];
        if (field < 0) continue;
        StoreValue(*scratch_, fieldDefs_[static_cast<size_t>(field)], c < values.size() ? values[c] : kNull);
    }
    result_->Add(scratch_->Bytes(), rowKey);
}

TField& TASQLite3BaseQuery::Fields(int index) {
    if (index < 0 || index >= static_cast<int>(fields_.size()))
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return *fields_[static_cast<size_t>(index)];
}

int TASQLite3BaseQuery::FieldCount() const { return static_cast<int>(fields_.size()); }

TField& TASQLite3BaseQuery::FieldByName(const std::string& name) {
    for (auto& field : fields_)
        if (SameText(field->FieldName(), name)) return *field;
    throw EDatabaseError(Name() + ": Field '" + name + "' not found");
}

std::optional<std::string_view> TASQLite3BaseQuery::FieldValue(int index) const {
    if (editState_ != TDataSetState::dsBrowse && index < static_cast<int>(editValues_.size()))
        return std::string_view(editValues_[static_cast<size_t>(index)]);
    if (!result_) return std::nullopt;
    const char* row = result_->GetData(current_);
    if (!row) return std::nullopt;
    return RowValue(row, index);
}
