#include "catalogue/collection_counts.h"

#include "catalogue/loan_history.h"
#include "catalogue/row_sink.h"
#include "storage/connection.h"

namespace {

void Count(TextCounts& counts, const ColumnValue& value) {
    const std::string_view key = value.isNull ? std::string_view() : value.text;
    if (auto it = counts.find(key); it != counts.end())
        ++it->second;
    else
        counts.emplace(std::string(key), 1);
}

}  // namespace

CollectionCounts CountCollection(TASQLite3DB& db) {
    enum { Genre, Location, Rating, Author, Publisher, Komu, Kdy, History, ColumnCount };
    CollectionCounts counts;
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        if (row.size() < ColumnCount) return;
        ++counts.books;
        Count(counts.genre, row[Genre]);
        Count(counts.location, row[Location]);
        Count(counts.rating, row[Rating]);
        Count(counts.author, row[Author]);
        Count(counts.publisher, row[Publisher]);
        if (!row[Komu].text.empty() || !row[Kdy].text.empty())
            counts.loans.push_back({std::string(row[Komu].text), std::string(row[Kdy].text), std::nullopt});
        if (row[History].text.empty()) return;
        std::optional<std::vector<FinishedLoan>> history = DecodeLoanHistory(row[History].text);
        if (!history) {
            ++counts.foreignHistories;
            return;
        }
        for (FinishedLoan& loan : *history)
            counts.loans.push_back({std::move(loan.komu), std::move(loan.kdy), std::move(loan.returned)});
    });
    db.SQLiteExecute(
        "select zanr, umisteni, hodnoceni, autor, vydal, zapujcenokomu, zapujcenokdy, udaj3 from svazkovna", &sink);
    return counts;
}
