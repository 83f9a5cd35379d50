#pragma once
// A new book as the program stores it: the next id, the rule that author and
// title are not empty, and the insert with empty text (not NULL) in every
// column the user does not fill. Shared by the new-record dialog and the
// batch that stores books found by ISBN. Texts are the catalogue's bytes.
#include <cstdint>
#include <string>

class TASQLite3DB;

struct NewBook {
    std::string autor;
    std::string titul;
    std::string zanr;
    std::string vydal;
    std::string serie;
    std::string umisteni;
    std::string poznamka;
    int32_t hodnoceni = 3;
    std::string udaj1;  // the ISBN in its stored form, or empty
    std::string udaj2;  // year, pages, edition in the form of bib_details.h, or empty

    bool operator==(const NewBook&) const = default;
};

// A book is stored only with an author and a title.
inline bool Storable(const NewBook& b) { return !b.autor.empty() && !b.titul.empty(); }

// One more than the greatest id, or 1 in an empty table (the greatest id is NULL there).
int32_t NextBookId(TASQLite3DB& db);

// The insert statement for `b` under `id`.
std::string NewBookSql(int32_t id, const NewBook& b);
