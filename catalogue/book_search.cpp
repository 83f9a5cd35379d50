#include "catalogue/book_search.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "catalogue/book_match.h"
#include "catalogue/row_sink.h"
#include "storage/connection.h"

namespace {

// Fields end in a byte no folded text holds, so a word never spans two of
// them; a row ends in another, so a word never spans two rows.
constexpr char kFieldEnd = '\x1f';
constexpr char kRowEnd = '\x1e';

// The row key as text under a name of its own: a column named "rowid" becomes no value.
constexpr const char* kSearchColumns =
    "select cast(rowid as text) as radek, autor, titul, zanr, vydal, serie, umisteni, zapujcenokomu, poznamka, "
    "udaj1 from svazkovna";
constexpr size_t kColumns = 1 + static_cast<size_t>(SearchField::Count);

// An ISBN is also kept as its digits alone: "80-7203-123-4" is then found as "8072031234".
std::string IsbnDigits(std::string_view isbn) {
    std::string digits;
    for (const char c : isbn)
        if ((c >= '0' && c <= '9') || c == 'x' || c == 'X') digits.push_back(c == 'X' ? 'x' : c);
    return digits;
}

}  // namespace

void BookSearch::Forget() {
    text_.clear();
    entries_.clear();
    where_.clear();
    dead_ = 0;
    built_ = false;
}

void BookSearch::Add(int64_t key, const std::vector<std::string_view>& fields) {
    const auto at = static_cast<uint32_t>(text_.size());
    uint32_t head = 0;
    for (size_t f = 0; f < fields.size(); ++f) {
        if (f == 2) head = static_cast<uint32_t>(text_.size() - at);
        if (f > 0) text_.push_back(kFieldEnd);
        text_ += match::Fold(fields[f]);
        if (f + 1 == fields.size()) {
            const std::string digits = IsbnDigits(fields[f]);
            if (digits.size() >= 10) text_.append(" ").append(digits);
        }
    }
    entries_.push_back({key, at, static_cast<uint32_t>(text_.size() - at), head, true, std::string(fields[0]),
                        std::string(fields[1])});
    text_.push_back(kRowEnd);
    where_[key] = entries_.size() - 1;
}

void BookSearch::Kill(int64_t key) {
    const auto it = where_.find(key);
    if (it == where_.end()) return;
    Entry& e = entries_[it->second];
    e.alive = false;
    e.author.clear();
    e.author.shrink_to_fit();
    e.title.clear();
    e.title.shrink_to_fit();
    where_.erase(it);
    ++dead_;
}

void BookSearch::Compact() {
    std::string text;
    text.reserve(text_.size());
    std::vector<Entry> entries;
    entries.reserve(where_.size());
    for (Entry& e : entries_) {
        if (!e.alive) continue;
        const auto at = static_cast<uint32_t>(text.size());
        text.append(Text(e)).push_back(kRowEnd);
        e.at = at;
        where_[e.key] = entries.size();
        entries.push_back(std::move(e));
    }
    text_ = std::move(text);
    entries_ = std::move(entries);
    dead_ = 0;
}

void BookSearch::Build(TASQLite3DB& db) {
    Forget();
    std::vector<std::string_view> fields(kColumns - 1);
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        int64_t key = 0;
        const std::string_view k = row.empty() ? std::string_view() : row[0].text;
        // A view in the table's place has no row keys: its rows cannot be shown, so they are not found.
        if (row.size() < kColumns || std::from_chars(k.data(), k.data() + k.size(), key).ec != std::errc()) return;
        for (size_t f = 1; f < kColumns; ++f) fields[f - 1] = row[f].text;
        Add(key, fields);
    });
    db.SQLiteExecute(kSearchColumns, &sink);
    built_ = true;
}

void BookSearch::Remove(const std::vector<int64_t>& keys) {
    for (const int64_t key : keys) Kill(key);
    if (dead_ > 1024 && dead_ > where_.size()) Compact();
}

void BookSearch::Reread(TASQLite3DB& db, const std::vector<int64_t>& keys) {
    if (!built_ || keys.empty()) return;
    Remove(keys);
    std::string sql = std::string(kSearchColumns) + " where rowid in (";
    for (size_t i = 0; i < keys.size(); ++i) sql.append(i ? "," : "").append(std::to_string(keys[i]));
    sql.append(")");
    std::vector<std::string_view> fields(kColumns - 1);
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        int64_t key = 0;
        if (row.size() < kColumns ||
            std::from_chars(row[0].text.data(), row[0].text.data() + row[0].text.size(), key).ec != std::errc())
            return;
        for (size_t f = 1; f < kColumns; ++f) fields[f - 1] = row[f].text;
        Kill(key);  // a key asked for twice is read once
        Add(key, fields);
    });
    db.SQLiteExecute(sql, &sink);
}

SearchResult BookSearch::Find(std::string_view query, size_t limit) const {
    SearchResult result;
    const std::string folded = match::Fold(query);
    std::vector<std::string_view> words = match::Words(folded);
    if (words.empty() || where_.empty()) return result;
    // The longest word is looked for through the whole buffer (it is the
    // rarest, as a rule), the others only in the rows that hold it.
    std::stable_sort(words.begin(), words.end(),
                     [](std::string_view a, std::string_view b) { return a.size() > b.size(); });
    const std::string_view first = words.front();

    std::vector<size_t> matched;
    const char* base = text_.data();
    size_t pos = 0;
    while (pos < text_.size()) {
        const void* found = memmem(base + pos, text_.size() - pos, first.data(), first.size());
        if (!found) break;
        const auto at = static_cast<size_t>(static_cast<const char*>(found) - base);
        const auto it =
            std::upper_bound(entries_.begin(), entries_.end(), at, [](size_t a, const Entry& e) { return a < e.at; });
        const auto i = static_cast<size_t>(it - entries_.begin()) - 1;
        const Entry& e = entries_[i];
        pos = e.at + e.size + 1;  // one look a row
        if (!e.alive) continue;
        const std::string_view row = Text(e);
        if (std::all_of(words.begin() + 1, words.end(),
                        [&](std::string_view w) { return row.find(w) != std::string_view::npos; }))
            matched.push_back(i);
    }
    result.total = matched.size();

    const auto before = [this](size_t a, size_t b) {
        const Entry& x = entries_[a];
        const Entry& y = entries_[b];
        const int c = Text(x).substr(0, x.head).compare(Text(y).substr(0, y.head));
        return c != 0 ? c < 0 : x.key < y.key;
    };
    const size_t shown = std::min(limit, matched.size());
    std::partial_sort(matched.begin(), matched.begin() + static_cast<std::ptrdiff_t>(shown), matched.end(), before);
    result.hits.reserve(shown);
    for (size_t n = 0; n < shown; ++n) {
        const Entry& e = entries_[matched[n]];
        const std::string_view row = Text(e);
        SearchHit hit{e.key, e.author, e.title, 0};
        for (const std::string_view w : words)
            for (size_t at = row.find(w); at != std::string_view::npos; at = row.find(w, at + 1))
                hit.fields |= 1u << std::count(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(at), kFieldEnd);
        result.hits.push_back(hit);
    }
    return result;
}
