#pragma once
// Finding books by any word of theirs: the folded texts of every row's
// searched fields kept in memory, one buffer for the whole catalogue, so that
// a keystroke scans bytes instead of asking the engine. It is built in one
// pass and then follows the rows the program itself changes; nothing of it is
// stored in the catalogue.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TASQLite3DB;

// The fields a search looks in, in the order a row's text holds them.
enum class SearchField : uint8_t { Author, Title, Genre, Publisher, Series, Location, Borrower, Note, Isbn, Count };

struct SearchHit {
    int64_t key = 0;          // the row's engine key
    std::string_view author;  // the stored bytes, valid until the index next changes
    std::string_view title;
    uint32_t fields = 0;  // bit (1 << SearchField) for each field a word was found in
};

struct SearchResult {
    std::vector<SearchHit> hits;  // at most the limit asked for, by folded author, title, key
    size_t total = 0;             // every row that matched
};

class BookSearch {
public:
    // Reads every row in one pass (a catalogue may hold no row keys: a view
    // then finds nothing).
    void Build(TASQLite3DB& db);
    bool Built() const { return built_; }
    // Forgets everything: the next search reads the catalogue anew.
    void Forget();
    // Reads these rows again by key; a key no row has any more leaves the index.
    void Reread(TASQLite3DB& db, const std::vector<int64_t>& keys);
    void Remove(const std::vector<int64_t>& keys);

    // Rows that hold every word of `query` (bytes in the catalogue's code
    // page) in any of their fields, case and accents ignored; no word, no row.
    SearchResult Find(std::string_view query, size_t limit) const;
    size_t Rows() const { return where_.size(); }

private:
    struct Entry {
        int64_t key;
        uint32_t at, size;  // the folded fields in text_, separated by kFieldEnd
        uint32_t head;      // the folded author and title, the order of the results
        bool alive;
        std::string author, title;
    };
    void Add(int64_t key, const std::vector<std::string_view>& fields);
    void Kill(int64_t key);
    void Compact();
    std::string_view Text(const Entry& e) const { return std::string_view(text_).substr(e.at, e.size); }

    std::string text_;                           // every entry's folded fields, one after another
    std::vector<Entry> entries_;                 // by `at`, ascending
    std::unordered_map<int64_t, size_t> where_;  // live entries by key
    size_t dead_ = 0;
    bool built_ = false;
};
