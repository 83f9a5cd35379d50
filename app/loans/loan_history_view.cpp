#include "app/loans/loan_history_view.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QCollatorSortKey>
#include <array>
#include <unordered_map>

#include "app/core/loan_date.h"
#include "app/platform/catalogue_session.h"
#include "app/core/codepage.h"
#include "app/core/collation.h"
#include "app/platform/error_box.h"
#include "app/platform/table_export.h"
#include "app/platform/ui_services.h"
#include "catalogue/loan_history.h"
#include "storage/query.h"

struct LoanHistoryView::Entry {
    QStringList texts;  // by column
    QDate from;         // invalid when the typed date names no day
    QDate begun;        // the first day meant, a month or a year too: what "půjčeno" sorts by
    QDate returned;
    int days = -1;  // unknown without a day of lending
    QString plain;  // every column without case and accents, for the filter
    int index = 0;  // in reading order
};

// Each text column's order as ranks, made once per column when it is first
// sorted by: a sort then compares numbers, not texts through the collator.
class LoanHistoryView::Ranks {
public:
    explicit Ranks(const std::vector<Entry>& entries) : entries_(entries) {}
    int Of(int column, int index) {
        std::vector<int>& ranks = ranks_[static_cast<size_t>(column)];
        if (ranks.empty() && !entries_.empty()) Make(column, ranks);
        return ranks[static_cast<size_t>(index)];
    }
    void Clear() {
        for (std::vector<int>& ranks : ranks_) ranks.clear();
    }

private:
    void Make(int column, std::vector<int>& ranks) {
        const LocaleOrder order;
        std::vector<std::pair<QCollatorSortKey, int>> keys;
        keys.reserve(entries_.size());
        for (const Entry& entry : entries_) keys.emplace_back(order.SortKey(entry.texts[column]), entry.index);
        std::stable_sort(keys.begin(), keys.end(),
                         [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
        ranks.assign(entries_.size(), 0);
        for (size_t i = 0; i < keys.size(); ++i) {
            const bool tie = i > 0 && keys[i].first.compare(keys[i - 1].first) == 0;
            ranks[static_cast<size_t>(keys[i].second)] =
                tie ? ranks[static_cast<size_t>(keys[i - 1].second)] : static_cast<int>(i);
        }
    }
    const std::vector<Entry>& entries_;
    std::array<std::vector<int>, ColumnCount> ranks_;
};

namespace {

// Column texts compare in Czech order, dates and days by value; equal ones
// keep reading order. Groups stay in Czech name order whichever way a column sorts.
class EntryItem : public QTreeWidgetItem {
public:
    EntryItem(const LoanHistoryView::Entry& entry, LoanHistoryView::Ranks& ranks)
        : QTreeWidgetItem(entry.texts), entry_(&entry), ranks_(&ranks) {
        setTextAlignment(LoanHistoryView::Dni, Qt::AlignRight | Qt::AlignVCenter);
    }
    const LoanHistoryView::Entry* entry() const { return entry_; }
    bool operator<(const QTreeWidgetItem& other) const override {
        const auto* that = dynamic_cast<const EntryItem*>(&other);
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        int c = 0;
        switch (column) {
        case LoanHistoryView::Od: c = Compare(entry_->begun, that->entry_->begun); break;
        case LoanHistoryView::Vraceno: c = Compare(entry_->returned, that->entry_->returned); break;
        case LoanHistoryView::Dni: c = entry_->days - that->entry_->days; break;
        default: c = ranks_->Of(column, entry_->index) - ranks_->Of(column, that->entry_->index);
        }
        return c != 0 ? c < 0 : entry_->index < that->entry_->index;
    }

private:
    static int Compare(const QDate& a, const QDate& b) {
        if (a == b) return 0;
        if (!a.isValid()) return 1;  // unknown last
        if (!b.isValid()) return -1;
        return a < b ? -1 : 1;
    }
    const LoanHistoryView::Entry* entry_;
    LoanHistoryView::Ranks* ranks_;
};

class GroupItem : public QTreeWidgetItem {
public:
    GroupItem(const QString& label, const LocaleOrder& order) : QTreeWidgetItem(QStringList{label}), order_(order) {}
    bool operator<(const QTreeWidgetItem& other) const override {
        const bool descending = treeWidget() && treeWidget()->header()->sortIndicatorOrder() == Qt::DescendingOrder;
        const int c = order_.Compare(data(0, Qt::UserRole).toString(), other.data(0, Qt::UserRole).toString());
        return descending ? c > 0 : c < 0;
    }

private:
    const LocaleOrder& order_;
};

const LocaleOrder& Order() {
    static const LocaleOrder order;
    return order;
}

QDate ReturnDay(const std::string& text) {
    const QStringList parts = QString::fromLatin1(text.c_str()).split(u'.');
    return parts.size() == 3 ? QDate(parts[2].toInt(), parts[1].toInt(), parts[0].toInt()) : QDate();
}

}  // namespace

LoanHistoryView::LoanHistoryView(TASQLite3DB& db, UiServices& ui, QWidget* parent, long long rowKey)
    : QWidget(parent, Qt::Window), db_(db), services_(ui), rowKey_(rowKey), today_(QDate::currentDate()),
      ranks_(std::make_unique<Ranks>(entries_)) {
    setWindowTitle(QStringLiteral("historie výpůjček"));
    resize(820, 440);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* filterLabel = new QLabel(QStringLiteral("&hledat:"), this);
    filter_ = new QLineEdit(this);
    filter_->setClearButtonEnabled(true);
    filterLabel->setBuddy(filter_);
    auto* groupLabel = new QLabel(QStringLiteral("&seskupit:"), this);
    grouping_ = new QComboBox(this);
    grouping_->addItems(
        {QStringLiteral("neseskupovat"), QStringLiteral("podle vypůjčitele"), QStringLiteral("podle knihy")});
    groupLabel->setBuddy(grouping_);
    top->addWidget(filterLabel);
    top->addWidget(filter_, 1);
    top->addWidget(groupLabel);
    top->addWidget(grouping_);
    layout->addLayout(top);

    list_ = new QTreeWidget(this);
    list_->setAccessibleName(QStringLiteral("historie výpůjček"));
    list_->setColumnCount(ColumnCount);
    list_->setHeaderLabels(ColumnTitles());
    list_->setRootIsDecorated(false);
    list_->setSortingEnabled(true);
    list_->sortByColumn(Vraceno, Qt::AscendingOrder);
    list_->header()->setSectionsMovable(false);
    layout->addWidget(list_, 1);

    auto* bottom = new QHBoxLayout;
    summary_ = new QLabel(this);
    auto* csv = new QPushButton(QStringLiteral("do &CSV…"), this);
    auto* pdf = new QPushButton(QStringLiteral("do &PDF…"), this);
    auto* close = new QPushButton(QStringLiteral("&zavřít"), this);
    bottom->addWidget(summary_, 1);
    bottom->addWidget(csv);
    bottom->addWidget(pdf);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    connect(csv, &QPushButton::clicked, this, [this] { RunGuarded(services_, [this] { csvbClick(); }); });
    connect(pdf, &QPushButton::clicked, this, [this] { RunGuarded(services_, [this] { pdfbClick(); }); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(filter_, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
    connect(grouping_, &QComboBox::currentIndexChanged, this, [this] { Rebuild(); });
}

LoanHistoryView::~LoanHistoryView() {
    // The rows read the entries; they go first.
    list_->clear();
}

QStringList LoanHistoryView::ColumnTitles() {
    return {QStringLiteral("vypůjčitel"), QStringLiteral("půjčeno"), QStringLiteral("vráceno"),
            QStringLiteral("dní"),        QStringLiteral("autor"),   QStringLiteral("titul")};
}

void LoanHistoryView::SetGrouping(Grouping grouping) { grouping_->setCurrentIndex(grouping); }

void LoanHistoryView::Refresh() {
    const std::vector<BookHistory> books =
        ReadLoanHistories(db_, rowKey_ > 0 ? "rowid=" + std::to_string(rowKey_) : std::string());
    list_->clear();
    entries_.clear();
    ranks_->Clear();
    // Catalogues repeat loan dates: each distinct text is read once.
    std::unordered_map<std::string, LoanDate> dates;
    for (const BookHistory& book : books) {
        const QString autor = FromCodePage(book.autor), titul = FromCodePage(book.titul);
        for (const FinishedLoan& loan : book.loans) {
            Entry entry;
            const QString kdy = FromCodePage(loan.kdy);
            auto known = dates.find(loan.kdy);
            if (known == dates.end()) known = dates.emplace(loan.kdy, ReadLoanDate(kdy, today_)).first;
            const LoanDate& date = known->second;
            if (date.precision == LoanDate::Precision::Day) entry.from = date.first;
            if (date.Known()) entry.begun = date.first;
            entry.returned = ReturnDay(loan.returned);
            if (entry.from.isValid() && entry.from <= entry.returned)
                entry.days = static_cast<int>(entry.from.daysTo(entry.returned));
            entry.texts = {FromCodePage(loan.komu),
                           kdy,
                           QString::fromLatin1(loan.returned.c_str()),
                           entry.days >= 0 ? QString::number(entry.days) : QString(),
                           autor,
                           titul};
            entry.plain = WithoutCaseAndAccents(entry.texts.join(u'\n'));
            entry.index = static_cast<int>(entries_.size());
            entries_.push_back(std::move(entry));
        }
    }
    if (rowKey_ > 0 && !books.empty())
        setWindowTitle(QStringLiteral("historie výpůjček – ") + FromCodePage(books.front().titul));
    summary_->setText(QStringLiteral("Dokončených výpůjček: %1.").arg(entries_.size()));
    Rebuild();
}

void LoanHistoryView::Rebuild() {
    list_->clear();
    const int grouping = grouping_->currentIndex();
    list_->setRootIsDecorated(grouping != NoGroups);
    // Sorted once, when every row is in, not at each insertion.
    list_->setSortingEnabled(false);
    std::unordered_map<QString, QTreeWidgetItem*> groups;
    QList<QTreeWidgetItem*> tops;
    for (Entry& entry : entries_) {
        auto* item = new EntryItem(entry, *ranks_);
        if (grouping == NoGroups) {
            tops.push_back(item);
            continue;
        }
        const QStringList& t = entry.texts;
        // One borrower whatever the blanks around the name.
        const QString key = grouping == ByBorrower ? t[Komu].trimmed() : t[Autor] + QStringLiteral(": ") + t[Titul];
        QTreeWidgetItem*& group = groups[key];
        if (!group) {
            group = new GroupItem(key, Order());
            group->setData(0, Qt::UserRole, key);
            tops.push_back(group);
        }
        group->addChild(item);
    }
    for (auto& [key, group] : groups)
        group->setText(0, (key.isEmpty() ? QStringLiteral("(nevyplněno)") : key) +
                              QStringLiteral(" (%1)").arg(group->childCount()));
    list_->addTopLevelItems(tops);
    for (QTreeWidgetItem* top : tops)
        if (top->childCount() > 0) {
            top->setFirstColumnSpanned(true);  // the whole label, over the other columns
            top->setExpanded(true);
        }
    list_->setSortingEnabled(true);
    ApplyFilter();
}

void LoanHistoryView::ApplyFilter() {
    // Without case and accents: "stastny" finds "Šťastný".
    const QString wanted = WithoutCaseAndAccents(filter_->text().trimmed());
    const auto matches = [&](const QTreeWidgetItem* item) {
        const auto* entry = static_cast<const EntryItem*>(item)->entry();
        return wanted.isEmpty() || entry->plain.contains(wanted);
    };
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = list_->topLevelItem(i);
        if (top->childCount() == 0) {
            if (top->isHidden() == matches(top)) top->setHidden(!top->isHidden());
            continue;
        }
        bool any = false;
        for (int c = 0; c < top->childCount(); ++c) {
            const bool shown = matches(top->child(c));
            if (top->child(c)->isHidden() == shown) top->child(c)->setHidden(!shown);
            any = any || shown;
        }
        if (top->isHidden() == any) top->setHidden(!any);
    }
}

std::vector<QStringList> LoanHistoryView::ShownRows() const {
    std::vector<QStringList> rows;
    const auto add = [&](const QTreeWidgetItem* item) {
        QStringList texts;
        for (int c = 0; c < ColumnCount; ++c) texts << item->text(c);
        rows.push_back(texts);
    };
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* top = list_->topLevelItem(i);
        if (top->isHidden()) continue;
        if (top->childCount() == 0) add(top);
        for (int c = 0; c < top->childCount(); ++c)
            if (!top->child(c)->isHidden()) add(top->child(c));
    }
    return rows;
}

void LoanHistoryView::csvbClick() {
    const std::optional<QString> path =
        services_.ChooseSaveFile(QStringLiteral("Export historie výpůjček do CSV"), QStringLiteral("historie.csv"),
                                 QStringLiteral("CSV (*.csv)"));
    if (path) WriteTableCsv(*path, ColumnTitles(), ShownRows());
}

void LoanHistoryView::pdfbClick() {
    const std::optional<QString> path =
        services_.ChooseSaveFile(QStringLiteral("Export historie výpůjček do PDF"), QStringLiteral("historie.pdf"),
                                 QStringLiteral("PDF (*.pdf)"));
    if (path) WriteTablePdf(*path, windowTitle(), summary_->text(), ColumnTitles(), ShownRows());
}

LoanHistoryView& ShowLoanHistory(CatalogueSession& session, QWidget& owner, long long rowKey) {
    LoanHistoryView* view = nullptr;
    for (LoanHistoryView* open : owner.findChildren<LoanHistoryView*>(Qt::FindDirectChildrenOnly))
        if (open->RowKey() == rowKey) view = open;
    if (!view) {
        view = new LoanHistoryView(session.Connection(), session.Ui(), &owner, rowKey);
        view->setAttribute(Qt::WA_DeleteOnClose);
        session.PlaceOverWindow(*view);
        const auto follow = [view, &session] {
            if (view->isVisible()) RunGuarded(session.Ui(), [view] { view->Refresh(); });
        };
        QObject::connect(&session, &CatalogueSession::RowsChanged, view, follow);
        QObject::connect(&session, &CatalogueSession::CatalogueChanged, view, follow);
    }
    view->Refresh();
    view->show();
    view->raise();
    view->activateWindow();
    return *view;
}

void AddLoanHistoryTitleEntry(CatalogueSession& session, QObject& context) {
    session.AddTitleMenuEntries([&session, &context](QMenu& menu, const TitleRef& title) {
        QAction* history = menu.addAction(QStringLiteral("historie výpůjček…"));
        history->setEnabled(title.row.has_value());
        if (!title.row) return;
        const long long key = *title.row;
        QObject::connect(history, &QAction::triggered, &context, [&session, key] {
            RunGuarded(session.Ui(), [&session, key] { ShowLoanHistory(session, session.Window(), key); });
        });
    });
}
