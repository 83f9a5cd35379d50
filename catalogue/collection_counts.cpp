#include "catalogue/collection_counts.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "catalogue/loan_history.h"
#include "catalogue/row_sink.h"
#include "storage/connection.h"

namespace {

// The row key under a name of its own: a column named "rowid" becomes no value.
constexpr const char* kTallyColumns =
    "select rowid as radek, zanr, umisteni, hodnoceni, autor, vydal, zapujcenokomu, zapujcenokdy, udaj3 "
    "from svazkovna";
// Rows read by key in one statement at most; the engine takes longer lists, the statement text grows.
constexpr size_t kKeysPerStatement = 500;

void Add(TextCounts& counts, std::string_view key, long long count) {
    if (count > 0) counts.emplace(std::string(key), count);
}

}  // namespace

CollectionCounts CountCollection(TASQLite3DB& db) {
    CollectionTally tally;
    tally.Recount(db);
    return tally.Plain();
}

CollectionTally::TextId CollectionTally::Intern(std::string_view text) {
    if (texts_.size() * 2 >= slots_.size()) {
        // Grown at half full: probes stay short.
        slots_.assign(std::max<size_t>(1024, slots_.size() * 2), 0);
        for (TextId id = 0; id < texts_.size(); ++id) {
            size_t at = hashes_[id] & (slots_.size() - 1);
            while (slots_[at] != 0) at = (at + 1) & (slots_.size() - 1);
            slots_[at] = id + 1;
        }
    }
    const size_t hash = std::hash<std::string_view>{}(text);
    size_t at = hash & (slots_.size() - 1);
    for (; slots_[at] != 0; at = (at + 1) & (slots_.size() - 1)) {
        const TextId id = slots_[at] - 1;
        if (hashes_[id] == hash && texts_[id] == text) return id;
    }
    const auto id = static_cast<TextId>(texts_.size());
    texts_.emplace_back(text);
    hashes_.push_back(hash);
    slots_[at] = id + 1;
    return id;
}

void CollectionTally::Bump(Field field, TextId id, long long by) {
    std::vector<long long>& counts = counts_[field];
    if (counts.size() <= id) counts.resize(std::max<size_t>(texts_.size(), id + 1), 0);
    counts[id] += by;
}

void CollectionTally::Apply(const RowPart& part, long long sign) {
    for (size_t f = 0; f < part.fields.size(); ++f) Bump(static_cast<Field>(f), part.fields[f], sign);
    if (part.lentSince != kNone) {
        Bump(Borrower, part.borrower, sign);
        Bump(LentSince, part.lentSince, sign);
    }
    if (part.foreign) foreign_ += sign;
    for (const auto& [borrower, span] : part.finished) {
        Bump(Borrower, borrower, sign);
        if ((spans_[span] += sign) == 0) spans_.erase(span);
    }
}

void CollectionTally::Read(TASQLite3DB& db, const std::string& sql,
                           const std::function<void(int64_t key, RowPart& part)>& each) {
    enum { Key, Zanr, Umisteni, Hodnoceni, Autor, Vydal, Komu, Kdy, History, ColumnCount };
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        int64_t key = 0;
        if (row.size() < ColumnCount ||
            std::from_chars(row[Key].text.data(), row[Key].text.data() + row[Key].text.size(), key).ec != std::errc())
            return;
        RowPart part;
        // A NULL arrives as the empty text, which is the group it counts in.
        for (int f = 0; f < 5; ++f) part.fields[static_cast<size_t>(f)] = Intern(row[Zanr + f].text);
        if (!row[Komu].text.empty() || !row[Kdy].text.empty()) {
            part.borrower = Intern(TrimmedName(row[Komu].text));  // one borrower, blanks or not
            part.lentSince = Intern(row[Kdy].text);
        }
        if (!row[History].text.empty()) {
            std::optional<std::vector<FinishedLoan>> history = DecodeLoanHistory(row[History].text);
            if (history) {
                part.finished.reserve(history->size());
                for (const FinishedLoan& loan : *history)
                    part.finished.emplace_back(Intern(TrimmedName(loan.komu)),
                                               SpanKey(Intern(loan.kdy), Intern(loan.returned)));
            } else {
                part.foreign = true;
            }
        }
        each(key, part);
    });
    db.SQLiteExecute(sql, &sink);
}

void CollectionTally::Recount(TASQLite3DB& db) {
    // Read into a tally of its own: a failed read leaves this one as it was.
    CollectionTally fresh;
    // Sized as the last count was: a catalogue grows by a few rows between two counts.
    fresh.rows_.reserve(rows_.size());
    fresh.Read(db, kTallyColumns, [&fresh](int64_t key, RowPart& part) {
        fresh.Apply(part, 1);
        fresh.rows_.insert_or_assign(key, std::move(part));
    });
    *this = std::move(fresh);
}

bool CollectionTally::Update(TASQLite3DB& db, const std::vector<int64_t>& keys) {
    const std::set<int64_t> wanted(keys.begin(), keys.end());  // a key named twice counts once
    std::unordered_map<int64_t, RowPart> now;
    std::string sql;
    for (auto it = wanted.begin(); it != wanted.end();) {
        sql.assign(kTallyColumns).append(" where rowid in (");
        for (size_t n = 0; n < kKeysPerStatement && it != wanted.end(); ++n, ++it)
            sql.append(n ? "," : "").append(std::to_string(*it));
        Read(db, sql.append(")"), [&now](int64_t key, RowPart& part) { now.insert_or_assign(key, std::move(part)); });
    }
    bool changed = false;
    for (const int64_t key : wanted) {
        const auto before = rows_.find(key);
        const auto after = now.find(key);
        if (before == rows_.end() && after == now.end()) continue;
        if (before != rows_.end() && after != now.end() && before->second == after->second) continue;
        changed = true;
        if (before != rows_.end()) {
            Apply(before->second, -1);
            rows_.erase(before);
        }
        if (after != now.end()) {
            Apply(after->second, 1);
            rows_.insert_or_assign(key, std::move(after->second));
        }
    }
    return changed;
}

CollectionCounts CollectionTally::Plain() const {
    CollectionCounts plain;
    plain.books = Books();
    plain.foreignHistories = foreign_;
    TextCounts* fields[] = {&plain.genre,     &plain.location,  &plain.rating,   &plain.author,
                            &plain.publisher, &plain.borrowers, &plain.lentSince};
    for (size_t f = 0; f < FieldCount; ++f)
        for (TextId id = 0; id < counts_[f].size(); ++id) Add(*fields[f], texts_[id], counts_[f][id]);
    for (const auto& [span, count] : spans_)
        Add(plain.finishedSpans, std::string(Text(SpanReturned(span))).append(1, '\t').append(Text(SpanLoanDate(span))),
            count);
    return plain;
}
