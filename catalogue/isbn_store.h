#pragma once
// Storing books found by ISBN: which of them the catalogue already holds, and
// the batch insert in one transaction. Texts are the catalogue's bytes; an
// ISBN is in the stored form of catalogue/isbn.h.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/new_record.h"

class TASQLite3DB;

// Why a book counts as already in the catalogue.
enum class Duplicate {
    None,
    Isbn,         // a row's `udaj1` holds the same ISBN (compared as ISBN-13)
    AuthorTitle,  // a row has the same author and title
};

// What a duplicate is checked against: the catalogue's ISBNs (stored form)
// and author+title pairs.
struct CatalogueKeys {
    std::set<std::string> isbns;
    std::set<std::pair<std::string, std::string>> titles;

    Duplicate Check(const NewBook& book) const;
    void Add(const NewBook& book);
};

// The keys of every row, for checking many books one at a time.
CatalogueKeys ReadCatalogueKeys(TASQLite3DB& db);

// One answer per book, in order. One pass over the table, whatever the batch size.
std::vector<Duplicate> FindDuplicates(TASQLite3DB& db, const std::vector<NewBook>& books);

// Inserts the books in order under consecutive ids from the next free one,
// all in one transaction: a failure (a locked or read-only catalogue, a
// refused book) stores none of them and raises. A book without author or
// title is refused (std::invalid_argument) before anything is written.
// Returns the ids given; `rowKeys`, when given, receives the engine's row keys
// of the new rows, so the views can follow them instead of reading everything anew.
std::vector<int32_t> StoreNewBooks(TASQLite3DB& db, const std::vector<NewBook>& books,
                                   std::vector<int64_t>* rowKeys = nullptr);

// Completing a stored row from a record found by ISBN: `udaj1` is written
// only when it is empty or already holds an ISBN; other text there is kept.
bool MayWriteIsbn(const std::string& udaj1);

// A stored row as completing it by ISBN needs it, told apart by its row key.
struct StoredBook {
    int64_t rowKey = 0;
    NewBook book;  // hodnoceni and poznamka are not read
};

// The rows with this author and title, in storage order (as the tree shows them).
std::vector<StoredBook> ReadTitleBooks(TASQLite3DB& db, const std::string& autor, const std::string& titul);
// The row with this key; none when it is gone.
std::optional<StoredBook> ReadStoredBook(TASQLite3DB& db, int64_t rowKey);

// Writes the given fields ("autor", "titul", "zanr", "vydal", "serie",
// "udaj1") of the row `stored` to the values in `found`, only while the row
// still holds what was read; `udaj1` only when MayWriteIsbn allows it.
// Returns whether the row was changed.
bool CompleteBook(TASQLite3DB& db, const StoredBook& stored, const NewBook& found,
                  const std::vector<std::string>& fields);
