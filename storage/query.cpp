#include "storage/query.h"

#include <algorithm>

#include "storage/connection.h"
#include "storage/errors.h"
#include "storage/field_info.h"
#include "storage/fields.h"
#include "storage/param_scan.h"
#include "storage/result_store.h"
#include "storage/query_text.h"
#include "storage/update_sql.h"

using querytext::Trim;

// ---- TStringList ----

void TStringList::Clear() {
    if (lines_.empty()) return;
    lines_.clear();
    if (OnChange) OnChange();
}

void TStringList::Add(const std::string& line) {
    lines_.push_back(line);
    if (OnChange) OnChange();
}

void TStringList::Assign(const std::vector<std::string>& lines) {
    lines_ = lines;
    if (OnChange) OnChange();
}

void TStringList::Assign(const TStringList& other) {
    if (&other != this) lines_ = other.lines_;
    if (OnChange) OnChange();
}

std::string TStringList::Text() const {
    std::string text;
    for (const std::string& line : lines_) text += line + "\r\n";
    return text;
}

// ---- TASQLite3BaseQuery ----

TASQLite3BaseQuery::TASQLite3BaseQuery(std::string name)
    : TComponent(std::move(name)), scratch_(std::make_unique<RowWriter>()) {}

TASQLite3BaseQuery::~TASQLite3BaseQuery() {
    InternalClose();
    DetachMasterDetail();
    if (connection_) RemoveFreeNotification(connection_);
}

TASQLite3DB* TASQLite3BaseQuery::Connection() const { return connection_; }

void TASQLite3BaseQuery::SetConnection(TASQLite3DB* connection) {
    if (connection == connection_) return;
    if (connection_) RemoveFreeNotification(connection_);
    connection_ = connection;
    if (connection_) FreeNotification(connection_);
}

void TASQLite3BaseQuery::Notification(TComponent* component, Operation operation) {
    TComponent::Notification(component, operation);
    if (operation == Operation::Remove && component == connection_) {
        Close();
        connection_ = nullptr;
    }
}

bool TASQLite3BaseQuery::AutoCommit() const { return autoCommit_; }
void TASQLite3BaseQuery::SetAutoCommit(bool value) { autoCommit_ = value; }
const std::string& TASQLite3BaseQuery::TransactionType() const { return transactionType_; }
void TASQLite3BaseQuery::SetTransactionType(std::string value) { transactionType_ = std::move(value); }
bool TASQLite3BaseQuery::TypeLess() const { return typeLess_; }
void TASQLite3BaseQuery::SetTypeLess(bool value) { typeLess_ = value; }
int32_t TASQLite3BaseQuery::MaxResults() const { return maxResults_; }
void TASQLite3BaseQuery::SetMaxResults(int32_t value) { maxResults_ = value; }
int32_t TASQLite3BaseQuery::StartResult() const { return startResult_; }
void TASQLite3BaseQuery::SetStartResult(int32_t value) { startResult_ = value; }
bool TASQLite3BaseQuery::ReadOnly() const { return readOnly_; }
void TASQLite3BaseQuery::SetReadOnly(bool value) { readOnly_ = value; }
bool TASQLite3BaseQuery::SQLCursor() const { return sqlCursor_; }
void TASQLite3BaseQuery::SetSQLCursor(bool value) { sqlCursor_ = value; }
bool TASQLite3BaseQuery::SQLiteDateFormat() const { return sqliteDateFormat_; }
void TASQLite3BaseQuery::SetSQLiteDateFormat(bool value) { sqliteDateFormat_ = value; }

void TASQLite3BaseQuery::SetFilter(std::string value) {
    Close();
    filter_ = std::move(value);
}

bool TASQLite3BaseQuery::Active() const { return active_; }

void TASQLite3BaseQuery::CheckActive() const {
    if (!active_) throw EDatabaseError(Name() + ": Cannot perform this operation on a closed dataset");
}

void TASQLite3BaseQuery::Open() {
    if (active_) return;
    if (BeforeOpen) BeforeOpen(*this);
    try {
        InternalOpen();
    } catch (...) {
        // A failed Open leaves nothing behind: no result, no fields.
        InternalClose();
        throw;
    }
    active_ = true;
    editState_ = TDataSetState::dsBrowse;
    current_ = result_->Count() > 0 ? 0 : -1;
    bof_ = true;
    eof_ = result_->Count() == 0;
    if (AfterOpen) AfterOpen(*this);
    RefreshDetails();
}

void TASQLite3BaseQuery::Close() {
    if (!active_) return;
    if (BeforeClose) BeforeClose(*this);
    InternalClose();
    if (AfterClose) AfterClose(*this);
}

void TASQLite3BaseQuery::InternalOpen() {
    rowDataSize_ = 0;
    if (!connection_) throw AsgError("no database connection");
    if (!connection_->Connected()) connection_->SetConnected(true);
    if (connection_->LibraryLoaded() && masterSource_) {
        MasterPairs();  // checks the pairs before anything runs
        auto& list = masterSource_->details_;
        if (std::find(list.begin(), list.end(), this) == list.end()) list.push_back(this);
    }
    result_ = std::make_unique<TFResult>();
    result_->SetBufSize(static_cast<int>(fieldDefs_.size()));
    if (connection_->Connected()) connection_->SQLiteExecute(executedText_, this);
    current_ = -1;
    fields_.clear();
    for (size_t i = 0; i < fieldDefs_.size(); ++i)
        fields_.push_back(std::make_unique<TQueryField>(*this, static_cast<int>(i), fieldDefs_[i], typeLess_));
}

void TASQLite3BaseQuery::InternalClose() {
    active_ = false;
    executedText_.clear();
    result_.reset();
    fields_.clear();
    current_ = -1;
    bof_ = eof_ = false;
    editState_ = TDataSetState::dsBrowse;
    editValues_.clear();
    modified_ = false;
}

// ---- what the connection calls ----

// ---- TASQLite3Query ----

TASQLite3Query::TASQLite3Query(std::string name) : TASQLite3BaseQuery(std::move(name)) {
    sql_.OnChange = [this] { QueryChanged(); };
}

TASQLite3Query::~TASQLite3Query() {
    sql_.OnChange = nullptr;
    if (updateSql_) RemoveFreeNotification(updateSql_);
}

TStringList& TASQLite3Query::SQL() { return sql_; }
bool TASQLite3Query::RawSQL() const { return rawSql_; }

// Takes effect at the next change of SQL, which makes the parsed text anew.
void TASQLite3Query::SetRawSQL(bool value) { rawSql_ = value; }

TASQLite3UpdateSQL* TASQLite3Query::UpdateSQL() const { return updateSql_; }

void TASQLite3Query::SetUpdateSQL(TASQLite3UpdateSQL* updateSql) {
    if (updateSql == updateSql_) return;
    if (updateSql_) RemoveFreeNotification(updateSql_);
    updateSql_ = updateSql;
    if (updateSql_) FreeNotification(updateSql_);
}

void TASQLite3Query::Notification(TComponent* component, Operation operation) {
    TASQLite3BaseQuery::Notification(component, operation);
    if (operation == Operation::Remove && component == updateSql_) updateSql_ = nullptr;
}

void TASQLite3Query::QueryChanged() {
    Close();
    // A raw text has no parameters of its own; ones left from an earlier
    // text would otherwise be put into its "?" places.
    Params().clear();
    if (rawSql_) {
        parsedText_ = sql_.Text();
        return;
    }
    ParamScan scan = ScanParameters(sql_.Text());
    parsedText_ = std::move(scan.text);
    for (std::string& name : scan.names) {
        TParam param;
        param.Name = std::move(name);
        Params().push_back(std::move(param));
    }
}

void TASQLite3Query::PSSetCommandText(const std::string& text) {
    sql_.Clear();
    sql_.Add(text);
}

void TASQLite3Query::InternalOpen() {
    if (Trim(sql_.Text()).empty()) throw AsgError("no query specified");
    if (MaxResults() == 0 && StartResult() != 0) SetMaxResultsRaw(-1);
    std::string text = parsedText_;
    if (Filtered() && !Filter().empty()) text = "select * from (" + text + ") where " + Filter();
    text = WithParamValues(std::move(text));
    if (MaxResults() != 0) text += " limit " + std::to_string(MaxResults());
    if (StartResult() != 0) text += " offset " + std::to_string(StartResult());
    // The engine reads a statement text only up to a zero byte; what follows
    // would silently be dropped, so such a text is refused instead.
    if (text.find('\0') != std::string::npos) throw AsgError("SQL text contains a zero byte");
    executedText_ = std::move(text);
    TASQLite3BaseQuery::InternalOpen();
}
