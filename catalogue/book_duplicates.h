#pragma once
// Books the catalogue probably holds twice: the same ISBN in `udaj1` in any
// stored form (ISBN-10 or -13, hyphens, "ISBN … (váz.)"), or author and title
// equal under the shared keys, a series suffix left out. Only ever listed and
// deleted by the user's choice, never merged.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

class TASQLite3DB;

// The columns a copy is compared by, in the table's order, id to udaj2.
inline constexpr int kDuplicateColumns = 13;

struct DuplicateBook {
    int64_t key = 0;
    std::vector<std::string> fields;  // kDuplicateColumns texts, a NULL as the empty text
};

struct DuplicateGroup {
    bool byIsbn = false;  // at least two of its books share an ISBN
    std::vector<DuplicateBook> books;
    // The books' author, title and ISBN keys: "dva výtisky" is remembered by
    // it, and the group is offered again only when another copy joins it.
    std::string identity;
};

// Every group of two or more books, those sharing an ISBN first, then by
// author; groups whose identity is in `kept` are left out.
std::vector<DuplicateGroup> FindDuplicates(TASQLite3DB& db, const std::set<std::string>& kept);

// Deletes these copies in one transaction, each only while its author, title
// and ISBN are still as read; returns the keys deleted.
std::vector<int64_t> DeleteCopies(TASQLite3DB& db, const std::vector<DuplicateBook>& books);
