#include "storage/query.h"

#include <algorithm>
#include <cstring>

#include "storage/connection.h"
#include "storage/errors.h"
#include "storage/field_info.h"
#include "storage/fields.h"
#include "storage/param_scan.h"
#include "storage/result_store.h"
#include "storage/update_sql.h"

namespace {

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Blanks and control characters, as the runtime's trimming sees them.
std::string_view Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

bool IsQuote(char c) { return c == '\'' || c == '"' || c == '`'; }

// Offsets of the "?" places outside quoted tokens.
std::vector<size_t> PlaceOffsets(std::string_view text) {
    std::vector<size_t> places;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsQuote(text[i])) {
            const size_t close = text.find(text[i], i + 1);
            if (close == std::string_view::npos) break;
            i = close;
        } else if (text[i] == '?') {
            places.push_back(i);
        }
    }
    return places;
}

}  // namespace

std::string QuoteLiteralBody(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

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

// ---- TParam ----

void TParam::SetAsString(std::string value) {
    DataType = TFieldType::ftString;
    value_ = std::move(value);
    Bound = true;
}

void TParam::SetAsInteger(int32_t value) {
    SetAsString(std::to_string(value));
    DataType = TFieldType::ftInteger;
}

void TParam::SetAsFloat(double value) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    SetAsString(buf);
    DataType = TFieldType::ftFloat;
}

void TParam::SetAsDateTime(int year, int month, int day, int hour, int minute, int second,
                           int msec) {
    const int parts[7] = {year, month, day, hour, minute, second, msec};
    std::copy(parts, parts + 7, dateTime_);
    SetAsString(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz"));
    DataType = TFieldType::ftDateTime;
}

void TParam::SetAsBlob(std::string bytes) {
    SetAsString(std::move(bytes));
    DataType = TFieldType::ftBlob;
}

void TParam::Clear() {
    value_.clear();
    Bound = true;
}

std::string TParam::FormatDateTime(const std::string& format) const {
    DateTimeParts p;
    p.year = dateTime_[0], p.month = dateTime_[1], p.day = dateTime_[2];
    p.hour = dateTime_[3], p.minute = dateTime_[4], p.second = dateTime_[5], p.msec = dateTime_[6];
    return ::FormatDateTime(format, p);
}

// ---- TASQLite3BaseQuery ----

TASQLite3BaseQuery::TASQLite3BaseQuery(std::string name)
    : TComponent(std::move(name)), scratch_(std::make_unique<RowWriter>()) {}

TASQLite3BaseQuery::~TASQLite3BaseQuery() {
    InternalClose();
    if (masterSource_) {
        auto& list = masterSource_->details_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    for (TASQLite3BaseQuery* detail : details_) detail->masterSource_ = nullptr;
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

void TASQLite3BaseQuery::SetMasterSource(TASQLite3BaseQuery* master) {
    for (TASQLite3BaseQuery* q = master; q; q = q->masterSource_)
        if (q == this) throw EDatabaseError("circular references are not allowed");
    if (masterSource_) {
        auto& list = masterSource_->details_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    masterSource_ = master;
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
}

// ---- what the connection calls ----

std::vector<std::string_view> TASQLite3BaseQuery::BlobParameters() const {
    std::vector<std::string_view> blobs;
    for (const TParam& p : params_)
        if (p.DataType == TFieldType::ftBlob || p.DataType == TFieldType::ftGraphic)
            blobs.emplace_back(p.AsString());
    return blobs;
}

void TASQLite3BaseQuery::MakeFieldDefs(const std::vector<ResultColumn>& columns, int rowKeyColumn) {
    if (columns.empty()) return;
    fieldDefs_.clear();
    columnField_.clear();
    rowDataSize_ = 0;
    try {
        for (size_t c = 0; c < columns.size(); ++c) {
            const ResultColumn& column = columns[c];
            if (static_cast<int>(c) == rowKeyColumn || SameText(column.name, "rowid")) {
                columnField_.push_back(-1);
                continue;
            }
            auto taken = [&](const std::string& name) {
                return std::any_of(fieldDefs_.begin(), fieldDefs_.end(),
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
            rowDataSize_ += NativeSize(def.DataType, def.Size, def.Name);
            fieldDefs_.push_back(def);
            columnField_.push_back(static_cast<int>(fieldDefs_.size()) - 1);
        }
    } catch (...) {
        fieldDefs_.clear();
        columnField_.clear();
        throw;
    }
    if (result_) result_->SetBufSize(static_cast<int>(fieldDefs_.size()));
}

bool TASQLite3BaseQuery::WantsBytes(int column) const {
    if (column < 0 || column >= static_cast<int>(columnField_.size())) return false;
    const int field = columnField_[static_cast<size_t>(column)];
    return field >= 0 && IsBlobKind(fieldDefs_[static_cast<size_t>(field)].DataType);
}

void TASQLite3BaseQuery::StoreValue(RowWriter& writer, const TFieldDef& def,
                                    const ColumnValue& value) const {
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

// ---- navigation ----

int TASQLite3BaseQuery::RecordCount() const {
    CheckActive();
    return result_->Count();
}

void TASQLite3BaseQuery::First() {
    CheckActive();
    if (BeforeScroll) BeforeScroll(*this);
    current_ = result_->Count() > 0 ? 0 : -1;
    bof_ = true;
    eof_ = result_->Count() == 0;
    AfterMove();
}

void TASQLite3BaseQuery::Last() {
    CheckActive();
    if (BeforeScroll) BeforeScroll(*this);
    current_ = result_->Count() - 1;
    eof_ = true;
    bof_ = result_->Count() == 0;
    AfterMove();
}

void TASQLite3BaseQuery::Next() { MoveBy(1); }

int TASQLite3BaseQuery::MoveBy(int distance) {
    CheckActive();
    if (distance == 0 || (distance > 0 && eof_) || (distance < 0 && bof_)) return 0;
    if (BeforeScroll) BeforeScroll(*this);
    bof_ = eof_ = false;
    int moved = 0;
    const int count = result_->Count();
    while (distance > 0) {
        if (current_ >= count - 1) {
            eof_ = true;
            break;
        }
        ++current_, ++moved, --distance;
    }
    while (distance < 0) {
        if (current_ <= 0) {
            bof_ = true;
            break;
        }
        --current_, ++moved, ++distance;
    }
    AfterMove();
    return moved;
}

void TASQLite3BaseQuery::AfterMove() {
    if (AfterScroll) AfterScroll(*this);
    RefreshDetails();
}

bool TASQLite3BaseQuery::Bof() const { return bof_; }
bool TASQLite3BaseQuery::Eof() const { return eof_; }

int TASQLite3BaseQuery::RecNo() const {
    CheckActive();
    return current_ < 0 ? (result_->Count() > 0 ? 1 : 0) : current_ + 1;
}

void TASQLite3BaseQuery::SetRecNo(int value) {
    CheckActive();
    if (value < 0 || value > result_->Count() + 1) return;
    current_ = value - 1;
    bof_ = eof_ = false;
    AfterMove();
}

int32_t TASQLite3BaseQuery::GetBookmark() const {
    CheckActive();
    return result_->GetBookmark(current_);
}

void TASQLite3BaseQuery::GotoBookmark(int32_t bookmark) {
    CheckActive();
    const int index = result_->IndexOfBookmark(bookmark);
    if (index < 0) throw EDatabaseError("Bookmark not found");
    current_ = index;
    bof_ = eof_ = false;
    AfterMove();
}

bool TASQLite3BaseQuery::Locate(const std::string& keyFields, const std::vector<std::string>& values,
                                std::initializer_list<TLocateOption> options) {
    CheckActive();
    const bool noCase = std::find(options.begin(), options.end(), TLocateOption::loCaseInsensitive) != options.end();
    const bool partial = std::find(options.begin(), options.end(), TLocateOption::loPartialKey) != options.end();
    std::vector<TField*> keys;
    for (size_t start = 0; start <= keyFields.size();) {
        size_t end = keyFields.find(';', start);
        if (end == std::string::npos) end = keyFields.size();
        keys.push_back(&FieldByName(std::string(Trim(std::string_view(keyFields).substr(start, end - start)))));
        start = end + 1;
    }
    if (keys.size() != values.size()) throw EDatabaseError("Locate: number of fields and values differ");
    const int saved = current_;
    for (current_ = 0; current_ < result_->Count(); ++current_) {
        bool all = true;
        for (size_t k = 0; k < keys.size() && all; ++k) {
            std::string have = keys[k]->AsString();
            const std::string& want = values[k];
            if (partial && have.size() > want.size()) have.resize(want.size());
            all = noCase ? SameText(have, want) : have == want;
        }
        if (all) {
            bof_ = eof_ = false;
            AfterMove();
            return true;
        }
    }
    current_ = saved;
    return false;
}

// ---- fields ----

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

TParam& TASQLite3BaseQuery::ParamByName(const std::string& name) {
    for (TParam& p : params_)
        if (SameText(p.Name, name)) return p;
    throw EDatabaseError(Name() + ": Parameter '" + name + "' not found");
}

std::optional<std::string_view> TASQLite3BaseQuery::FieldValue(int index) const {
    if (editState_ != TDataSetState::dsBrowse && index < static_cast<int>(editValues_.size()))
        return std::string_view(editValues_[static_cast<size_t>(index)]);
    if (!result_) return std::nullopt;
    const char* row = result_->GetData(current_);
    if (!row) return std::nullopt;
    return RowValue(row, index);
}

// ---- master/detail ----

std::vector<std::pair<std::string, std::string>> TASQLite3BaseQuery::MasterPairs() const {
    std::vector<std::pair<std::string, std::string>> pairs;
    const std::string_view all = masterFields_;
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find(';', start);
        if (end == std::string_view::npos) end = all.size();
        const std::string_view pair = all.substr(start, end - start);
        const size_t eq = pair.find('=');
        if (eq == std::string_view::npos || Trim(pair.substr(0, eq)).empty() || Trim(pair.substr(eq + 1)).empty())
            throw AsgError("Syntax error: Masterfields not build of a=b;... pairs");
        pairs.emplace_back(Trim(pair.substr(0, eq)), Trim(pair.substr(eq + 1)));
        start = end + 1;
    }
    return pairs;
}

void TASQLite3BaseQuery::RefreshDetails() {
    for (TASQLite3BaseQuery* detail : std::vector<TASQLite3BaseQuery*>(details_)) detail->RefreshFromMaster();
}

void TASQLite3BaseQuery::RefreshFromMaster() {
    if (!masterSource_) throw AsgError("master dataset undefined");
    const bool wasOpen = active_;
    Close();
    std::string filter;
    for (const auto& [detailField, masterField] : MasterPairs()) {
        if (!filter.empty()) filter += " and ";
        const std::string value = masterSource_->active_ ? masterSource_->FieldByName(masterField).AsString() : "";
        filter += detailField + "=" + value;
    }
    filter_ = filter;
    filtered_ = true;
    // A detail that was showing rows shows those of the new master row.
    if (wasOpen) Open();
}

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

void TASQLite3Query::SetRawSQL(bool value) {
    if (rawSql_ == value) return;
    rawSql_ = value;
    QueryChanged();
}

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
    if (rawSql_) {
        parsedText_ = sql_.Text();
        return;
    }
    Params().clear();
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
    if (!Params().empty()) {
        // Values go into the "?" places outside literals, last first so that
        // the earlier offsets stay valid; a "?" inside a literal is data.
        const std::vector<size_t> places = PlaceOffsets(text);
        const size_t n = std::min(places.size(), Params().size());
        for (size_t k = n; k-- > 0;) {
            const TParam& p = Params()[k];
            std::string value;
            if (p.DataType == TFieldType::ftBlob || p.DataType == TFieldType::ftGraphic) {
                value = "\x02";
            } else if (p.AsString().empty() && p.Bound) {
                value = "NULL";
            } else {
                std::string plain = p.AsString();
                if (p.IsDateTime()) {
                    plain = p.FormatDateTime(SQLiteDateFormat()         ? "yyyy-mm-dd hh:nn:ss.zzz"
                                             : !TableDateFormat().empty() ? TableDateFormat()
                                                                          : "yyyy-mm-dd");
                }
                value = '\'';
                value += QuoteLiteralBody(plain);
                value += '\'';
            }
            text.replace(places[k], 1, value);
        }
    }
    if (MaxResults() != 0) text += " limit " + std::to_string(MaxResults());
    if (StartResult() != 0) text += " offset " + std::to_string(StartResult());
    // The engine reads a statement text only up to a zero byte; what follows
    // would silently be dropped, so such a text is refused instead.
    if (text.find('\0') != std::string::npos) throw AsgError("SQL text contains a zero byte");
    executedText_ = std::move(text);
    TASQLite3BaseQuery::InternalOpen();
}
