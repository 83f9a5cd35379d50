#include "app/loans/loans_window.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <array>
#include <exception>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>

#include "app/loans/loan_history_view.h"
#include "app/platform/collation.h"
#include "app/platform/error_box.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/ui_services.h"
#include "ui_loans_window.h"

namespace {

const char* const kCaption = "zápůjčky";
const char* const kOverdueWord = "po lhůtě";
const char* const kNoName = "(bez jména)";
const QColor kOverdueText(150, 0, 0);
const QColor kOverdueBack(255, 226, 226);
constexpr int kLoanRole = Qt::UserRole;  // index into the loans; -1 on a borrower's row

// A row of the list. A loan's cells are read from the loan when shown, not
// stored in the item: thousands of rows then cost little to make and to
// regroup, and a new loan period only needs a repaint.
class LoanItem : public QTreeWidgetItem {
public:
    LoanItem(const Tzapujckyf& window, int loan) : window_(window), loan_(loan) {}
    bool operator<(const QTreeWidgetItem& other) const override { return window_.LessThan(*this, other); }
    QVariant data(int column, int role) const override {
        if (role == kLoanRole) return loan_;
        const bool overdue = loan_ >= 0 ? window_.Overdue(loan_) : overdueBooks > 0;
        switch (role) {
        case Qt::DisplayRole:
            if (loan_ >= 0) return window_.CellText(loan_, column);
            if (column == Tzapujckyf::Stav)
                return overdueBooks ? QString::fromUtf8(kOverdueWord) + u' ' + QString::number(overdueBooks)
                                    : QString();
            break;
        case Qt::ForegroundRole:
            return overdue ? QBrush(kOverdueText) : QVariant();
        case Qt::BackgroundRole:
            return overdue ? QBrush(kOverdueBack) : QVariant();
        case Qt::TextAlignmentRole:
            if (column == Tzapujckyf::Dni) return int(Qt::AlignRight | Qt::AlignVCenter);
            break;
        }
        return QTreeWidgetItem::data(column, role);
    }
    int Loan() const { return loan_; }
    int overdueBooks = 0;  // a borrower's row: how many of the books are overdue

private:
    const Tzapujckyf& window_;
    const int loan_;
};

int LoanIndex(const QTreeWidgetItem& item) { return static_cast<const LoanItem&>(item).Loan(); }

QString CsvField(const QString& text) {
    if (!text.contains(u';') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString Fold(const QString& text) { return text.toCaseFolded(); }

}  // namespace

// Collation keys, made the first time a column is sorted by.
struct Tzapujckyf::Keys {
    LocaleOrder order;
    std::array<std::vector<std::optional<QCollatorSortKey>>, Tzapujckyf::ColumnCount> made;
};

Tzapujckyf::Tzapujckyf(CatalogueSession& session, LoanWriter& writer, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::Tzapujckyf>()), session_(session), writer_(writer),
      keys_(std::make_unique<Keys>()) {
    ui_->setupUi(this);
    Ui::Tzapujckyf& f = *ui_;
    f.zapujckytw->header()->setSortIndicator(Komu, Qt::AscendingOrder);
    f.zapujckytw->header()->setSectionsMovable(false);
    f.zapujckytw->setColumnWidth(Komu, 140);
    f.zapujckytw->setColumnWidth(Kdy, 110);
    f.zapujckytw->setColumnWidth(Datum, 90);
    f.zapujckytw->setColumnWidth(Dni, 50);
    f.zapujckytw->setColumnWidth(Stav, 70);
    f.zapujckytw->setColumnWidth(Autor, 130);
    f.zapujckytw->setColumnWidth(Titul, 160);
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
    connect(f.historieb, &QPushButton::clicked, this,
            guarded([this] { ShowLoanHistory(*this, session_.Connection(), session_.Ui()); }));
    connect(f.seskupitchb, &QCheckBox::toggled, this, guarded([this] { Rebuild(); }));
    connect(f.hledatle, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
    connect(f.lhutaspin, &QSpinBox::valueChanged, this, [this](int days) { PeriodChanged(days); });
}

Tzapujckyf::~Tzapujckyf() {
    // The rows read the loans; they go before the loans do.
    ui_->zapujckytw->clear();
}

QDate Tzapujckyf::Today() const { return fixed_today_.isValid() ? fixed_today_ : QDate::currentDate(); }

int Tzapujckyf::Period() const { return ui_->lhutaspin->value(); }

void Tzapujckyf::Refresh() {
    today_ = Today();
    std::vector<Loan> loans = ReadLoans(session_.Connection(), today_);
    loans_ = std::move(loans);
    ++refreshes_;
    for (auto& column : keys_->made) column.assign(loans_.size(), std::nullopt);
    Rebuild();
}

void Tzapujckyf::Forget(const std::vector<LoanRow>& rows) {
    std::set<std::string> gone;
    for (const LoanRow& row : rows) gone.insert(row.rowid);
    std::vector<Loan> kept;
    std::array<std::vector<std::optional<QCollatorSortKey>>, ColumnCount> keys;
    for (size_t i = 0; i < loans_.size(); ++i) {
        if (gone.count(loans_[i].row.rowid)) continue;
        kept.push_back(std::move(loans_[i]));
        for (int c = 0; c < ColumnCount; ++c) keys[c].push_back(std::move(keys_->made[c][i]));
    }
    loans_ = std::move(kept);
    keys_->made = std::move(keys);
    Rebuild();
}

void Tzapujckyf::CatalogueChanged() {
    if (!isVisible() || refresh_pending_) return;
    refresh_pending_ = true;
    QTimer::singleShot(0, this, [this, asked = refreshes_] {
        refresh_pending_ = false;
        if (isVisible() && refreshes_ == asked) RunGuarded(session_.Ui(), [this] { Refresh(); });
    });
}

QStringList Tzapujckyf::ColumnTitles() const {
    QStringList titles;
    const QTreeWidgetItem* header = ui_->zapujckytw->headerItem();
    for (int c = 0; c < ColumnCount; ++c) titles << header->text(c);
    return titles;
}

QStringList Tzapujckyf::RowTexts(const Loan& loan) const {
    const bool known = loan.date.Known();
    return {loan.komu,
            loan.kdy,
            loan.date.Shown(),
            known ? QString::number(loan.date.DaysOut(today_)) : QString(),
            IsOverdue(loan.date, today_, Period()) ? QString::fromUtf8(kOverdueWord) : QString(),
            loan.autor,
            loan.titul,
            loan.umisteni};
}

QString Tzapujckyf::CellText(int loan, int column) const {
    const Loan& l = loans_[static_cast<size_t>(loan)];
    switch (column) {
    case Komu: return grouped_ ? QString() : l.komu;
    case Kdy: return l.kdy;
    case Datum: return l.date.Shown();
    case Dni: return l.date.Known() ? QString::number(l.date.DaysOut(today_)) : QString();
    case Stav: return Overdue(loan) ? QString::fromUtf8(kOverdueWord) : QString();
    case Autor: return l.autor;
    case Titul: return l.titul;
    case Umisteni: return l.umisteni;
    }
    return {};
}

bool Tzapujckyf::Overdue(int loan) const {
    return IsOverdue(loans_[static_cast<size_t>(loan)].date, today_, Period());
}

void Tzapujckyf::Rebuild() {
    QTreeWidget& tree = *ui_->zapujckytw;
    grouped_ = ui_->seskupitchb->isChecked();
    tree.setUpdatesEnabled(false);
    tree.setSortingEnabled(false);
    tree.clear();
    tree.setRootIsDecorated(grouped_);

    QList<QTreeWidgetItem*> top;
    std::map<std::string, LoanItem*> groups;
    for (int i = 0; i < static_cast<int>(loans_.size()); ++i) {
        const Loan& loan = loans_[static_cast<size_t>(i)];
        auto* item = new LoanItem(*this, i);
        if (!grouped_) {
            top.append(item);
            continue;
        }
        LoanItem*& group = groups[loan.row.komu];
        if (!group) {
            group = new LoanItem(*this, -1);
            group->setData(Komu, Qt::UserRole + 1, loan.komu);
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

void Tzapujckyf::ShowOverdue() {
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

void Tzapujckyf::ApplyFilter() {
    QTreeWidget& tree = *ui_->zapujckytw;
    const QString needle = Fold(ui_->hledatle->text().trimmed());
    const auto matches = [&](const QTreeWidgetItem* item) {
        if (needle.isEmpty()) return true;
        const Loan& loan = loans_[static_cast<size_t>(LoanIndex(*item))];
        for (const QString& text : RowTexts(loan))
            if (Fold(text).contains(needle)) return true;
        return false;
    };
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
        top->setText(Komu, (name.isEmpty() ? QString::fromUtf8(kNoName) : name) +
                               QStringLiteral(" (%1)").arg(shown));
        if (top->isHidden() != (shown == 0)) top->setHidden(shown == 0);
    }
}

void Tzapujckyf::PeriodChanged(int days) {
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

const QCollatorSortKey& Tzapujckyf::SortKey(int loan, int column) const {
    std::optional<QCollatorSortKey>& key = keys_->made[static_cast<size_t>(column)][static_cast<size_t>(loan)];
    if (!key) {
        const Loan& l = loans_[static_cast<size_t>(loan)];
        key = keys_->order.SortKey(column == Komu ? l.komu : column == Kdy ? l.kdy : column == Autor ? l.autor
                                   : column == Titul ? l.titul : l.umisteni);
    }
    return *key;
}

bool Tzapujckyf::LessThan(const QTreeWidgetItem& a, const QTreeWidgetItem& b) const {
    const QTreeWidget* tree = ui_->zapujckytw;
    const int ia = LoanIndex(a), ib = LoanIndex(b);
    if (ia < 0 || ib < 0) {
        // Borrowers' rows: by name whatever the column, the nameless one last.
        const QString na = a.data(Komu, Qt::UserRole + 1).toString();
        const QString nb = b.data(Komu, Qt::UserRole + 1).toString();
        if (na.isEmpty() != nb.isEmpty()) return nb.isEmpty();
        return keys_->order.Compare(na, nb) < 0;
    }
    const Loan& la = loans_[static_cast<size_t>(ia)];
    const Loan& lb = loans_[static_cast<size_t>(ib)];
    const int column = tree->sortColumn();
    const bool descending = tree->header()->sortIndicatorOrder() == Qt::DescendingOrder;
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
            return column == Komu ? l.row.komu : column == Kdy ? l.row.kdy : column == Autor ? l.row.autor
                 : column == Titul ? l.row.titul : l.row.umisteni;
        };
        if (bytes(la) != bytes(lb)) order = SortKey(ia, column).compare(SortKey(ib, column));
    }
    }
    return order != 0 ? order < 0 : ia < ib;
}

std::vector<const Loan*> Tzapujckyf::ShownLoans() const {
    std::vector<const Loan*> shown;
    const QTreeWidget& tree = *ui_->zapujckytw;
    const auto add = [&](const QTreeWidgetItem* item) {
        if (!item->isHidden()) shown.push_back(&loans_[static_cast<size_t>(LoanIndex(*item))]);
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

std::vector<const Loan*> Tzapujckyf::SelectedLoans() const {
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
    for (int i : chosen) loans.push_back(&loans_[static_cast<size_t>(i)]);
    return loans;
}

void Tzapujckyf::vracenobClick() {
    const std::vector<const Loan*> chosen = SelectedLoans();
    UiServices& ui = session_.Ui();
    if (chosen.empty()) {
        ui.InformationBox(QString::fromUtf8(kCaption),
                          QStringLiteral("Vyberte v seznamu knihy, které se vrátily."));
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
    emit session_.LoanFieldsChanged(*changed, QString(), QString());
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

QString Tzapujckyf::ReminderUrl(const std::vector<const Loan*>& loans) {
    QString body = QStringLiteral("Dobrý den,\r\n\r\ndovoluji si připomenout knihy, které máte "
                                  "ode mě vypůjčené:\r\n\r\n");
    for (const Loan* loan : loans) {
        body += QStringLiteral("- ") + loan->autor + QStringLiteral(": ") + loan->titul;
        if (!loan->kdy.trimmed().isEmpty()) body += QStringLiteral(" (od ") + loan->kdy.trimmed() + u')';
        body += QStringLiteral("\r\n");
    }
    body += QStringLiteral("\r\nDěkuji a zdravím.\r\n");
    const QString subject = QStringLiteral("Připomínka vypůjčených knih");
    // Every reserved character is escaped, so a title with "&" or "?" stays in the body.
    return QStringLiteral("mailto:?subject=") + QString::fromLatin1(QUrl::toPercentEncoding(subject)) +
           QStringLiteral("&body=") + QString::fromLatin1(QUrl::toPercentEncoding(body));
}

void Tzapujckyf::pripomenoutbClick() {
    UiServices& ui = session_.Ui();
    const QTreeWidgetItem* current = ui_->zapujckytw->currentItem();
    std::optional<std::string> name;
    if (current && !current->isHidden()) {
        const int index = LoanIndex(*current);
        if (index >= 0)
            name = loans_[static_cast<size_t>(index)].row.komu;
        else if (current->childCount() > 0)
            name = loans_[static_cast<size_t>(LoanIndex(*current->child(0)))].row.komu;
    }
    if (!name || name->empty()) {
        ui.InformationBox(QString::fromUtf8(kCaption),
                          QStringLiteral("Vyberte v seznamu vypůjčitele nebo některou z jeho knih."));
        return;
    }
    std::vector<const Loan*> theirs;
    for (const Loan& loan : loans_)
        if (loan.row.komu == *name) theirs.push_back(&loan);
    const QString url = ReminderUrl(theirs);
    if (!ui.OpenUrl(QUrl(url, QUrl::StrictMode)))
        throw std::runtime_error("E-mailový program se nepodařilo otevřít.");
}

void Tzapujckyf::csvbClick() {
    const std::optional<QString> path = session_.Ui().ChooseSaveFile(
        QStringLiteral("Export zápůjček do CSV"), QStringLiteral("zapujcky.csv"),
        QStringLiteral("CSV (*.csv)"));
    if (!path) return;
    QString text;
    const auto line = [&](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields) quoted << CsvField(f);
        text += quoted.join(u';') + QStringLiteral("\r\n");
    };
    line(ColumnTitles());
    for (const Loan* loan : ShownLoans()) line(RowTexts(*loan));
    QSaveFile file(*path);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw std::runtime_error(
            QStringLiteral("Soubor „%1“ se nepodařilo zapsat: %2").arg(*path, file.errorString()).toStdString());
}

void Tzapujckyf::pdfbClick() {
    const std::optional<QString> path = session_.Ui().ChooseSaveFile(
        QStringLiteral("Export zápůjček do PDF"), QStringLiteral("zapujcky.pdf"),
        QStringLiteral("PDF (*.pdf)"));
    if (!path) return;
    QString html = QStringLiteral("<h2>Zápůjčky</h2><p>") + SummaryText(Summarize(loans_, today_, Period())).toHtmlEscaped() +
                   QStringLiteral("</p><table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>");
    for (const QString& title : ColumnTitles()) html += QStringLiteral("<th>") + title.toHtmlEscaped() + QStringLiteral("</th>");
    html += QStringLiteral("</tr>");
    for (const Loan* loan : ShownLoans()) {
        const bool overdue = IsOverdue(loan->date, today_, Period());
        html += overdue ? QStringLiteral("<tr style=\"color:#960000;background-color:#ffe2e2\">")
                        : QStringLiteral("<tr>");
        for (const QString& text : RowTexts(*loan))
            html += QStringLiteral("<td>") + text.toHtmlEscaped() + QStringLiteral("</td>");
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table>");

    // Printed beside the target first: a failed print must not leave half a
    // file where a good one was.
    const QString part = *path + QStringLiteral(".part");
    QFile::remove(part);
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setOutputFileName(part);
        QTextDocument document;
        document.setHtml(html);
        document.print(&printer);
    }
    if (QFileInfo(part).size() <= 0 || (QFile::exists(*path) && !QFile::remove(*path)) ||
        !QFile::rename(part, *path)) {
        QFile::remove(part);
        throw std::runtime_error(QStringLiteral("Soubor „%1“ se nepodařilo zapsat.").arg(*path).toStdString());
    }
}
