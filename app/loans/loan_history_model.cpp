#include "app/loans/loan_history_model.h"

#include <QCollatorSortKey>
#include <QFont>
#include <algorithm>
#include <numeric>

#include "app/core/codepage.h"
#include "app/core/collation.h"
#include "app/core/loan_date.h"
#include "catalogue/loan_history.h"

namespace {

int JulianDay(const QDate& date) { return date.isValid() ? static_cast<int>(date.toJulianDay()) : 0; }

// The Julian day of a return written d.m.yyyy, read from its bytes; 0 when it is no day.
int ReturnDay(std::string_view text) {
    int parts[3] = {0, 0, 0};
    size_t part = 0;
    for (const char c : text) {
        if (c == '.' && part < 2)
            ++part;
        else if (c >= '0' && c <= '9' && parts[part] < 10000)
            parts[part] = parts[part] * 10 + (c - '0');
        else
            return 0;
    }
    return part == 2 ? JulianDay(QDate(parts[2], parts[1], parts[0])) : 0;
}

// Czech order of texts as ranks: equal texts share one.
std::vector<int> CzechRanks(const std::vector<QString>& texts) {
    const LocaleOrder order;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(texts.size());
    for (const QString& text : texts) keys.push_back(order.SortKey(text));
    std::vector<int> sorted(texts.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    std::stable_sort(sorted.begin(), sorted.end(), [&](int a, int b) {
        return keys[static_cast<size_t>(a)].compare(keys[static_cast<size_t>(b)]) < 0;
    });
    std::vector<int> ranks(texts.size(), 0);
    for (size_t i = 1; i < sorted.size(); ++i) {
        const auto a = static_cast<size_t>(sorted[i - 1]), b = static_cast<size_t>(sorted[i]);
        ranks[b] = keys[a].compare(keys[b]) == 0 ? ranks[a] : static_cast<int>(i);
    }
    return ranks;
}

}  // namespace

const QString& LoanHistoryModel::Pool::Text(int id) const {
    const auto at = static_cast<size_t>(id);
    if (at >= decoded.size()) {
        decoded.resize(Size(), 0);
        texts.resize(Size());
    }
    if (!decoded[at]) {
        const std::string_view bytes = ids.Bytes(id);
        texts[at] =
            codePage ? FromCodePage(bytes) : QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
        decoded[at] = 1;
    }
    return texts[at];
}

void LoanHistoryModel::Pool::Clear() {
    ids.Clear();
    texts.clear();
    decoded.clear();
    folded.clear();
    ranks.clear();
}

void LoanHistoryModel::Pool::Fold() {
    if (folded.size() == Size()) return;
    folded.clear();
    folded.reserve(Size());
    for (size_t id = 0; id < Size(); ++id) folded.push_back(WithoutCaseAndAccents(Text(static_cast<int>(id))));
}

void LoanHistoryModel::Pool::Rank() {
    if (ranks.size() == Size()) return;
    for (size_t id = 0; id < Size(); ++id) Text(static_cast<int>(id));
    ranks = CzechRanks(texts);
}

LoanHistoryModel::LoanHistoryModel(QObject* parent) : QAbstractItemModel(parent) {
    pools_[Vraceno].codePage = pools_[Dni].codePage = false;
}

LoanHistoryModel::~LoanHistoryModel() = default;

QStringList LoanHistoryModel::ColumnTitles() {
    return {QStringLiteral("vypůjčitel"), QStringLiteral("půjčeno"), QStringLiteral("vráceno"),
            QStringLiteral("dní"),        QStringLiteral("autor"),   QStringLiteral("titul")};
}

QString LoanHistoryModel::BookKey(int book) const {
    const auto [autor, titul] = books_[static_cast<size_t>(book)];
    return Text(Autor, autor) + QStringLiteral(": ") + Text(Titul, titul);
}

void LoanHistoryModel::Load(const std::vector<BookHistory>& books, const QDate& today) {
    Load(
        [&books](const LoanBookVisitor& visit) {
            std::vector<LoanLineView> lines;
            for (const BookHistory& book : books) {
                lines.clear();
                for (const FinishedLoan& loan : book.loans) lines.push_back({loan.komu, loan.kdy, loan.returned});
                visit(book.rowKey, book.autor, book.titul, lines);
            }
        },
        today);
}

void LoanHistoryModel::Load(const std::function<void(const LoanBookVisitor&)>& read, const QDate& today) {
    beginResetModel();
    for (Pool& pool : pools_) pool.Clear();
    entries_.clear();
    books_.clear();
    bookKeys_.clear();
    // While the catalogue streams past, each book's texts are only copied end
    // to end (author, title, then borrower, date and return of each line); they
    // are numbered afterwards, when the rows no longer push the pools out of the cache.
    std::string bytes;
    std::vector<size_t> ends{0};
    std::vector<std::pair<int64_t, size_t>> staged;  // row key and number of lines of each book
    read([&](int64_t rowKey, std::string_view autor, std::string_view titul, const std::vector<LoanLineView>& lines) {
        const auto keep = [&](std::string_view text) {
            bytes.append(text);
            ends.push_back(bytes.size());
        };
        keep(autor);
        keep(titul);
        for (const LoanLineView& line : lines) {
            keep(line.komu);
            keep(line.kdy);
            keep(line.returned);
        }
        staged.emplace_back(rowKey, lines.size());
    });
    size_t next = 0;
    const auto text = [&] {
        ++next;
        return std::string_view(bytes).substr(ends[next - 1], ends[next] - ends[next - 1]);
    };
    // Catalogues repeat loan and return dates: each distinct text is read once,
    // by its id in the pool; the days out are numbers, named once each.
    std::vector<std::pair<int, int>> loanDays;  // first day meant, the day when it names one
    std::vector<int> returnDays;
    std::vector<int> dayIds;  // the id of each number of days out, -1 before it is met
    const int noDays = Intern(Dni, {});
    entries_.reserve(ends.size() / 3);
    for (const auto& [rowKey, lines] : staged) {
        const int bookIndex = static_cast<int>(books_.size());
        const int autor = Intern(Autor, text());
        const int titul = pools_[Titul].ids.Add(text());  // titles seldom repeat
        books_.emplace_back(autor, titul);
        for (size_t line = 0; line < lines; ++line) {
            Entry& entry = entries_.emplace_back();
            entry.text[Komu] = Intern(Komu, text());
            entry.text[Od] = Intern(Od, text());
            entry.text[Vraceno] = Intern(Vraceno, text());
            entry.text[Autor] = autor;
            entry.text[Titul] = titul;
            if (static_cast<size_t>(entry.text[Od]) == loanDays.size()) {
                const LoanDate date = ReadLoanDate(Text(Od, entry.text[Od]), today);
                loanDays.emplace_back(date.Known() ? JulianDay(date.first) : 0,
                                      date.precision == LoanDate::Precision::Day ? JulianDay(date.first) : 0);
            }
            if (static_cast<size_t>(entry.text[Vraceno]) == returnDays.size())
                returnDays.push_back(ReturnDay(pools_[Vraceno].ids.Bytes(entry.text[Vraceno])));
            const auto [begun, from] = loanDays[static_cast<size_t>(entry.text[Od])];
            entry.begun = begun;
            entry.returned = returnDays[static_cast<size_t>(entry.text[Vraceno])];
            entry.text[Dni] = noDays;
            if (from != 0 && entry.returned != 0 && from <= entry.returned) {
                entry.days = entry.returned - from;
                const auto days = static_cast<size_t>(entry.days);
                if (days >= dayIds.size()) dayIds.resize(days + 1, -1);
                if (dayIds[days] < 0) dayIds[days] = Intern(Dni, std::to_string(entry.days));
                entry.text[Dni] = dayIds[days];
            }
            entry.book = bookIndex;
            entry.origin = {rowKey, static_cast<int>(line)};
        }
    }
    Match();
    Order();
    MakeGroups();
    Lay();
    endResetModel();
}

void LoanHistoryModel::SetFilter(const QString& text) {
    const QString wanted = WithoutCaseAndAccents(text.trimmed());
    if (wanted == wanted_) return;
    beginResetModel();
    wanted_ = wanted;
    Match();
    Lay();
    endResetModel();
}

void LoanHistoryModel::SetGrouping(Grouping grouping) {
    if (grouping == grouping_) return;
    beginResetModel();
    grouping_ = grouping;
    MakeGroups();
    Lay();
    endResetModel();
}

void LoanHistoryModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount) return;
    beginResetModel();
    sortColumn_ = column;
    sortOrder_ = order;
    Order();
    Lay();
    endResetModel();
}

// Texts sort in Czech order, dates and days by value (an unknown date last);
// equal ones keep reading order, the whole reversed when descending.
void LoanHistoryModel::Order() {
    const auto column = static_cast<size_t>(sortColumn_);
    const bool text = sortColumn_ == Komu || sortColumn_ == Autor || sortColumn_ == Titul;
    if (text) pools_[column].Rank();
    std::vector<uint32_t> keys(entries_.size());
    constexpr uint32_t kLast = 0xFFFFFFFFu;
    uint32_t low = kLast, high = 0;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        uint32_t key = 0;
        switch (sortColumn_) {
        case Od: key = e.begun != 0 ? static_cast<uint32_t>(e.begun) : kLast; break;
        case Vraceno: key = e.returned != 0 ? static_cast<uint32_t>(e.returned) : kLast; break;
        case Dni: key = static_cast<uint32_t>(e.days + 1); break;
        default: key = static_cast<uint32_t>(pools_[column].ranks[static_cast<size_t>(e.text[column])]);
        }
        keys[i] = key;
        if (key != kLast) {
            low = std::min(low, key);
            high = std::max(high, key);
        }
    }
    order_.resize(entries_.size());
    if (low <= high && high - low <= 4 * entries_.size() + 4096) {
        // Days of a few decades, ranks of texts: few distinct keys, counted into
        // place in reading order, unknown ones last.
        const uint32_t last = high - low + 1;
        std::vector<int> starts(last + 2, 0);
        for (uint32_t& key : keys) {
            key = key == kLast ? last : key - low;
            ++starts[key + 1];
        }
        std::partial_sum(starts.begin(), starts.end(), starts.begin());
        for (size_t i = 0; i < keys.size(); ++i) order_[static_cast<size_t>(starts[keys[i]]++)] = static_cast<int>(i);
    } else {
        // The key above the entry's number: one plain sort keeps equal keys in reading order.
        std::vector<uint64_t> keyed(entries_.size());
        for (size_t i = 0; i < keys.size(); ++i) keyed[i] = static_cast<uint64_t>(keys[i]) << 32 | i;
        std::sort(keyed.begin(), keyed.end());
        for (size_t i = 0; i < keyed.size(); ++i) order_[i] = static_cast<int>(keyed[i] & 0xFFFFFFFFu);
    }
    if (sortOrder_ == Qt::DescendingOrder) std::reverse(order_.begin(), order_.end());
}

// One group per borrower whatever the blanks around the name, or per book
// ("autor: titul"); groups in Czech name order.
void LoanHistoryModel::MakeGroups() {
    groups_.clear();
    entryGroup_.assign(entries_.size(), 0);
    if (grouping_ == NoGroups) return;
    std::unordered_map<QString, int> byKey;
    std::vector<int> ofSource;  // group of each borrower text or each book
    const size_t sources = grouping_ == ByBorrower ? pools_[Komu].Size() : books_.size();
    if (grouping_ == ByBook && bookKeys_.size() != books_.size()) {
        bookKeys_.reserve(books_.size());
        for (size_t b = bookKeys_.size(); b < books_.size(); ++b) bookKeys_.push_back(BookKey(static_cast<int>(b)));
    }
    ofSource.reserve(sources);
    for (size_t s = 0; s < sources; ++s) {
        const QString key = grouping_ == ByBorrower ? Text(Komu, static_cast<int>(s)).trimmed() : bookKeys_[s];
        const auto [known, added] = byKey.emplace(key, static_cast<int>(groups_.size()));
        if (added) groups_.push_back({key, {}, {}, 0});
        ofSource.push_back(known->second);
    }
    std::vector<QString> keys;
    keys.reserve(groups_.size());
    for (const Group& group : groups_) keys.push_back(group.key);
    const std::vector<int> ranks = CzechRanks(keys);
    std::vector<int> place(groups_.size());
    std::iota(place.begin(), place.end(), 0);
    std::sort(place.begin(), place.end(), [&](int a, int b) {
        const int ra = ranks[static_cast<size_t>(a)], rb = ranks[static_cast<size_t>(b)];
        return ra != rb ? ra < rb : a < b;
    });
    std::vector<int> newIndex(groups_.size());
    std::vector<Group> sorted;
    sorted.reserve(groups_.size());
    for (size_t i = 0; i < place.size(); ++i) {
        newIndex[static_cast<size_t>(place[i])] = static_cast<int>(i);
        sorted.push_back(std::move(groups_[static_cast<size_t>(place[i])]));
    }
    groups_ = std::move(sorted);
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        const int source = grouping_ == ByBorrower ? e.text[Komu] : e.book;
        const int group = newIndex[static_cast<size_t>(ofSource[static_cast<size_t>(source)])];
        entryGroup_[i] = group;
        ++groups_[static_cast<size_t>(group)].count;
    }
    for (Group& group : groups_)
        group.label = (group.key.isEmpty() ? QStringLiteral("(nevyplněno)") : group.key) +
                      QStringLiteral(" (%1)").arg(group.count);
}

// Each distinct text is searched once per filter; a loan matches when any of its texts does.
void LoanHistoryModel::Match() {
    if (wanted_.isEmpty()) return;
    for (size_t c = 0; c < pools_.size(); ++c) {
        pools_[c].Fold();
        match_[c].assign(pools_[c].Size(), 0);
        for (size_t id = 0; id < pools_[c].Size(); ++id) match_[c][id] = pools_[c].folded[id].contains(wanted_);
    }
}

bool LoanHistoryModel::Matches(const Entry& entry) const {
    if (wanted_.isEmpty()) return true;
    for (size_t c = 0; c < match_.size(); ++c)
        if (match_[c][static_cast<size_t>(entry.text[c])]) return true;
    return false;
}

// Groups lie flat among the loans, each label before its shown loans: a view
// lays out a flat list of 100,000 rows at once, a tree of them opened one by one.
void LoanHistoryModel::Lay() {
    rows_.clear();
    for (Group& group : groups_) group.members.clear();
    for (const int i : order_) {
        if (!Matches(entries_[static_cast<size_t>(i)])) continue;
        if (grouping_ == NoGroups)
            rows_.push_back(i);
        else
            groups_[static_cast<size_t>(entryGroup_[static_cast<size_t>(i)])].members.push_back(i);
    }
    if (grouping_ == NoGroups) return;
    for (size_t g = 0; g < groups_.size(); ++g) {
        if (groups_[g].members.empty()) continue;
        rows_.push_back(-1 - static_cast<int>(g));
        rows_.insert(rows_.end(), groups_[g].members.begin(), groups_[g].members.end());
    }
}

bool LoanHistoryModel::IsGroup(const QModelIndex& index) const {
    return index.isValid() && rows_[static_cast<size_t>(index.row())] < 0;
}

const LoanHistoryModel::Entry* LoanHistoryModel::EntryAt(const QModelIndex& index) const {
    if (!index.isValid() || IsGroup(index)) return nullptr;
    return &entries_[static_cast<size_t>(rows_[static_cast<size_t>(index.row())])];
}

QStringList LoanHistoryModel::TextsOf(const Entry& entry) const {
    QStringList texts;
    for (size_t c = 0; c < pools_.size(); ++c) texts << pools_[c].Text(entry.text[c]);
    return texts;
}

std::optional<LoanHistoryModel::Origin> LoanHistoryModel::OriginOf(const QModelIndex& index) const {
    const Entry* entry = EntryAt(index);
    return entry ? std::optional<Origin>(entry->origin) : std::nullopt;
}

QModelIndex LoanHistoryModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || column < 0 || column >= ColumnCount || row >= rowCount()) return {};
    return createIndex(row, column);
}

QModelIndex LoanHistoryModel::parent(const QModelIndex&) const { return {}; }

int LoanHistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LoanHistoryModel::columnCount(const QModelIndex&) const { return ColumnCount; }

QStringList LoanHistoryModel::Texts(const QModelIndex& index) const {
    const Entry* entry = EntryAt(index);
    return entry ? TextsOf(*entry) : QStringList();
}

QVariant LoanHistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::TextAlignmentRole && index.column() == Dni && !IsGroup(index))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::FontRole && IsGroup(index)) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    if (IsGroup(index))
        return index.column() == 0
                   ? QVariant(groups_[static_cast<size_t>(-1 - rows_[static_cast<size_t>(index.row())])].label)
                   : QVariant();
    const auto column = static_cast<size_t>(index.column());
    return pools_[column].Text(EntryAt(index)->text[column]);
}

QVariant LoanHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount) return {};
    return ColumnTitles().at(section);
}

std::vector<QStringList> LoanHistoryModel::ShownRows() const {
    std::vector<QStringList> rows;
    for (const int i : rows_)
        if (i >= 0) rows.push_back(TextsOf(entries_[static_cast<size_t>(i)]));
    return rows;
}
