#include "app/loans/loans_window.h"

#include <QCheckBox>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <array>
#include <exception>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>

#include "app/loans/borrower_address.h"
#include "app/loans/borrower_card_dialog.h"
#include "app/loans/loan_history_view.h"
#include "app/loans/loans_export.h"
#include "app/platform/table_export.h"
#include "app/core/collation.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/error_box.h"
#include "app/platform/ui_services.h"
#include "ui_loans_window.h"

namespace {

const char* const kCaption = "zápůjčky";
const char* const kOverdueWord = "po lhůtě";
const char* const kNoName = "(bez jména)";
const QColor kOverdueText(150, 0, 0);
const QColor kOverdueBack(255, 226, 226);
constexpr int kLoanRole = Qt::UserRole;  // index into the loans; -1 on a borrower's row
constexpr int kWidestBorrowers = 360;    // the borrower column widens to fit its labels up to this

// A row of the list. A loan's cells are read from the loan when shown, not
// stored in the item: thousands of rows then cost little to make and to
// regroup, and a new loan period only needs a repaint.
class LoanItem : public QTreeWidgetItem {
public:
    LoanItem(const LoansWindow& window, int loan) : window_(window), loan_(loan) {}
    bool operator<(const QTreeWidgetItem& other) const override { return window_.LessThan(*this, other); }
    QVariant data(int column, int role) const override {
        if (role == kLoanRole) return loan_;
        const bool overdue = loan_ >= 0 ? window_.Overdue(loan_) : overdueBooks > 0;
        switch (role) {
        case Qt::DisplayRole:
            if (loan_ >= 0) return window_.CellText(loan_, column);
            if (column == LoansWindow::Stav)
                return overdueBooks ? QString::fromUtf8(kOverdueWord) + u' ' + QString::number(overdueBooks)
                                    : QString();
            break;
        case Qt::ForegroundRole: return overdue ? QBrush(kOverdueText) : QVariant();
        case Qt::BackgroundRole: return overdue ? QBrush(kOverdueBack) : QVariant();
        case Qt::TextAlignmentRole:
            if (column == LoansWindow::Dni) return int(Qt::AlignRight | Qt::AlignVCenter);
            break;
        }
        return QTreeWidgetItem::data(column, role);
    }
    int Loan() const { return loan_; }
    int overdueBooks = 0;  // a borrower's row: how many of the books are overdue

private:
    const LoansWindow& window_;
    const int loan_;
};

int LoanIndex(const QTreeWidgetItem& item) { return static_cast<const LoanItem&>(item).Loan(); }

// Long names are shortened in the middle, so that a borrower's count stays whole.
class MiddleElided : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideMiddle;
    }
};

// A status folded for the filter; there are only a few.
const QString& FoldedStatus(const QString& status) {
    static QHash<QString, QString> folded;
    auto it = folded.find(status);
    if (it == folded.end()) it = folded.insert(status, WithoutCaseAndAccents(status));
    return *it;
}

}  // namespace

// What is worked out of a loan once, when first needed: a column's collation
// key the first time it is sorted by, the filter's text the first time one is typed.
struct LoansWindow::Made {
    std::array<std::optional<QCollatorSortKey>, LoansWindow::ColumnCount> keys;
    QString searched;  // null until made
};

struct LoansWindow::Keys {
    LocaleOrder order;
    std::vector<Made> made;  // one per loan, in the loans' order
};

LoansWindow::LoansWindow(CatalogueSession& session, LoanWriter& writer, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::LoansWindow>()), session_(session), writer_(writer),
      keys_(std::make_unique<Keys>()) {
    ui_->setupUi(this);
    Ui::LoansWindow& f = *ui_;
    f.zapujckytw->header()->setSortIndicator(Komu, Qt::AscendingOrder);
    f.zapujckytw->header()->setSectionsMovable(false);
    f.zapujckytw->setColumnWidth(Komu, 140);
    f.zapujckytw->setColumnWidth(Kdy, 110);
    f.zapujckytw->setColumnWidth(Datum, 90);
    f.zapujckytw->setColumnWidth(Dni, 50);
    f.zapujckytw->setColumnWidth(Stav, 70);
    f.zapujckytw->setColumnWidth(Autor, 130);
    f.zapujckytw->setColumnWidth(Titul, 160);
    f.zapujckytw->setItemDelegateForColumn(Komu, new MiddleElided(f.zapujckytw));
    {
        const QSignalBlocker quiet(f.lhutaspin);
        f.lhutaspin->setRange(1, kMaxLoanPeriod);
        f.lhutaspin->setValue(ReadLoanPeriod(session_.SettingsPath()));
    }
    UiServices& ui = session_.Ui();
    const auto guarded = [&ui](auto handler) { return [&ui, handler] { RunGuarded(ui, handler); }; };
    connect(f.vracenob, &QPushButton::clicked, this, guarded([this] { vracenobClick(); }));
    connect(f.pripomenoutb, &QPushButton::clicked, this, guarded([this] { pripomenoutbClick(); }));
    connect(f.pdfb, &QPushButton::clicked, this, guarded([this] { pdfbClick(); }));
    connect(f.csvb, &QPushButton::clicked, this, guarded([this] { csvbClick(); }));
    connect(f.zavritb, &QPushButton::clicked, this, &QWidget::close);
    connect(f.kartab, &QPushButton::clicked, this, guarded([this] { kartabClick(); }));
    connect(f.historieb, &QPushButton::clicked, this, guarded([this] { ShowLoanHistory(session_, *this); }));
    connect(f.seskupitchb, &QCheckBox::toggled, this, guarded([this] { Rebuild(); }));
    connect(f.hledatle, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
    connect(f.lhutaspin, &QSpinBox::valueChanged, this, [this](int days) { PeriodChanged(days); });
}

LoansWindow::~LoansWindow() {
    // The rows read the loans; they go before the loans do.
    ui_->zapujckytw->clear();
}

QDate LoansWindow::Today() const { return fixed_today_.isValid() ? fixed_today_ : QDate::currentDate(); }

int LoansWindow::Period() const { return ui_->lhutaspin->value(); }

void LoansWindow::Refresh() {
    today_ = Today();
    std::vector<Loan> loans = ReadLoans(session_.Connection(), today_);
    ++refreshes_;
    std::vector<Made> made(loans.size());
    ReplaceLoans(std::move(loans), std::move(made));
}

void LoansWindow::Forget(const std::vector<LoanRow>& rows) {
    std::set<int64_t> gone;
    for (const LoanRow& row : rows) gone.insert(row.rowid);
    std::vector<Loan> kept;
    std::vector<Made> made;
    for (size_t i = 0; i < loans_.size(); ++i) {
        if (gone.count(loans_[i].row.rowid)) continue;
        kept.push_back(loans_[i]);
        made.push_back(keys_->made[i]);
    }
    ReplaceLoans(std::move(kept), std::move(made));
}

void LoansWindow::ReplaceLoans(std::vector<Loan> loans, std::vector<Made> made) {
    ui_->zapujckytw->clear();
    loans_ = std::move(loans);
    keys_->made = std::move(made);
    Rebuild();
}

const Loan& LoansWindow::LoanAt(int loan) const {
    Q_ASSERT(loan >= 0 && static_cast<size_t>(loan) < loans_.size());
    return loans_[static_cast<size_t>(loan)];
}

void LoansWindow::CatalogueChanged() {
    if (!isVisible() || refresh_pending_) return;
    refresh_pending_ = true;
    QTimer::singleShot(0, this, [this, asked = refreshes_] {
        refresh_pending_ = false;
        if (isVisible() && refreshes_ == asked) RunGuarded(session_.Ui(), [this] { Refresh(); });
    });
}

QStringList LoansWindow::ColumnTitles() const {
    QStringList titles;
    const QTreeWidgetItem* header = ui_->zapujckytw->headerItem();
    for (int c = 0; c < ColumnCount; ++c) titles << header->text(c);
    return titles;
}

QStringList LoansWindow::RowTexts(const Loan& loan) const {
    const bool known = loan.date.Known();
    return {loan.komu,
            loan.kdy,
            loan.date.Shown(),
            known ? QString::number(loan.date.DaysOut(today_)) : QString(),
            LoanStatus(loan.date, today_, Period()),
            loan.autor,
            loan.titul,
            loan.umisteni};
}

QString LoansWindow::CellText(int loan, int column) const {
    const Loan& l = LoanAt(loan);
    switch (column) {
    case Komu: return grouped_ ? QString() : l.komu;
    case Kdy: return l.kdy;
    case Datum: return l.date.Shown();
    case Dni: return l.date.Known() ? QString::number(l.date.DaysOut(today_)) : QString();
    case Stav: return LoanStatus(l.date, today_, Period());
    case Autor: return l.autor;
    case Titul: return l.titul;
    case Umisteni: return l.umisteni;
    }
    return {};
}

bool LoansWindow::Overdue(int loan) const { return IsOverdue(LoanAt(loan).date, today_, Period()); }

void LoansWindow::Rebuild() {
    QTreeWidget& tree = *ui_->zapujckytw;
    grouped_ = ui_->seskupitchb->isChecked();
    tree.setUpdatesEnabled(false);
    tree.setSortingEnabled(false);
    tree.clear();
    tree.setRootIsDecorated(grouped_);

    QList<QTreeWidgetItem*> top;
    std::map<QString, LoanItem*> groups;
    for (int i = 0; i < static_cast<int>(loans_.size()); ++i) {
        const Loan& loan = LoanAt(i);
        auto* item = new LoanItem(*this, i);
        if (!grouped_) {
            top.append(item);
            continue;
        }
        const QString name = loan.Borrower();
        LoanItem*& group = groups[name];
        if (!group) {
            group = new LoanItem(*this, -1);
            group->setData(Komu, Qt::UserRole + 1, name);
            top.append(group);
        }
        group->addChild(item);
    }
    tree.addTopLevelItems(top);
    for (auto& [name, group] : groups) group->setExpanded(true);
    ShowOverdue();
    ApplyFilter();
    tree.setSortingEnabled(true);
    tree.setUpdatesEnabled(true);
}

void LoansWindow::ShowOverdue() {
    QTreeWidget& tree = *ui_->zapujckytw;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        auto* top = static_cast<LoanItem*>(tree.topLevelItem(i));
        if (top->Loan() >= 0) continue;
        int overdue = 0;
        for (int c = 0; c < top->childCount(); ++c) overdue += Overdue(LoanIndex(*top->child(c))) ? 1 : 0;
        top->overdueBooks = overdue;
    }
    tree.viewport()->update();
    ui_->souhrnl->setText(SummaryText(Summarize(loans_, today_, Period())));
}

const QString& LoansWindow::SearchText(int loan) const {
    QString& text = keys_->made[static_cast<size_t>(loan)].searched;
    if (text.isNull()) {
        const Loan& l = LoanAt(loan);
        // One line per text, so that a search never matches across two of them.
        text =
            WithoutCaseAndAccents(QStringList{l.komu, l.kdy, l.date.Shown(), l.autor, l.titul, l.umisteni}.join(u'\n'));
    }
    return text;
}

void LoansWindow::ApplyFilter() {
    QTreeWidget& tree = *ui_->zapujckytw;
    const QString needle = WithoutCaseAndAccents(ui_->hledatle->text().trimmed());
    const auto matches = [&](const QTreeWidgetItem* item) {
        if (needle.isEmpty()) return true;
        const int loan = LoanIndex(*item);
        // The days and the status change with the day and the period: not kept.
        if (SearchText(loan).contains(needle) || CellText(loan, Dni).contains(needle)) return true;
        const QString status = CellText(loan, Stav);
        return !status.isEmpty() && FoldedStatus(status).contains(needle);
    };
    int widest = 0;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = tree.topLevelItem(i);
        if (LoanIndex(*top) >= 0) {
            const bool hide = !matches(top);
            if (top->isHidden() != hide) top->setHidden(hide);
            continue;
        }
        int shown = 0;
        for (int c = 0; c < top->childCount(); ++c) {
            QTreeWidgetItem* child = top->child(c);
            const bool match = matches(child);
            if (child->isHidden() == match) child->setHidden(!match);
            shown += match ? 1 : 0;
        }
        const QString name = top->data(Komu, Qt::UserRole + 1).toString();
        const QString label = (name.isEmpty() ? QString::fromUtf8(kNoName) : name) + QStringLiteral(" (%1)").arg(shown);
        top->setText(Komu, label);
        if (top->isHidden() != (shown == 0)) top->setHidden(shown == 0);
        if (shown > 0) widest = std::max(widest, tree.fontMetrics().horizontalAdvance(label));
    }
    FitBorrowers(widest);
}

void LoansWindow::FitBorrowers(int widestLabel) {
    QTreeWidget& tree = *ui_->zapujckytw;
    if (widestLabel <= 0) return;
    // The item's text margins on both sides and the branch indicator before it.
    const int margin = tree.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &tree) + 1;
    const int wanted = std::min(widestLabel + 4 * margin + tree.indentation(), kWidestBorrowers);
    if (wanted > tree.columnWidth(Komu)) tree.setColumnWidth(Komu, wanted);
}

void LoansWindow::PeriodChanged(int days) {
    ShowOverdue();
    // Kept at once, so that no way of closing loses it; a file that cannot be
    // written is reported once, not on every step of the spin box.
    try {
        WriteLoanPeriod(session_.SettingsPath(), days);
        period_write_failed_ = false;
    } catch (const std::exception&) {
        if (!period_write_failed_) {
            period_write_failed_ = true;
            const std::exception_ptr failure = std::current_exception();
            RunGuarded(session_.Ui(), [failure] { std::rethrow_exception(failure); });
        }
    }
}

const QCollatorSortKey& LoansWindow::SortKey(int loan, int column) const {
    std::optional<QCollatorSortKey>& key = keys_->made[static_cast<size_t>(loan)].keys[static_cast<size_t>(column)];
    if (!key) {
        const Loan& l = LoanAt(loan);
        key = keys_->order.SortKey(column == Komu    ? l.komu
                                   : column == Kdy   ? l.kdy
                                   : column == Autor ? l.autor
                                   : column == Titul ? l.titul
                                                     : l.umisteni);
    }
    return *key;
}

bool LoansWindow::LessThan(const QTreeWidgetItem& a, const QTreeWidgetItem& b) const {
    const QTreeWidget* tree = ui_->zapujckytw;
    const int ia = LoanIndex(a), ib = LoanIndex(b);
    const bool descending = tree->header()->sortIndicatorOrder() == Qt::DescendingOrder;
    if (ia < 0 || ib < 0) {
        // Borrowers' rows: by name whatever the column and the direction, the
        // nameless one last. A descending sort asks "b < a": answered reversed.
        const QTreeWidgetItem& first = descending ? b : a;
        const QTreeWidgetItem& second = descending ? a : b;
        const QString na = first.data(Komu, Qt::UserRole + 1).toString();
        const QString nb = second.data(Komu, Qt::UserRole + 1).toString();
        if (na.isEmpty() != nb.isEmpty()) return nb.isEmpty();
        return keys_->order.Compare(na, nb) < 0;
    }
    const Loan& la = LoanAt(ia);
    const Loan& lb = LoanAt(ib);
    const int column = tree->sortColumn();
    int order = 0;
    switch (column) {
    case Datum:
    case Dni:
    case Stav:
        // A text without a date goes last in either direction.
        if (la.date.Known() != lb.date.Known()) return la.date.Known() != descending;
        if (column == Stav) {
            const bool oa = IsOverdue(la.date, today_, Period()), ob = IsOverdue(lb.date, today_, Period());
            if (oa != ob) return oa;
        }
        if (column == Datum)
            order = la.date.first < lb.date.first ? -1 : lb.date.first < la.date.first ? 1 : 0;
        else
            order = la.date.last > lb.date.last ? -1 : lb.date.last > la.date.last ? 1 : 0;
        break;
    default: {
        // Equal texts (a borrower's books when grouped) need no collation.
        const auto bytes = [column](const Loan& l) -> const std::string& {
            return column == Komu    ? l.row.komu
                   : column == Kdy   ? l.row.kdy
                   : column == Autor ? l.row.autor
                   : column == Titul ? l.row.titul
                                     : l.row.umisteni;
        };
        if (bytes(la) != bytes(lb)) order = SortKey(ia, column).compare(SortKey(ib, column));
    }
    }
    return order != 0 ? order < 0 : ia < ib;
}

std::vector<const Loan*> LoansWindow::ShownLoans() const {
    std::vector<const Loan*> shown;
    const QTreeWidget& tree = *ui_->zapujckytw;
    const auto add = [&](const QTreeWidgetItem* item) {
        if (!item->isHidden()) shown.push_back(&LoanAt(LoanIndex(*item)));
    };
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* top = tree.topLevelItem(i);
        if (LoanIndex(*top) >= 0) {
            add(top);
        } else if (!top->isHidden()) {
            for (int c = 0; c < top->childCount(); ++c) add(top->child(c));
        }
    }
    return shown;
}

std::vector<const Loan*> LoansWindow::SelectedLoans() const {
    std::set<int> chosen;
    for (const QTreeWidgetItem* item : ui_->zapujckytw->selectedItems()) {
        if (item->isHidden()) continue;
        if (LoanIndex(*item) >= 0) {
            chosen.insert(LoanIndex(*item));
            continue;
        }
        for (int c = 0; c < item->childCount(); ++c)
            if (!item->child(c)->isHidden()) chosen.insert(LoanIndex(*item->child(c)));
    }
    std::vector<const Loan*> loans;
    for (int i : chosen) loans.push_back(&LoanAt(i));
    return loans;
}

void LoansWindow::vracenobClick() {
    const std::vector<const Loan*> chosen = SelectedLoans();
    UiServices& ui = session_.Ui();
    if (chosen.empty()) {
        ui.InformationBox(QString::fromUtf8(kCaption), QStringLiteral("Vyberte v seznamu knihy, které se vrátily."));
        return;
    }
    if (!ui.Question(QString::fromUtf8(kCaption),
                     QStringLiteral("Zapsat vrácení %1? U každé se vyprázdní „zapůjčeno komu“ "
                                    "a „zapůjčeno kdy“.")
                         .arg(BooksGenitive(static_cast<int>(chosen.size())))))
        return;
    std::vector<LoanRow> rows;
    for (const Loan* loan : chosen) rows.push_back(loan->row);
    const std::optional<std::vector<LoanRow>> changed = writer_.Return(rows);
    if (!changed) return;
    if (changed->size() == rows.size()) {
        // Exactly what was asked for changed: the list drops those rows
        // without reading the whole catalogue again.
        Forget(*changed);
        return;
    }
    Refresh();
    if (changed->size() < rows.size())
        ui.InformationBox(QString::fromUtf8(kCaption),
                          QStringLiteral("U %1 z %2 vybraných knih se záznam mezitím v katalogu změnil, "
                                         "proto zůstal beze změny. Seznam je načten znovu.")
                              .arg(rows.size() - changed->size())
                              .arg(rows.size()));
}

QString LoansWindow::ReminderUrl(const std::vector<const Loan*>& loans, const QString& address) {
    QString body = QStringLiteral(
        "Dobrý den,\r\n\r\ndovoluji si připomenout knihy, které máte "
        "ode mě vypůjčené:\r\n\r\n");
    for (const Loan* loan : loans) {
        body += QStringLiteral("- ") + (loan->autor.isEmpty() ? QString() : loan->autor + QStringLiteral(": ")) +
                loan->titul;
        if (!loan->kdy.trimmed().isEmpty()) body += QStringLiteral(" (od ") + loan->kdy.trimmed() + u')';
        body += QStringLiteral("\r\n");
    }
    body += QStringLiteral("\r\nDěkuji a zdravím.\r\n");
    const QString subject = QStringLiteral("Připomínka vypůjčených knih");
    // Every reserved character is escaped, so a title with "&" or "?" stays in the body.
    // The address is escaped too: a "?" or "%" in it cannot end it early.
    return QStringLiteral("mailto:") + QString::fromLatin1(QUrl::toPercentEncoding(address, "@+")) +
           QStringLiteral("?subject=") + QString::fromLatin1(QUrl::toPercentEncoding(subject)) +
           QStringLiteral("&body=") + QString::fromLatin1(QUrl::toPercentEncoding(body));
}

QString LoansWindow::CurrentBorrower() const {
    const QTreeWidgetItem* current = ui_->zapujckytw->currentItem();
    if (!current || current->isHidden()) return {};
    const int index = LoanIndex(*current);
    if (index >= 0) return LoanAt(index).Borrower();
    return current->childCount() > 0 ? LoanAt(LoanIndex(*current->child(0))).Borrower() : QString();
}

void LoansWindow::kartabClick() {
    const QString name = CurrentBorrower();
    if (name.isEmpty()) {
        session_.Ui().InformationBox(QString::fromUtf8(kCaption),
                                     QStringLiteral("Vyberte v seznamu vypůjčitele nebo některou z jeho knih."));
        return;
    }
    if (BorrowerCardDialog* card = ShowBorrowerCard(session_, name); card && fixed_today_.isValid()) {
        card->SetToday(fixed_today_);
        card->Refresh();
    }
}

void LoansWindow::pripomenoutbClick() {
    UiServices& ui = session_.Ui();
    const QString name = CurrentBorrower();
    if (name.isEmpty()) {
        ui.InformationBox(QString::fromUtf8(kCaption),
                          QStringLiteral("Vyberte v seznamu vypůjčitele nebo některou z jeho knih."));
        return;
    }
    std::vector<const Loan*> theirs;
    for (const Loan& loan : loans_)
        if (loan.Borrower() == name) theirs.push_back(&loan);
    const QString url = ReminderUrl(theirs, ReadBorrowerAddress(session_.SettingsPath(), name));
    if (!ui.OpenUrl(QUrl(url, QUrl::StrictMode))) throw std::runtime_error("E-mailový program se nepodařilo otevřít.");
}

std::vector<ExportedLoan> LoansWindow::Exported() const {
    std::vector<ExportedLoan> rows;
    for (const Loan* loan : ShownLoans()) rows.push_back({RowTexts(*loan), IsOverdue(loan->date, today_, Period())});
    return rows;
}

void LoansWindow::csvbClick() {
    const std::optional<QString> path = session_.Ui().ChooseSaveFile(
        QStringLiteral("Export zápůjček do CSV"), QStringLiteral("zapujcky.csv"), QStringLiteral("CSV (*.csv)"));
    if (!path) return;
    std::vector<QStringList> rows;
    for (ExportedLoan& row : Exported()) rows.push_back(std::move(row.cells));
    WriteTableCsv(*path, ColumnTitles(), rows);
}

void LoansWindow::pdfbClick() {
    const std::optional<QString> path = session_.Ui().ChooseSaveFile(
        QStringLiteral("Export zápůjček do PDF"), QStringLiteral("zapujcky.pdf"), QStringLiteral("PDF (*.pdf)"));
    if (!path) return;
    std::vector<QStringList> rows;
    std::vector<bool> overdue;
    for (ExportedLoan& row : Exported()) {
        rows.push_back(std::move(row.cells));
        overdue.push_back(row.overdue);
    }
    WriteTablePdf(*path, QStringLiteral("Zápůjčky"), SummaryText(Summarize(loans_, today_, Period())), ColumnTitles(),
                  rows, overdue);
}
