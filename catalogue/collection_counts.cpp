#include "catalogue/collection_counts.h"

#include <algorithm>
#include <deque>
#include <set>
#include <thread>

#include "catalogue/backup_store.h"
#include "catalogue/in_transaction.h"
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

// The highest row key, at most a million: an upper bound of the rows in a
// catalogue numbered as the program numbers, read without a pass.
size_t HighestRowKey(TASQLite3DB& db) {
    int64_t highest = 0;
    RowSink sink([&](const std::vector<ColumnValue>& row) { highest = row.empty() ? 0 : row[0].integer; }, {0});
    db.SQLiteExecute("select max(rowid) from svazkovna", &sink);
    return static_cast<size_t>(std::clamp<int64_t>(highest, 0, int64_t{1} << 20));
}

// The lowest and highest row keys, each found without a pass (0 and 0 for no row).
std::pair<int64_t, int64_t> RowKeyRange(TASQLite3DB& db) {
    std::pair<int64_t, int64_t> range;
    RowSink sink([&](const std::vector<ColumnValue>& row) { range = {row[0].integer, row[1].integer}; }, {0, 1});
    db.SQLiteExecute("select (select min(rowid) from svazkovna), (select max(rowid) from svazkovna)", &sink);
    return range;
}

// "wal" for a catalogue in WAL mode (the engine answers in lower case).
std::string JournalMode(TASQLite3DB& db) {
    std::string mode;
    RowSink sink([&](const std::vector<ColumnValue>& row) {
        if (!row.empty()) mode = row[0].text;
    });
    db.SQLiteExecute("pragma journal_mode", &sink);
    return mode;
}

}  // namespace

CollectionCounts CountCollection(TASQLite3DB& db) {
    CollectionTally tally;
    tally.Recount(db);
    return tally.Plain();
}

CollectionTally::TextId CollectionTally::Intern(std::string_view text) {
    if (ends_.size() * 2 >= slots_.size()) {
        // Grown at half full: probes stay short. Each slot holds its text's hash.
        std::vector<uint64_t> slots(std::max<size_t>(1024, slots_.size() * 2), 0);
        for (const uint64_t slot : slots_) {
            if (slot == 0) continue;
            size_t at = (slot >> 32) & (slots.size() - 1);
            while (slots[at] != 0) at = (at + 1) & (slots.size() - 1);
            slots[at] = slot;
        }
        slots_ = std::move(slots);
    }
    const size_t full = std::hash<std::string_view>{}(text);
    const auto hash = static_cast<uint32_t>(full ^ (full >> 32));
    const size_t mask = slots_.size() - 1;
    size_t at = hash & mask;
    for (; slots_[at] != 0; at = (at + 1) & mask) {
        const uint64_t slot = slots_[at];
        if ((slot >> 32) != hash) continue;
        const auto id = static_cast<TextId>((slot & 0xFFFFFFFFu) - 1);
        if (Text(id) == text) return id;
    }
    const auto id = static_cast<TextId>(ends_.size());
    bytes_.append(text);
    ends_.push_back(static_cast<uint32_t>(bytes_.size()));
    for (std::vector<Count>& counts : counts_) counts.push_back(0);
    slots_[at] = (uint64_t{hash} << 32) | (id + 1);
    return id;
}

void CollectionTally::Apply(const RowPart& part, const Line* lines, Count sign) {
    for (size_t f = 0; f < part.fields.size(); ++f) Bump(static_cast<Field>(f), part.fields[f], sign);
    if (part.lentSince != kNone) {
        Bump(Borrower, part.borrower, sign);
        Bump(LentSince, part.lentSince, sign);
    }
    if (part.foreign) foreign_ += sign;
    for (const Line* line = lines + part.firstLine; line != lines + part.firstLine + part.lineCount; ++line) {
        Bump(Borrower, line->borrower, sign);
    }
}

template <class Each>
void CollectionTally::Read(TASQLite3DB& db, const std::string& sql, std::vector<Line>& lines, const Each& each) {
    enum { Key, Zanr, Umisteni, Hodnoceni, Autor, Vydal, Komu, Kdy, History, ColumnCount };
    // Most fields of a large catalogue are empty: they are numbered without hashing.
    const TextId empty = Intern({});
    const auto intern = [&](std::string_view text) { return text.empty() ? empty : Intern(text); };
    // Books are entered in runs of one genre, place or publisher: a text like
    // the row's before in its column is numbered without hashing.
    std::array<TextId, 5> last;
    last.fill(empty);
    const auto internField = [&](size_t f, std::string_view text) {
        if (text.size() != Text(last[f]).size() || text != Text(last[f])) last[f] = intern(text);
        return last[f];
    };
    std::vector<LoanLineView> loans;
    std::deque<std::string> unescaped;
    const auto each_row = [&](const std::vector<ColumnValue>& row) {
        if (row.size() < ColumnCount) return;
        const int64_t key = row[Key].integer;
        RowPart part;
        // A NULL arrives as the empty text, which is the group it counts in.
        for (int f = 0; f < 5; ++f)
            part.fields[static_cast<size_t>(f)] = internField(static_cast<size_t>(f), row[Zanr + f].text);
        if (!row[Komu].text.empty() || !row[Kdy].text.empty()) {
            part.borrower = intern(TrimmedName(row[Komu].text));  // one borrower, blanks or not
            part.lentSince = intern(row[Kdy].text);
        }
        part.firstLine = static_cast<uint32_t>(lines.size());
        if (!row[History].text.empty()) {
            if (ViewLoanHistory(row[History].text, loans, unescaped)) {
                for (const LoanLineView& loan : loans)
                    lines.push_back({intern(TrimmedName(loan.komu)), intern(loan.kdy), intern(loan.returned)});
                part.lineCount = static_cast<uint32_t>(lines.size() - part.firstLine);
            } else {
                part.foreign = 1;
            }
        }
        each(key, part);
    };
    RowSink sink(each_row, {Key});
    db.SQLiteExecute(sql, &sink);
}

void CollectionTally::Reserve(size_t rows, size_t texts, size_t lines, size_t bytes) {
    keys_.reserve(rows);
    parts_.reserve(rows);
    lines_.reserve(lines);
    bytes_.reserve(bytes);
    ends_.reserve(texts);
    for (std::vector<Count>& counts : counts_) counts.reserve(texts);
}

void CollectionTally::ReadRows(TASQLite3DB& db, const std::string& where) {
    Read(db, kTallyColumns + where, lines_, [this](int64_t key, RowPart& part) {
        Apply(part, lines_.data(), 1);
        keys_.push_back(key);
        parts_.push_back(part);
    });
}

void CollectionTally::Append(const CollectionTally& later) {
    std::vector<TextId> to(later.ends_.size());
    for (TextId id = 0; id < to.size(); ++id) to[id] = Intern(later.Text(id));
    for (size_t f = 0; f < FieldCount; ++f)
        for (TextId id = 0; id < later.counts_[f].size(); ++id) counts_[f][to[id]] += later.counts_[f][id];
    const auto firstLine = static_cast<uint32_t>(lines_.size());
    for (const Line& line : later.lines_) lines_.push_back({to[line.borrower], to[line.kdy], to[line.returned]});
    const auto moved = [&to](TextId id) { return id == kNone ? kNone : to[id]; };
    for (RowPart part : later.parts_) {
        for (TextId& id : part.fields) id = to[id];
        part.borrower = moved(part.borrower);
        part.lentSince = moved(part.lentSince);
        part.firstLine += firstLine;
        parts_.push_back(part);
    }
    keys_.insert(keys_.end(), later.keys_.begin(), later.keys_.end());
    deadLines_ += later.deadLines_;
    foreign_ += later.foreign_;
}

int CollectionTally::ReadInTwo(TASQLite3DB& db, int64_t twoReadsFrom, size_t rows) {
    const OptionalEngineApi& api = db.OptionalApi();
    // Inside a transaction the connection may hold changes of its own that no
    // other connection sees yet.
    if (!db.Handle() || !api.get_autocommit || api.get_autocommit(db.Handle()) == 0) return 0;
    // A library built for one thread shares its file locks between connections unguarded.
    if (!api.threadsafe || api.threadsafe() == 0) return 0;
    // The readers of a WAL catalogue do not hold its writers back, so two
    // reads could see two states of it; an in-memory one has no file to share.
    const std::string path = OpenCataloguePath(db);
    if (path.empty() || JournalMode(db) == "wal") return 0;
    const std::string library = db.DriverDLL();

    // While this connection holds its read lock no writer can commit, so the
    // second connection, locking before this one lets go, reads the same state.
    int connections = 1;
    InTransaction(db, [&] {
        const auto [low, high] = RowKeyRange(db);  // takes the lock
        const uint64_t span = static_cast<uint64_t>(high) - static_cast<uint64_t>(low);
        if (twoReadsFrom < 0 || span < static_cast<uint64_t>(twoReadsFrom)) {
            ReadRows(db, {});
            return;
        }
        // Split by keys, not rows: an even split of a catalogue numbered as the
        // program numbers, a mere loss of time for one numbered oddly.
        const auto middle = static_cast<int64_t>(static_cast<uint64_t>(low) + span / 2);
        const std::string upperRows = " where rowid > " + std::to_string(middle);
        CollectionTally upper;
        upper.Reserve(rows / 2, ends_.capacity() / 2, lines_.capacity() / 2, bytes_.capacity() / 2);
        bool upperRead = false;
        {
            std::jthread second([&] {
                try {
                    TASQLite3DB other;
                    other.SetDriverDLL(library);
                    // A writer waiting for this connection's lock holds the second
                    // one off: it does not wait, this connection reads that half.
                    other.BusyTimeout = std::chrono::milliseconds(0);
                    other.SetMustExist(true);
                    other.SetDatabase(path);
                    other.SetConnected(true);
                    if (!other.Connected()) return;
                    upper.ReadRows(other, upperRows);
                    upperRead = true;
                } catch (...) {
                    // Whatever failed there, the half is read here.
                }
            });
            ReadRows(db, " where rowid <= " + std::to_string(middle));
        }  // joined here, also when the read above fails
        if (!upperRead) {
            ReadRows(db, upperRows);
            return;
        }
        Append(upper);
        connections = 2;
    });
    return connections;
}

int CollectionTally::Recount(TASQLite3DB& db, int64_t twoReadsFrom) {
    // Read into a tally of its own: a failed read leaves this one as it was.
    CollectionTally fresh;
    // Sized as the last count was, a catalogue grows by a few rows between two
    // counts; the first count takes the highest row key for the number of rows.
    // Growing by copies would touch twice the memory, and on a virtual machine
    // each first touch of a page costs more than reading a row; room reserved
    // and not used is never touched.
    const size_t rows = keys_.empty() ? HighestRowKey(db) : keys_.size();
    const size_t texts = ends_.empty() ? rows / 2 : ends_.size();
    fresh.Reserve(rows, texts, lines_.empty() ? rows : lines_.size() - deadLines_,
                  bytes_.empty() ? texts * 16 : bytes_.size());
    int connections = fresh.ReadInTwo(db, twoReadsFrom, rows);
    if (connections == 0) {
        fresh.ReadRows(db, {});
        connections = 1;
    }
    *this = std::move(fresh);
    return connections;
}

void CollectionTally::Index() {
    if (indexed_) return;
    places_.reserve(keys_.size());
    for (uint32_t at = 0; at < keys_.size(); ++at) places_.emplace(keys_[at], at);
    indexed_ = true;
}

bool CollectionTally::Update(TASQLite3DB& db, const std::vector<int64_t>& keys) {
    const std::set<int64_t> wanted(keys.begin(), keys.end());  // a key named twice counts once
    std::unordered_map<int64_t, RowPart> now;
    std::vector<Line> read;
    std::string sql;
    for (auto it = wanted.begin(); it != wanted.end();) {
        sql.assign(kTallyColumns).append(" where rowid in (");
        for (size_t n = 0; n < kKeysPerStatement && it != wanted.end(); ++n, ++it)
            sql.append(n ? "," : "").append(std::to_string(*it));
        Read(db, sql.append(")"), read, [&now](int64_t key, RowPart& part) { now.insert_or_assign(key, part); });
    }
    Index();
    const auto same = [&](const RowPart& kept, const RowPart& fresh) {
        return kept.fields == fresh.fields && kept.borrower == fresh.borrower && kept.lentSince == fresh.lentSince &&
               kept.foreign == fresh.foreign && kept.lineCount == fresh.lineCount &&
               std::equal(lines_.begin() + kept.firstLine, lines_.begin() + kept.firstLine + kept.lineCount,
                          read.begin() + fresh.firstLine);
    };
    bool changed = false;
    for (const int64_t key : wanted) {
        const auto place = places_.find(key);
        const auto after = now.find(key);
        if (place == places_.end() && after == now.end()) continue;
        if (place != places_.end() && after != now.end() && same(parts_[place->second], after->second)) continue;
        changed = true;
        if (place != places_.end()) {
            const uint32_t at = place->second;
            Apply(parts_[at], lines_.data(), -1);
            deadLines_ += parts_[at].lineCount;
            if (after == now.end()) {
                // Gone: the last row takes its place.
                if (at + 1 != parts_.size()) {
                    parts_[at] = parts_.back();
                    keys_[at] = keys_.back();
                    places_[keys_[at]] = at;
                }
                parts_.pop_back();
                keys_.pop_back();
                places_.erase(key);
                continue;
            }
        }
        RowPart part = after->second;
        part.firstLine = static_cast<uint32_t>(lines_.size());
        lines_.insert(lines_.end(), read.begin() + after->second.firstLine,
                      read.begin() + after->second.firstLine + part.lineCount);
        Apply(part, lines_.data(), 1);
        if (place != places_.end()) {
            parts_[place->second] = part;
        } else {
            places_.emplace(key, static_cast<uint32_t>(parts_.size()));
            keys_.push_back(key);
            parts_.push_back(part);
        }
    }
    if (deadLines_ > 1024 && deadLines_ * 2 > lines_.size()) {
        // Lines of replaced parts are dropped once they are half of all.
        std::vector<Line> kept;
        kept.reserve(lines_.size() - deadLines_);
        for (RowPart& part : parts_) {
            const auto first = static_cast<uint32_t>(kept.size());
            kept.insert(kept.end(), lines_.begin() + part.firstLine, lines_.begin() + part.firstLine + part.lineCount);
            part.firstLine = first;
        }
        lines_ = std::move(kept);
        deadLines_ = 0;
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
        for (TextId id = 0; id < counts_[f].size(); ++id) Add(*fields[f], Text(id), counts_[f][id]);
    ForEachFinishedLoan([&](TextId kdy, TextId returned) {
        ++plain.finishedSpans[std::string(Text(returned)).append(1, '\t').append(Text(kdy))];
    });
    return plain;
}
