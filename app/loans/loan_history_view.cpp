#include "app/loans/loan_history_view.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/loans/borrower_card_dialog.h"
#include "app/loans/loan_history_model.h"
#include "app/loans/loan_line_dialog.h"
#include "app/platform/catalogue_session.h"
#include "app/core/codepage.h"
#include "app/platform/error_box.h"
#include "app/platform/table_export.h"
#include "app/platform/ui_services.h"
#include "catalogue/loan_history.h"
#include "storage/query.h"

static_assert(static_cast<int>(LoanHistoryView::ColumnCount) == LoanHistoryModel::ColumnCount &&
              static_cast<int>(LoanHistoryView::Titul) == LoanHistoryModel::Titul &&
              static_cast<int>(LoanHistoryView::ByBook) == LoanHistoryModel::ByBook);

LoanHistoryView::LoanHistoryView(TASQLite3DB& db, UiServices& ui, QWidget* parent, long long rowKey)
    : QWidget(parent, Qt::Window), db_(db), services_(ui), rowKey_(rowKey), today_(QDate::currentDate()),
      model_(new LoanHistoryModel(this)) {
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

    list_ = new QTreeView(this);
    list_->setAccessibleName(QStringLiteral("historie výpůjček"));
    // Every row one line high: the view then lays out 100,000 rows without measuring them.
    list_->setUniformRowHeights(true);
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->header()->setSortIndicator(Vraceno, Qt::AscendingOrder);
    list_->setSortingEnabled(true);
    list_->header()->setSectionsMovable(false);
    layout->addWidget(list_, 1);

    auto* bottom = new QHBoxLayout;
    summary_ = new QLabel(this);
    auto* csv = new QPushButton(QStringLiteral("do &CSV…"), this);
    auto* pdf = new QPushButton(QStringLiteral("do &PDF…"), this);
    auto* close = new QPushButton(QStringLiteral("&zavřít"), this);
    edit_ = new QPushButton(QStringLiteral("&opravit…"), this);
    remove_ = new QPushButton(QStringLiteral("s&mazat"), this);
    auto* card = new QPushButton(QStringLiteral("&karta vypůjčitele…"), this);
    edit_->setEnabled(false);
    remove_->setEnabled(false);
    bottom->addWidget(summary_, 1);
    bottom->addWidget(edit_);
    bottom->addWidget(remove_);
    bottom->addWidget(card);
    bottom->addWidget(csv);
    bottom->addWidget(pdf);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    connect(csv, &QPushButton::clicked, this, [this] { RunGuarded(services_, [this] { csvbClick(); }); });
    connect(pdf, &QPushButton::clicked, this, [this] { RunGuarded(services_, [this] { pdfbClick(); }); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(edit_, &QPushButton::clicked, this, [this] { RunGuarded(services_, [this] { opravitbClick(); }); });
    connect(remove_, &QPushButton::clicked, this, [this] { RunGuarded(services_, [this] { smazatbClick(); }); });
    connect(card, &QPushButton::clicked, this, [this] { RunGuarded(services_, [this] { kartabClick(); }); });
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) { model_->SetFilter(text); });
    connect(grouping_, &QComboBox::currentIndexChanged, this,
            [this](int grouping) { model_->SetGrouping(static_cast<LoanHistoryModel::Grouping>(grouping)); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { SpanGroupLabels(); });
}

LoanHistoryView::~LoanHistoryView() = default;

QStringList LoanHistoryView::ColumnTitles() { return LoanHistoryModel::ColumnTitles(); }

// Group labels stand over the whole row.
void LoanHistoryView::SpanGroupLabels() {
    if (model_->CurrentGrouping() == LoanHistoryModel::NoGroups) return;
    const int rows = model_->rowCount();
    for (int row = 0; row < rows; ++row)
        if (model_->IsGroup(model_->index(row, 0))) list_->setFirstColumnSpanned(row, QModelIndex(), true);
}

void LoanHistoryView::SetGrouping(Grouping grouping) { grouping_->setCurrentIndex(grouping); }

void LoanHistoryView::Refresh() {
    const std::string condition = rowKey_ > 0 ? "rowid=" + std::to_string(rowKey_) : std::string();
    std::optional<QString> title;
    // Straight from the rows to the model: no copy of a large catalogue's history on the way.
    model_->Load(
        [&](const LoanBookVisitor& visit) {
            VisitLoanHistories(db_, condition,
                               [&](int64_t key, std::string_view autor, std::string_view titul,
                                   const std::vector<LoanLineView>& lines) {
                                   if (rowKey_ > 0) title = FromCodePage(titul);
                                   visit(key, autor, titul, lines);
                               });
        },
        today_);
    if (title) setWindowTitle(QStringLiteral("historie výpůjček – ") + *title);
    summary_->setText(QStringLiteral("Dokončených výpůjček: %1.").arg(model_->Loans()));
}

std::vector<QStringList> LoanHistoryView::ShownRows() const { return model_->ShownRows(); }

void LoanHistoryView::SetWriter(RowsWriter writer) {
    writer_ = std::move(writer);
    edit_->setEnabled(static_cast<bool>(writer_));
    remove_->setEnabled(static_cast<bool>(writer_));
}

void LoanHistoryView::opravitbClick() { EditCurrent(false); }
void LoanHistoryView::smazatbClick() { EditCurrent(true); }

void LoanHistoryView::EditCurrent(bool remove) {
    const QString caption = QStringLiteral("historie výpůjček");
    const QModelIndex current = list_->currentIndex();
    const std::optional<LoanHistoryModel::Origin> origin = model_->OriginOf(current);
    if (!writer_ || !origin) {
        services_.InformationBox(caption, QStringLiteral("Vyberte řádek historie."));
        return;
    }
    const QStringList texts = model_->Texts(current);
    const FinishedLoan shown{ToCodePage(texts[Komu]), ToCodePage(texts[Od]), texts[Vraceno].toStdString()};
    std::optional<FinishedLoan> replacement;
    if (remove) {
        if (!services_.Question(caption, QStringLiteral("Opravdu smazat tento řádek historie?"))) return;
    } else {
        LoanLineDialog dialog(texts[Komu], texts[Od], texts[Vraceno], this);
        services_.ExecModal(dialog);
        if (dialog.result() != QDialog::Accepted) return;
        const MendedLoanLine before{texts[Komu], texts[Od], texts[Vraceno]};
        const MendCheck mended = CheckMendedLoanLine(
            before, {dialog.Komu()->text(), dialog.Kdy()->text(), dialog.Returned()->text()}, QDate::currentDate());
        if (!mended.line) {
            services_.ErrorBox(caption, mended.problem);
            return;
        }
        const MendedLoanLine& line = *mended.line;
        if (line.komu == before.komu && line.kdy == before.kdy && line.returned == before.returned) return;
        replacement = FinishedLoan{ToCodePage(line.komu), ToCodePage(line.kdy), line.returned.toStdString()};
    }
    LoanLineEdit result = LoanLineEdit::Changed;
    writer_({origin->rowKey}, [&] {
        result = EditLoanLine(db_, origin->rowKey, static_cast<size_t>(origin->line), shown, replacement);
        RowsChange change;
        change.rows = {origin->rowKey};
        change.changed = result == LoanLineEdit::Done ? 1 : 0;
        change.treeShape = false;
        return change;
    });
    if (result == LoanLineEdit::Foreign)
        services_.ErrorBox(caption,
                           QStringLiteral("Pole udaj3 této knihy obsahuje jiná data, historii nelze upravit."));
    else if (result == LoanLineEdit::Changed)
        services_.ErrorBox(caption, QStringLiteral("Řádek historie se mezitím změnil; seznam je načten znovu."));
    Refresh();
}

void LoanHistoryView::kartabClick() {
    QModelIndex line = list_->currentIndex();
    // A borrower's label stands right above the borrower's first loan shown.
    if (model_->IsGroup(line) && model_->CurrentGrouping() == LoanHistoryModel::ByBorrower)
        line = model_->index(line.row() + 1, 0);
    const QStringList texts = model_->Texts(line);
    if (!session_ || texts.isEmpty()) {
        services_.InformationBox(QStringLiteral("historie výpůjček"), QStringLiteral("Vyberte řádek historie."));
        return;
    }
    ShowBorrowerCard(*session_, texts[Komu]);
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
        view->SetCardSession(session);
        view->SetWriter([&session](const std::vector<int64_t>& rows, const std::function<RowsChange()>& write) {
            return session.Change(rows, write);
        });
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
