#pragma once
// The figures of the whole collection gathered in one pass over the rows:
// books per genre, location, rating, author and publisher, and the loans,
// current or finished (from the history in `udaj3`), counted by what the
// statistics read of them. Texts are the stored
// 8-bit bytes; a NULL counts as the empty text.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TASQLite3DB;

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
using TextCounts = std::unordered_map<std::string, long long, TextHash, std::equal_to<>>;

struct CollectionCounts {
    long long books = 0;
    TextCounts genre, location, rating, author, publisher;
    // Loans, current and finished alike, by borrower (the name without the blanks around it).
    TextCounts borrowers;
    // Current loans by their date as typed.
    TextCounts lentSince;
    // Finished loans by "<return day d.m.yyyy><TAB><loan date as typed>" (the
    // return day holds no tab): catalogues repeat dates, so each is read once.
    TextCounts finishedSpans;
    long long foreignHistories = 0;  // rows whose `udaj3` holds text of another form
};

CollectionCounts CountCollection(TASQLite3DB& db);
