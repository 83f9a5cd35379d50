#pragma once
// Query result sets: an SQL text and, while open, its whole result held in
// memory, walked row by row and read by column number.
//
// This header fixes the surface that the window uses. The query layer may add
// members (field definitions, parameters, bookmarks, the update-statement
// component, provider operations) but keeps these signatures.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "storage/component.h"
#include "storage/query_target.h"

class TASQLite3DB;
class TASQLite3UpdateSQL;
class TFResult;
class RowWriter;

// A list of text lines that reports every change.
class TStringList {
public:
    std::function<void()> OnChange;

    void Clear();                       // reports only when the list was not empty
    void Add(const std::string& line);  // always reports
    void Assign(const std::vector<std::string>& lines);
    void Assign(const TStringList& other);
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int i) const { return lines_.at(static_cast<size_t>(i)); }
    const std::vector<std::string>& Lines() const { return lines_; }
    std::string Text() const;  // every line followed by CR LF

private:
    std::vector<std::string> lines_;
};

enum class TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftTimeStamp,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo
};

class TASQLite3BaseQuery;
class TQueryField;

// A field object: reads its column of the query's current row.
class TField {
public:
    virtual ~TField() = default;
    virtual std::string AsString() const = 0;
    virtual int32_t AsInteger() const = 0;
    virtual const std::string& FieldName() const = 0;
    virtual TFieldType DataType() const = 0;

    // Writing is possible only while the query edits or inserts a row.
    virtual void SetAsString(const std::string& value);
    void SetAsInteger(int32_t value) { SetAsString(std::to_string(value)); }
    // Flagged fields make the key of a provider's update.
    bool InKey = false;
};

// A field definition, made from a result column and kept across Close.
struct TFieldDef {
    std::string Name;
    TFieldType DataType = TFieldType::ftString;
    int Size = 0;       // text fields: the bytes kept of each value
    int Precision = 0;  // float fields: the scale of numeric(p,s)
};

// A parameter of the SQL text, found by the ":name" scan.
class TParam {
public:
    std::string Name;
    TFieldType DataType = TFieldType::ftUnknown;
    bool Bound = false;

    void SetAsString(std::string value);
    void SetAsInteger(int32_t value);
    void SetAsFloat(double value);
    void SetAsDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int msec = 0);
    void SetAsBlob(std::string bytes);  // bound as bytes when the statement runs
    void Clear();                       // no value: written as NULL
    const std::string& AsString() const { return value_; }
    bool IsDateTime() const { return DataType == TFieldType::ftDateTime; }
    // The date-time value formatted with `format` (yyyy, mm, dd, hh, nn, ss, zzz).
    std::string FormatDateTime(const std::string& format) const;

private:
    std::string value_;
    int dateTime_[7] = {};
};

using TASQLite3Event = std::function<void(TASQLite3BaseQuery& query)>;

enum class TLocateOption { loCaseInsensitive, loPartialKey };

// The data-set base with the query's own open path and result store.
class TASQLite3BaseQuery : public TComponent, public QueryTarget {
public:
    explicit TASQLite3BaseQuery(std::string name = {});
    ~TASQLite3BaseQuery() override;

    TASQLite3DB* Connection() const;
    void SetConnection(TASQLite3DB* connection);

    void Open();     // nothing when already open
    void Close();    // nothing when closed
    void ExecSQL();  // Close, then Open (inside a transaction when AutoCommit)
    bool Active() const;

    int RecordCount() const;
    void First();
    void Next();
    int MoveBy(int distance);
    bool Bof() const;
    bool Eof() const;

    TField& Fields(int index);  // EListError "List index out of bounds (%d)"
    int FieldCount() const;

    // Published properties (getters/setters); defaults as at creation.
    bool AutoCommit() const;
    void SetAutoCommit(bool value);
    const std::string& TransactionType() const;
    void SetTransactionType(std::string value);
    bool TypeLess() const;
    void SetTypeLess(bool value);
    int32_t MaxResults() const;
    void SetMaxResults(int32_t value);
    int32_t StartResult() const;
    void SetStartResult(int32_t value);
    bool ReadOnly() const;
    void SetReadOnly(bool value);
    bool SQLCursor() const;
    void SetSQLCursor(bool value);
    bool SQLiteDateFormat() const;
    void SetSQLiteDateFormat(bool value);

    // ... the query layer adds the rest of its members below this line.
    const std::string& TableDateFormat() const { return tableDateFormat_; }
    void SetTableDateFormat(std::string value) { tableDateFormat_ = std::move(value); }
    const std::string& MasterFields() const { return masterFields_; }
    void SetMasterFields(std::string value) { masterFields_ = std::move(value); }
    TASQLite3BaseQuery* MasterSource() const { return masterSource_; }
    void SetMasterSource(TASQLite3BaseQuery* master);  // EDatabaseError on a cycle
    bool AutoCalcFields() const { return autoCalcFields_; }
    void SetAutoCalcFields(bool value) { autoCalcFields_ = value; }
    const std::string& Filter() const { return filter_; }
    void SetFilter(std::string value);  // closes the query first
    bool Filtered() const { return filtered_; }
    void SetFiltered(bool value) { filtered_ = value; }

    // Hooks around the data-set operations; none is assigned by default.
    TASQLite3Event BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeScroll, AfterScroll;
    TASQLite3Event BeforeEdit, AfterEdit, BeforeInsert, AfterInsert, BeforePost, AfterPost;
    TASQLite3Event BeforeDelete, AfterDelete, BeforeCancel, AfterCancel;

    std::vector<TParam>& Params() { return params_; }
    const std::vector<TParam>& Params() const { return params_; }
    TParam& ParamByName(const std::string& name);  // EDatabaseError when missing

    const std::vector<TFieldDef>& FieldDefs() const { return fieldDefs_; }
    TField& FieldByName(const std::string& name);  // EDatabaseError when missing
    int RowDataSize() const { return rowDataSize_; }
    // The text handed to the connection by the last Open; empty while closed.
    const std::string& ExecutedText() const { return executedText_; }
    // The result store while open, else nullptr.
    const TFResult* Result() const { return result_.get(); }

    void Last();
    void Prior() { MoveBy(-1); }
    int RecNo() const;                    // current row + 1; details re-read their master values
    void SetRecNo(int value);             // 0 .. RecordCount + 1, others ignored
    int32_t GetBookmark() const;          // -1 without a current row
    void GotoBookmark(int32_t bookmark);  // EDatabaseError "Bookmark not found"
    // Field names separated by ";", one value per name; moves to the first match.
    bool Locate(const std::string& keyFields, const std::vector<std::string>& values,
                std::initializer_list<TLocateOption> options = {});

    // Row editing, posted through the update-statement component.
    enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };
    TDataSetState State() const;
    // Whether a field of the row being edited or inserted has been written.
    bool Modified() const { return modified_; }
    // Posts a modified pending row and drops an untouched one; every move does this first.
    void CheckBrowseMode();
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    void AppendRecord(const std::vector<std::string>& values);

    // Provider operations.
    void PSExecute() { ExecSQL(); }
    int PSExecuteStatement(const std::string& sql, const std::vector<TParam>& params);
    void PSStartTransaction();
    void PSEndTransaction(bool commit);
    bool PSInTransaction() const { return connection_ != nullptr; }
    std::string PSGetQuoteChar() const { return "\""; }
    std::string PSGetTableName() const;
    std::string PSGetKeyFields() const;
    bool PSIsSQLBased() const { return true; }
    bool PSIsSQLSupported() const { return true; }
    void PSReset();
    virtual void PSSetCommandText(const std::string& text);
    void PSSetParams(const std::vector<TParam>& params);

    // QueryTarget: what the connection calls while it runs the statement.
    std::vector<std::string_view> BlobParameters() const override;
    void MakeFieldDefs(const std::vector<ResultColumn>& columns, int rowKeyColumn) override;
    bool WantsBytes(int column) const override;
    void StoreRow(const std::vector<ColumnValue>& values, int rowKey) override;

protected:
    virtual void InternalOpen();
    virtual void InternalClose();
    virtual void InternalPost();
    virtual void InternalDelete();
    // The SQL text the provider and posting read; the query overrides it.
    virtual std::string SQLText() const { return {}; }
    void Notification(TComponent* component, Operation operation) override;
    void CheckActive() const;
    void SetMaxResultsRaw(int32_t value) { maxResults_ = value; }
    // `text` with the parameter values in its "?" places.
    std::string WithParamValues(std::string text) const;

    std::string executedText_;

private:
    friend class TQueryField;
    friend class TASQLite3BlobStream;
    // The current row's value of field `index`; none without a current row.
    std::optional<std::string_view> FieldValue(int index) const;
    void WriteFieldValue(int index, const std::string& text);
    void StoreValue(RowWriter& writer, const TFieldDef& def, const ColumnValue& value) const;
    void AfterMove();
    void RefreshDetails() const;
    void DetachMasterDetail();
    void RefreshFromMaster();
    std::vector<std::pair<std::string, std::string>> MasterPairs() const;
    void RunInTransaction(const std::function<void()>& statement);
    void PostEdited();
    void PostInserted();
    std::string QuotedFieldValue(const std::string& name);
    std::string SubstituteFieldValues(const std::string& condition);

    TASQLite3DB* connection_ = nullptr;
    bool autoCommit_ = false;
    std::string transactionType_;
    bool sqliteDateFormat_ = true;
    std::string tableDateFormat_;
    int32_t maxResults_ = 0;
    int32_t startResult_ = 0;
    bool typeLess_ = false;
    std::string masterFields_;
    TASQLite3BaseQuery* masterSource_ = nullptr;
    bool sqlCursor_ = true;
    bool readOnly_ = false;
    bool autoCalcFields_ = true;
    std::string filter_;
    bool filtered_ = false;

    bool active_ = false;
    bool bof_ = false;
    bool eof_ = false;
    int current_ = -1;
    TDataSetState editState_ = TDataSetState::dsBrowse;
    std::vector<std::string> editValues_;  // stored form of the row being edited
    bool modified_ = false;
    std::vector<TParam> params_;
    std::vector<TFieldDef> fieldDefs_;
    std::vector<int> columnField_;  // result column -> field, -1 for the row key
    std::vector<std::unique_ptr<TQueryField>> fields_;
    std::unique_ptr<TFResult> result_;
    int rowDataSize_ = 0;
    std::unique_ptr<RowWriter> scratch_;
    std::vector<TASQLite3BaseQuery*> details_;        // registered at their Open: re-read on moves
    std::vector<TASQLite3BaseQuery*> linkedDetails_;  // every query whose master this is
};

class TASQLite3Query : public TASQLite3BaseQuery {
public:
    explicit TASQLite3Query(std::string name = {});
    ~TASQLite3Query() override;

    TStringList& SQL();
    bool RawSQL() const;
    void SetRawSQL(bool value);  // takes effect at the next change of SQL
    TASQLite3UpdateSQL* UpdateSQL() const;
    void SetUpdateSQL(TASQLite3UpdateSQL* updateSql);

    // The SQL text after the parameter scan (or as written, with RawSQL).
    const std::string& ParsedText() const { return parsedText_; }
    void PSSetCommandText(const std::string& text) override;

protected:
    void InternalOpen() override;
    std::string SQLText() const override { return sql_.Text(); }
    void Notification(TComponent* component, Operation operation) override;

private:
    void QueryChanged();

    TStringList sql_;
    bool rawSql_ = false;
    std::string parsedText_;
    TASQLite3UpdateSQL* updateSql_ = nullptr;
};

// Writes `text` as the body of an SQL string literal: every single quote doubled.
std::string QuoteLiteralBody(const std::string& text);
