#pragma once
// The finished loans as the history view shows them: read once, each distinct
// text decoded, folded for the filter and ranked in Czech order once, so a
// keystroke, a sort or a change of grouping only reorders numbers. Rows are
// the loans, or the labels of groups (by borrower or by book, in Czech name
// order whichever way a column sorts) each followed by its loans.
#include <QAbstractItemModel>
#include <QDate>
#include <QStringList>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/loans/distinct_texts.h"
#include "catalogue/loan_history.h"

class LoanHistoryModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { Komu, Od, Vraceno, Dni, Autor, Titul, ColumnCount };
    enum Grouping { NoGroups, ByBorrower, ByBook };

    // Where a shown loan is kept: the row and its line in `udaj3`, oldest first.
    struct Origin {
        long long rowKey = 0;
        int line = 0;
    };

    explicit LoanHistoryModel(QObject* parent = nullptr);
    ~LoanHistoryModel() override;

    // Takes the books' loans anew; the filter, the grouping and the sort stay.
    // `read` hands each book to the visitor it is given, e.g. straight from the catalogue.
    void Load(const std::function<void(const LoanBookVisitor&)>& read, const QDate& today);
    void Load(const std::vector<BookHistory>& books, const QDate& today);
    // Shows the loans whose texts hold `text`, case and accents ignored.
    void SetFilter(const QString& text);
    void SetGrouping(Grouping grouping);
    Grouping CurrentGrouping() const { return grouping_; }
    int Loans() const { return static_cast<int>(entries_.size()); }
    // The loans' texts as shown: filtered, in the order shown.
    std::vector<QStringList> ShownRows() const;
    // The loan a row stands for; none for a group's label.
    std::optional<Origin> OriginOf(const QModelIndex& index) const;
    QStringList Texts(const QModelIndex& index) const;
    bool IsGroup(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    static QStringList ColumnTitles();

private:
    // The distinct texts of one column: numbered as read, decoded at their
    // first showing, folded and ranked once (at the first filter or sort).
    struct Pool {
        DistinctTexts ids;
        bool codePage = true;                // Windows-1250 bytes, or plain digits and dots
        mutable std::vector<QString> texts;  // decoded so far
        mutable std::vector<char> decoded;
        std::vector<QString> folded;  // made at the first filter
        std::vector<int> ranks;       // Czech order, made at the first sort by the column
        size_t Size() const { return ids.Size(); }
        const QString& Text(int id) const;
        void Clear();
        void Fold();
        void Rank();
    };
    struct Entry {
        std::array<int, ColumnCount> text{};  // ids in the pools
        int begun = 0;                        // Julian day of the first day meant; 0 when none
        int returned = 0;                     // Julian day; 0 when unreadable
        int days = -1;                        // unknown without a day of lending
        int book = 0;                         // in reading order
        Origin origin;
    };
    struct Group {
        QString key;
        QString label;
        std::vector<int> members;  // shown entries, in the order shown
        int count = 0;             // every entry, shown or not
    };

    void Order();
    void Lay();
    void MakeGroups();
    void Match();
    bool Matches(const Entry& entry) const;
    const Entry* EntryAt(const QModelIndex& index) const;
    QStringList TextsOf(const Entry& entry) const;
    int Intern(int column, std::string_view bytes) { return pools_[static_cast<size_t>(column)].ids.Id(bytes); }
    const QString& Text(int column, int id) const { return pools_[static_cast<size_t>(column)].Text(id); }
    QString BookKey(int book) const;

    std::array<Pool, ColumnCount> pools_;
    std::vector<Entry> entries_;
    std::vector<std::pair<int, int>> books_;  // author's and title's ids of each book read
    std::vector<QString> bookKeys_;           // "autor: titul" of each, made at the first grouping by book
    std::vector<int> order_;                  // every entry, sorted
    std::vector<int> rows_;                   // shown: an entry, or -1 - group for a group's label
    std::vector<Group> groups_;               // in Czech order
    std::vector<int> entryGroup_;             // group of each entry
    std::array<std::vector<char>, ColumnCount> match_;
    QString wanted_;
    Grouping grouping_ = NoGroups;
    int sortColumn_ = Vraceno;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};
