// Statement execution and the posting of edited, new and deleted rows through
// the update-statement component.
#include <algorithm>

#include "storage/connection.h"
#include "storage/errors.h"
#include "storage/fields.h"
#include "storage/query.h"
#include "storage/query_target.h"
#include "storage/result_store.h"
#include "storage/sql_macro.h"
#include "storage/update_sql.h"

namespace {

// Runs a posting statement without letting a result (a RETURNING clause)
// touch the open result of the query.
class DiscardRows : public QueryTarget {
public:
    std::vector<std::string_view> BlobParameters() const override { return {}; }
    void MakeFieldDefs(const std::vector<ResultColumn>&, int) override {}
    bool WantsBytes(int) const override { return false; }
    void StoreRow(const std::vector<ColumnValue>&, int) override {}
};

std::string Quoted(const std::string& text) { return "'" + QuoteLiteralBody(text) + "'"; }

}  // namespace

void TASQLite3BaseQuery::RunInTransaction(const std::function<void()>& statement) {
    if (!autoCommit_) {
        statement();
        return;
    }
    if (!connection_) throw AsgError("no database connection");
    connection_->StartTransaction(transactionType_);
    // A failed statement or commit must not leave the transaction open on
    // the connection, or every later statement would run inside it.
    auto rollBack = [this] {
        try {
            connection_->RollBack();
        } catch (const Exception&) {}
    };
    try {
        statement();
    } catch (...) {
        rollBack();
        throw;
    }
    try {
        connection_->Commit();
    } catch (...) {
        rollBack();
        throw;
    }
}

void TASQLite3BaseQuery::ExecSQL() {
    Close();
    RunInTransaction([this] { Open(); });
}

// ---- editing ----

TASQLite3BaseQuery::TDataSetState TASQLite3BaseQuery::State() const {
    return active_ ? editState_ : TDataSetState::dsInactive;
}

void TASQLite3BaseQuery::WriteFieldValue(int index, const std::string& text) {
    if (!active_ || editState_ == TDataSetState::dsBrowse)
        throw EDatabaseError(Name() + ": Dataset not in edit or insert mode");
    const TFieldDef& def = fieldDefs_[static_cast<size_t>(index)];
    RowWriter writer;
    const TFieldType kind = typeLess_ ? TFieldType::ftString : def.DataType;
    AppendStored(writer, kind, def.Size, ColumnValue{text, text, false}, sqliteDateFormat_);
    editValues_[static_cast<size_t>(index)] = std::string(RowValue(writer.Bytes().data(), 0));
    modified_ = true;
}

void TASQLite3BaseQuery::Edit() {
    CheckActive();
    if (editState_ != TDataSetState::dsBrowse) return;
    if (result_->Count() == 0) {
        Insert();
        return;
    }
    if (BeforeEdit) BeforeEdit(*this);
    const char* row = result_->GetData(current_);
    if (!row) throw EDatabaseError("No Records");
    editValues_.clear();
    for (std::string_view v : RowValues(row, static_cast<int>(fieldDefs_.size()))) editValues_.emplace_back(v);
    editState_ = TDataSetState::dsEdit;
    modified_ = false;
    if (AfterEdit) AfterEdit(*this);
}

void TASQLite3BaseQuery::Insert() {
    CheckBrowseMode();
    if (BeforeInsert) BeforeInsert(*this);
    editValues_.clear();
    for (const TFieldDef& def : fieldDefs_)
        editValues_.push_back(EmptyStored(typeLess_ ? TFieldType::ftString : def.DataType));
    editState_ = TDataSetState::dsInsert;
    modified_ = false;
    if (AfterInsert) AfterInsert(*this);
}

void TASQLite3BaseQuery::Append() {
    CheckActive();
    Insert();
}

void TASQLite3BaseQuery::Cancel() {
    if (!active_ || editState_ == TDataSetState::dsBrowse) return;
    if (BeforeCancel) BeforeCancel(*this);
    editState_ = TDataSetState::dsBrowse;
    editValues_.clear();
    modified_ = false;
    if (AfterCancel) AfterCancel(*this);
}

void TASQLite3BaseQuery::Post() {
    CheckActive();
    if (editState_ == TDataSetState::dsBrowse) return;
    if (BeforePost) BeforePost(*this);
    InternalPost();
    editState_ = TDataSetState::dsBrowse;
    editValues_.clear();
    modified_ = false;
    if (AfterPost) AfterPost(*this);
}

void TASQLite3BaseQuery::AppendRecord(const std::vector<std::string>& values) {
    CheckActive();
    if (readOnly_) throw AsgError("Cannot write to a read-only dataset");
    Append();
    try {
        for (size_t i = 0; i < values.size() && i < fields_.size(); ++i) fields_[i]->SetAsString(values[i]);
        Post();
    } catch (...) {
        Cancel();
        throw;
    }
}

void TASQLite3BaseQuery::Delete() {
    CheckActive();
    // A row that was never posted exists nowhere else: dropping it is all.
    if (editState_ == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    // An edited row is deleted as it is stored, not as it was being edited.
    Cancel();
    if (result_->Count() == 0) throw EDatabaseError("No Records");
    if (BeforeDelete) BeforeDelete(*this);
    InternalDelete();
    eof_ = result_->Count() == 0 || current_ >= result_->Count() - 1;
    bof_ = current_ <= 0;
    if (AfterDelete) AfterDelete(*this);
}

std::string TASQLite3BaseQuery::QuotedFieldValue(const std::string& name) {
    return Quoted(FieldByName(name).AsString());
}

std::string TASQLite3BaseQuery::SubstituteFieldValues(const std::string& condition) {
    return SubstituteNames(condition, [this](const std::string& name) { return QuotedFieldValue(name); });
}

namespace {

TASQLite3UpdateSQL* RequireUpdateSQL(TASQLite3BaseQuery& query) {
    auto* q = dynamic_cast<TASQLite3Query*>(&query);
    TASQLite3UpdateSQL* component = q ? q->UpdateSQL() : nullptr;
    if (!component) throw AsgError("Missing TASQLite3UpdateSQL component");
    return component;
}

}  // namespace

void TASQLite3BaseQuery::InternalPost() {
    if (readOnly_) throw AsgError("Cannot post into a read-only dataset");
    if (!connection_) throw AsgError("no database connection");
    // The component is checked before a transaction is begun, so that a
    // missing one leaves no transaction open.
    RequireUpdateSQL(*this);
    if (editState_ == TDataSetState::dsEdit && result_->Count() > 0)
        PostEdited();
    else
        PostInserted();
}

void TASQLite3BaseQuery::PostEdited() {
    const MacroStatement m = ParseUpdateMacro(RequireUpdateSQL(*this)->UpdateSQL.Text());
    std::string sql = "update " + m.table + " set ";
    if (m.assignments.empty()) {
        for (size_t i = 0; i < fields_.size(); ++i) {
            if (i) sql += ",";
            sql += fields_[i]->FieldName() + "=" + Quoted(fields_[i]->AsString());
        }
    } else {
        for (size_t i = 0; i < m.assignments.size(); ++i) {
            const MacroAssignment& a = m.assignments[i];
            if (i) sql += ",";
            sql += a.column + "=" + (a.value.empty() ? QuotedFieldValue(a.column) : SubstituteFieldValues(a.value));
        }
    }
    sql += " where " + SubstituteFieldValues(m.condition);
    RunInTransaction([&] { connection_->ExecStatements(sql); });
    RowWriter row;
    for (const std::string& v : editValues_) row.Append(v);
    result_->Replace(current_, row.Bytes());
}

void TASQLite3BaseQuery::PostInserted() {
    const MacroStatement m = ParseInsertMacro(RequireUpdateSQL(*this)->InsertSQL.Text());
    std::string names, values;
    if (!m.values.empty()) {
        for (size_t i = 0; i < m.columns.size(); ++i) names += (i ? "," : "") + m.columns[i];
        values = SubstituteFieldValues(m.values);
    } else {
        std::vector<TField*> columns;
        if (m.columns.empty()) {
            for (auto& f : fields_) columns.push_back(f.get());
        } else {
            for (const std::string& name : m.columns) columns.push_back(&FieldByName(name));
        }
        for (size_t i = 0; i < columns.size(); ++i) {
            names += (i ? "," : "") + columns[i]->FieldName();
            values += (i ? "," : "") + Quoted(columns[i]->AsString());
        }
    }
    const std::string sql = "insert into " + m.table + " (" + names + ") values (" + values + ")";
    RunInTransaction([&] {
        connection_->ExecStatements(sql);
        const auto key = static_cast<int>(connection_->Api().last_insert_rowid(connection_->Handle()));
        RowWriter row;
        for (const std::string& v : editValues_) row.Append(v);
        if (result_->Count() == 0) ++current_;
        result_->Insert(std::max(current_, 0), row.Bytes(), key);
    });
}

void TASQLite3BaseQuery::InternalDelete() {
    if (readOnly_) throw AsgError("Cannot delete from a read-only dataset");
    if (!connection_) throw AsgError("no database connection");
    const MacroStatement m = ParseDeleteMacro(RequireUpdateSQL(*this)->DeleteSQL.Text());
    const std::string sql = "delete from " + m.table + " where " + SubstituteFieldValues(m.condition);
    // A failed delete is reported and the row stays, so the result never
    // shows a row as gone that the catalogue still holds.
    RunInTransaction([&] {
        DiscardRows discard;
        connection_->SQLiteExecute(sql, &discard);
    });
    result_->Delete(current_);
    if (current_ >= result_->Count()) current_ = result_->Count() - 1;
}
