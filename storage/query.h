#pragma once
// Query result sets: an SQL text and, while open, its whole result held in
// memory, walked row by row and read by column number.
//
// This header fixes the surface that the window uses. The query layer may add
// members (field definitions, parameters, bookmarks, the update-statement
// component, provider operations) but keeps these signatures.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/component.h"
#include "storage/query_target.h"

class TASQLite3DB;
class TASQLite3UpdateSQL;
class TFResult;

// A list of text lines that reports every change.
class TStringList {
public:
    std::function<void()> OnChange;

    void Clear();                          // reports only when the list was not empty
    void Add(const std::string& line);     // always reports
    void Assign(const std::vector<std::string>& lines);
    void Assign(const TStringList& other);
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int i) const { return lines_.at(static_cast<size_t>(i)); }
    const std::vector<std::string>& Lines() const { return lines_; }
    std::string Text() const;              // every line followed by CR LF

private:
    std::vector<std::string> lines_;
};

enum class TFieldType {
    ftUnknown, ftString, ftSmallint, ftInteger, ftBoolean, ftFloat, ftCurrency, ftBCD,
    ftDate, ftTime, ftDateTime, ftTimeStamp, ftBlob, ftMemo, ftGraphic, ftFmtMemo
};

class TASQLite3BaseQuery;

// A field object: reads its column of the query's current row.
class TField {
public:
    virtual ~TField() = default;
    virtual std::string AsString() const = 0;
    virtual int32_t AsInteger() const = 0;
    virtual const std::string& FieldName() const = 0;
    virtual TFieldType DataType() const = 0;
};

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
};

class TASQLite3Query : public TASQLite3BaseQuery {
public:
    explicit TASQLite3Query(std::string name = {});
    ~TASQLite3Query() override;

    TStringList& SQL();
    bool RawSQL() const;
    void SetRawSQL(bool value);
    TASQLite3UpdateSQL* UpdateSQL() const;
    void SetUpdateSQL(TASQLite3UpdateSQL* updateSql);
};

// Writes `text` as the body of an SQL string literal: every single quote doubled.
std::string QuoteLiteralBody(const std::string& text);
