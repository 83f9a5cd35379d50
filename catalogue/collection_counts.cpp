#include "catalogue/collection_counts.h"

#include "catalogue/loan_history.h"
#include "catalogue/row_sink.h"
#include "storage/connection.h"

namespace {

void Count(TextCounts& counts, std::string_view key) {
    if (auto it = counts.find(key); it != counts.end())
        ++it->second;
    else
        counts.emplace(std::string(key), 1);
}

}  // namespace

CollectionCounts CountCollection(TASQLite3DB& db) {
    enum { Genre, Location, Rating, Author, Publisher, Komu, Kdy, History, ColumnCount };
    CollectionCounts counts;
    std::string span;  // reused: a look-up of a known key allocates nothing
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        if (row.size() < ColumnCount) return;
        ++counts.books;
        // A NULL arrives as the empty text, which is the group it counts in.
        Count(counts.genre, row[Genre].text);
        Count(counts.location, row[Location].text);
        Count(counts.rating, row[Rating].text);
        Count(counts.author, row[Author].text);
        Count(counts.publisher, row[Publisher].text);
        if (!row[Komu].text.empty() || !row[Kdy].text.empty()) {
            Count(counts.borrowers, TrimmedName(row[Komu].text));  // one borrower, blanks or not
            Count(counts.lentSince, row[Kdy].text);
        }
        if (row[History].text.empty()) return;
        std::optional<std::vector<FinishedLoan>> history = DecodeLoanHistory(row[History].text);
        if (!history) {
            ++counts.foreignHistories;
            return;
        }
        for (const FinishedLoan& loan : *history) {
            Count(counts.borrowers, TrimmedName(loan.komu));
            span.assign(loan.returned).append(1, '\t').append(loan.kdy);
            Count(counts.finishedSpans, span);
        }
    });
    db.SQLiteExecute(
        "select zanr, umisteni, hodnoceni, autor, vydal, zapujcenokomu, zapujcenokdy, udaj3 from svazkovna", &sink);
    return counts;
}
