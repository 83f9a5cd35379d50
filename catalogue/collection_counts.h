#pragma once
// The figures of the whole collection gathered in one pass over the rows:
// books per genre, location, rating, author and publisher, and every loan,
// current or finished (from the history in `udaj3`). Texts are the stored
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

struct LoanRecord {
    std::string komu;
    std::string kdy;                      // as typed
    std::optional<std::string> returned;  // d.m.yyyy; none while the book is out
};

struct CollectionCounts {
    long long books = 0;
    TextCounts genre, location, rating, author, publisher;
    std::vector<LoanRecord> loans;
    long long foreignHistories = 0;  // rows whose `udaj3` holds text of another form
};

CollectionCounts CountCollection(TASQLite3DB& db);
