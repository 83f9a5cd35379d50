#pragma once
// Telling one row of the catalogue from another. The program keys a book by
// its `id`, but a catalogue written by other tools may hold two rows with one
// id, a NULL id, or an id the 32-bit fields cannot hold; the engine's own row
// key tells every row apart. Statements run on a query of their own, so the
// window's queries keep what they hold.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TASQLite3DB;

namespace rowidentity {

// The row keys of the rows `condition` (an SQL expression over the table's
// columns) selects, in the order a plain select of them returns the rows.
std::vector<int64_t> RowKeys(TASQLite3DB& db, const std::string& condition);

// Whether "id=<id>" selects exactly the row with key `rowKey` and nothing else.
bool IdSelectsOnly(TASQLite3DB& db, int32_t id, int64_t rowKey);

// The key condition for a change of the row `rowKey` shown with `id`: the
// program's own "(id=N)" where that picks the row alone, else "(rowid=K)".
std::string KeyCondition(TASQLite3DB& db, int32_t id, int64_t rowKey);

}  // namespace rowidentity
