#pragma once
// The figures of the whole collection gathered in one pass over the rows:
// books per genre, location, rating, author and publisher, and the loans,
// current or finished (from the history in `udaj3`), counted by what the
// statistics read of them. Texts are the stored
// 8-bit bytes; a NULL counts as the empty text.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
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
    // return day holds no tab).
    TextCounts finishedSpans;
    long long foreignHistories = 0;  // rows whose `udaj3` holds text of another form
    bool operator==(const CollectionCounts&) const = default;
};

CollectionCounts CountCollection(TASQLite3DB& db);

// The same counts, kept up to date row by row. Each distinct text is stored
// once under a number, so a pass hashes bytes and compares no strings twice;
// every row's part in the counts is kept under its row key, so a change of a
// few rows takes out what they counted and adds what they hold now, reading
// those rows alone.
class CollectionTally {
public:
    using TextId = uint32_t;
    // A text's count in one field; four bytes, as every text has one in each field.
    using Count = int32_t;
    enum Field { Genre, Location, Rating, Author, Publisher, Borrower, LentSince, FieldCount };

    // A catalogue with a span of row keys this wide or wider is read in two
    // halves at once, on the connection and on one of its own; a smaller one,
    // or one that cannot be read so, in one pass.
    static constexpr int64_t kTwoReadsFrom = 8192;

    // Every row read anew, as one snapshot of the catalogue. Returns how many
    // connections read rows: 2 when the halves were read at once.
    int Recount(TASQLite3DB& db, int64_t twoReadsFrom = kTwoReadsFrom);
    // The rows with these keys read anew; a key no row has any longer counts
    // nothing. False when no count changed (a note was edited, say).
    bool Update(TASQLite3DB& db, const std::vector<int64_t>& keys);

    long long Books() const { return static_cast<long long>(parts_.size()); }
    long long ForeignHistories() const { return foreign_; }
    std::string_view Text(TextId id) const {
        const uint32_t begin = id == 0 ? 0 : ends_[id - 1];
        return {bytes_.data() + begin, ends_[id] - begin};
    }
    size_t TextCount() const { return ends_.size(); }
    // How many books (loans for the borrowers and loan dates) each text
    // counts, by its number; 0 for a text of another field or none left.
    const std::vector<Count>& Counts(Field field) const { return counts_[field]; }
    // Each(loan date as typed, return day) for every finished loan: they are
    // counted by what their dates say, which only the reader of dates knows.
    template <class Each>
    void ForEachFinishedLoan(const Each& each) const {
        for (const RowPart& part : parts_)
            for (const Line* line = &lines_[part.firstLine]; line != &lines_[part.firstLine] + part.lineCount; ++line)
                each(line->kdy, line->returned);
    }

    // The counts keyed by the texts themselves.
    CollectionCounts Plain() const;

private:
    static constexpr TextId kNone = 0xFFFFFFFFu;
    struct Line {
        TextId borrower;
        TextId kdy;
        TextId returned;
        bool operator==(const Line&) const = default;
    };
    // A row's part, kept flat by the row's place in the last read: a full
    // read of a large catalogue allocates nothing per row.
    struct RowPart {
        std::array<TextId, 5> fields{};  // genre, location, rating, author, publisher
        TextId borrower = kNone;         // with a current loan
        TextId lentSince = kNone;
        uint32_t firstLine = 0;  // its finished loans in lines_
        // 36 bytes a row, not 40: a first count touches every byte of them.
        uint32_t lineCount : 31 = 0;
        uint32_t foreign : 1 = 0;  // udaj3 holds text of another form
    };

    TextId Intern(std::string_view text);
    // Each row's finished loans are appended to `lines`, the part pointing at them.
    template <class Each>
    void Read(TASQLite3DB& db, const std::string& sql, std::vector<Line>& lines, const Each& each);
    void Apply(const RowPart& part, const Line* lines, Count sign);
    // Room for a count of about this many rows, texts, finished loans and text bytes.
    void Reserve(size_t rows, size_t texts, size_t lines, size_t bytes);
    // The rows `where` selects ("" for all) read and counted into this tally.
    void ReadRows(TASQLite3DB& db, const std::string& where);
    // The connections that read (see Recount), or 0 when the catalogue cannot
    // be read in two; this tally then holds nothing new.
    int ReadInTwo(TASQLite3DB& db, int64_t twoReadsFrom, size_t rows);
    // The counts of rows read after this tally's own, with texts numbered apart.
    void Append(const CollectionTally& later);
    void Bump(Field field, TextId id, Count by) { counts_[field][id] += by; }
    void Index();

    // The distinct texts end to end, each ending where ends_ says.
    std::string bytes_;
    std::vector<uint32_t> ends_;
    // Open addressing: a text's 32-bit hash above its number + 1, 0 for a free slot.
    std::vector<uint64_t> slots_;
    std::array<std::vector<Count>, FieldCount> counts_;
    std::vector<int64_t> keys_;
    std::vector<RowPart> parts_;
    std::vector<Line> lines_;
    size_t deadLines_ = 0;  // lines_ no part points at any longer
    // A row key's place, made on the first Update: a full read needs none.
    std::unordered_map<int64_t, uint32_t> places_;
    bool indexed_ = false;
    long long foreign_ = 0;
};
