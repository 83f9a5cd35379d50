#pragma once
// A row as the record panel showed it, kept so that a save or a delete writes
// only while the row still holds it: another copy of the program may have
// changed or deleted it meanwhile, or given its key and id to a new book.
// Values are compared as the engine's own literals of them (quote()), so a
// type, a NULL against an empty text and every byte count.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TASQLite3DB;

namespace rowguard {

// The columns a record save writes, with the id that keys it.
enum Column { Id, Autor, Titul, Zanr, Vydal, Serie, Umisteni, Komu, Kdy, Hodnoceni, Poznamka, kColumns };
const char* ColumnName(Column column);

struct StoredValue {
    std::string literal;  // the engine's SQL literal of the value: 'text', NULL, 3, X'…'
    std::string text;     // the value as a query reads it whole; empty for NULL
    bool operator==(const StoredValue&) const = default;
};

struct StoredRow {
    int64_t rowKey = 0;
    std::array<StoredValue, kColumns> values;
    const StoredValue& operator[](Column c) const { return values[static_cast<size_t>(c)]; }
    StoredValue& operator[](Column c) { return values[static_cast<size_t>(c)]; }
};

// The row with this engine key as it is stored now; none when it is gone.
std::optional<StoredRow> ReadStoredRow(TASQLite3DB& db, int64_t rowKey);

// The condition that the row still holds `row`, to stand after a key condition.
std::string StillHolds(const StoredRow& row);
// "update svazkovna set <assignments> where <key> and <still holds>".
std::string GuardedUpdateSql(const std::string& assignments, const std::string& keyCondition, const StoredRow& row);
// "delete from svazkovna where <key> and <still holds>".
std::string GuardedDeleteSql(const std::string& keyCondition, const StoredRow& row);

// The columns whose stored value differs between the two reads, in column order.
std::vector<Column> ChangedColumns(const StoredRow& before, const StoredRow& now);

}  // namespace rowguard
