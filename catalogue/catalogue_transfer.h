#pragma once
// The catalogue's rows in bulk, for export and import: every row with its
// texts whole (the queries deliver at most 255 bytes of a text), the author
// and title pairs already stored, and one transaction that appends rows.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class TASQLite3DB;

inline constexpr int kCatalogueColumnCount = 14;
// The table's columns in their stored order.
extern const char* const kCatalogueColumns[kCatalogueColumnCount];
inline constexpr int kIdColumn = 0;
inline constexpr int kAuthorColumn = 1;
inline constexpr int kTitleColumn = 2;
inline constexpr int kRatingColumn = 9;
inline constexpr int kUdaj1Column = 11;  // where an ISBN is kept

// One row as stored bytes; no value is NULL. Integers come as their decimal text.
using CatalogueRow = std::array<std::optional<std::string>, kCatalogueColumnCount>;

// The number of rows.
long long CountCatalogueRows(TASQLite3DB& con);

// Hands every row, in storage order, to `each`; stops early and returns false
// as soon as `each` returns false.
bool ForEachCatalogueRow(TASQLite3DB& con, const std::function<bool(const CatalogueRow&)>& each);

// An author and a title as one key, as a collector tells one book from
// another (catalogue/book_match.h: "Rowling J. K." is "J.K. Rowling", a
// series suffix does not count); empty when either is empty. Rows with a NULL
// or an empty key are left out of the stored keys, as they match nothing.
std::string AuthorTitleKey(const std::string& author, const std::string& title);
std::unordered_set<std::string> StoredAuthorTitleKeys(TASQLite3DB& con);
// Each stored author's form by its key (match::AuthorKey: case, accents,
// initials' spaces and the order of the names left out); of several forms
// with one key, the first stored.
std::unordered_map<std::string, std::string> StoredAuthorForms(TASQLite3DB& con);
// Every non-empty `udaj1` text stored (where the ISBN is kept).
std::unordered_set<std::string> StoredUdaj1Texts(TASQLite3DB& con);

// The id a new row gets: the highest id plus one, 1 for an empty table (as the
// new-record dialog takes it).
long long NextCatalogueId(TASQLite3DB& con);

// Appends `rows` in one transaction; their ids are replaced by consecutive
// fresh ones taken inside it. The id and the rating are written as bare
// numbers and must be whole decimal numbers; texts must hold no zero byte.
// `progress` is called with the number of rows written so far; when it
// returns false the transaction is rolled back and the result is false.
// Any failure rolls back too and is rethrown: either every row is stored or none.
bool AppendCatalogueRows(TASQLite3DB& con, const std::vector<CatalogueRow>& rows,
                         const std::function<bool(size_t written)>& progress);
