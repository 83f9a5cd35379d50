// The window "přidat podle ISBN": the scanning queue, its look-ups and the batch store.
#include "app/isbn/isbn_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>

#include "app/isbn/isbn_sources.h"
#include "app/core/codepage.h"
#include "app/platform/error_box.h"
#include "app/platform/ui_services.h"
#include "app/platform/value_lists.h"
#include "catalogue/isbn.h"
#include "catalogue/isbn_store.h"
#include "storage/connection.h"
#include "storage/query.h"
#include "ui_isbn_window.h"

namespace {

const char* const kHledam = "hledám";
const char* const kNalezeno = "nalezeno";
const char* const kNenalezeno = "nenalezeno";
const char* const kChybaSite = "chyba sítě";
const char* const kChyba = "chyba";
const char* const kVKatalogu = "už v katalogu";
const char* const kUlozeno = "uloženo";

QString FaultNote(isbn::Fault fault) {
    switch (fault) {
    case isbn::Fault::Empty: return QStringLiteral("Zadejte ISBN.");
    case isbn::Fault::Character: return QStringLiteral("ISBN obsahuje nepřípustný znak.");
    case isbn::Fault::Length: return QStringLiteral("ISBN musí mít 10 nebo 13 číslic.");
    case isbn::Fault::CheckDigit: return QStringLiteral("Kontrolní číslice nesouhlasí.");
    case isbn::Fault::Prefix: return QStringLiteral("ISBN-13 začíná 978 nebo 979.");
    case isbn::Fault::None: break;
    }
    return {};
}

// The text with every character the code page cannot hold replaced by "?".
QString Fitted(const QString& text, bool& replaced) {
    if (FitsCodePage(text)) return text;
    QString out;
    for (const QChar c : text) {
        if (FitsCodePage(QString(c))) {
            out += c;
        } else if (!c.isLowSurrogate()) {
            out += u'?';
            replaced = true;
        }
    }
    return out;
}

// The column's values with none of them current, and the text typed so far kept.
void FillList(ValueLists& lists, ValueLists::Column column, QComboBox& box) {
    const QString kept = box.currentText();
    lists.FillEmpty(column, box);
    box.setEditText(kept);
}

}  // namespace

IsbnWindow::IsbnWindow(IsbnWindowContext context, QWidget* parent)
    : QWidget(parent, Qt::Window), context_(std::move(context)), ui_(std::make_unique<Ui::IsbnWindow>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("isbnf"));
    setAttribute(Qt::WA_DeleteOnClose);

    QTableWidget* t = ui_->frontatw;
    t->setColumnCount(ColumnCount);
    t->setHorizontalHeaderLabels({QStringLiteral("ISBN"), QStringLiteral("stav"), QStringLiteral("autor"),
                                  QStringLiteral("titul"), QStringLiteral("vydal"), QStringLiteral("rok"),
                                  QStringLiteral("série"), QStringLiteral("zdroj"), QStringLiteral("umístění"),
                                  QStringLiteral("žánr")});
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    // The whole ISBN beside its tick box.
    t->setColumnWidth(Isbn, fontMetrics().horizontalAdvance(QStringLiteral("9788071061311")) + 48);
    // A scanner types digits and Enter into whatever has the focus: a cell is
    // edited only on purpose (double click, F2), the rest goes to the scan field.
    t->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    t->installEventFilter(this);

    const IsbnSourceList sources = ReadIsbnSources(context_.settingsPath);
    QStringList notes = sources.faults;
    if (sources.sources.empty())
        notes.prepend(
            QStringLiteral("Vyhledávání je vypnuto (klíč „zdrojeisbn“ je prázdný); "
                           "ISBN se jen zařadí a údaje lze vepsat ručně."));
    ui_->zdrojel->setText(notes.join(QStringLiteral(" ")));
    ui_->zdrojel->setVisible(!notes.isEmpty());

    lookup_ = new IsbnLookup(sources.sources, this);
    connect(lookup_, &IsbnLookup::Finished, this,
            [this](int ticket, const LookupResult& r) { RunGuarded(*context_.ui, [&] { Finished(ticket, r); }); });
    connect(ui_->isbnle, &QLineEdit::returnPressed, this, [this] { QueueTyped(); });
    connect(ui_->ulozitb, &QPushButton::clicked, this,
            [this] { RunGuarded(*context_.ui, [this] { ulozitbClick(); }); });
    connect(ui_->zavritb, &QPushButton::clicked, this, &QWidget::close);
    connect(t, &QTableWidget::cellClicked, this, [this](int row, int) {
        RowClicked(row);
        ui_->isbnle->setFocus(Qt::OtherFocusReason);
    });
    ui_->isbnle->installEventFilter(this);

    RunGuarded(*context_.ui, [this] { CatalogueChanged(); });
    ui_->isbnle->setFocus(Qt::OtherFocusReason);
}

IsbnWindow::~IsbnWindow() = default;

bool IsbnWindow::QueueTyped() {
    const std::string typed = ui_->isbnle->text().toStdString();
    const std::optional<std::string> stored = isbn::Normalize(typed);
    if (!stored) {
        // Refused at once, visibly and without a sound; the text stays to be corrected.
        ui_->poznamkal->setText(FaultNote(isbn::Check(typed)));
        ui_->isbnle->setStyleSheet(QStringLiteral("QLineEdit { background: #f8d0d0; }"));
        ui_->isbnle->selectAll();
        return false;
    }
    ui_->poznamkal->clear();
    ui_->isbnle->setStyleSheet({});
    ui_->isbnle->clear();

    const int row = static_cast<int>(rows_.size());
    rows_.push_back({QString::fromStdString(*stored), 0, {}, {}, false});
    QTableWidget* t = ui_->frontatw;
    t->insertRow(row);
    for (int c = 0; c < ColumnCount; ++c) {
        auto* item = new QTableWidgetItem;
        if (c == Isbn || c == Stav || c == Zdroj) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        t->setItem(row, c, item);
    }
    t->item(row, Isbn)->setText(rows_.back().isbn);
    t->item(row, Isbn)->setCheckState(Qt::Unchecked);
    SetState(row, QString::fromUtf8(kHledam));
    rows_.back().ticket = lookup_->Start(rows_.back().isbn);
    return true;
}

void IsbnWindow::SetState(int row, const QString& state, const QString& note) {
    rows_[row].state = state;
    QTableWidgetItem* item = ui_->frontatw->item(row, Stav);
    item->setText(note.isEmpty() ? state : state + QStringLiteral(": ") + note);
    item->setToolTip(note);
}

int IsbnWindow::RowCount() const { return static_cast<int>(rows_.size()); }
QString IsbnWindow::StateText(int row) const { return ui_->frontatw->item(row, Stav)->text(); }
QString IsbnWindow::Cell(int row, Column column) const { return ui_->frontatw->item(row, column)->text(); }

void IsbnWindow::Finished(int ticket, const LookupResult& result) {
    int row = 0;
    while (row < RowCount() && rows_[row].ticket != ticket) ++row;
    if (row == RowCount()) return;
    Row& r = rows_[row];
    r.ticket = 0;
    switch (result.state) {
    case LookupResult::State::Found:
        r.candidates = result.candidates;
        ShowCandidate(row, r.candidates.front());
        return;
    case LookupResult::State::NotFound: SetState(row, QString::fromUtf8(kNenalezeno)); return;
    case LookupResult::State::NetworkError: SetState(row, QString::fromUtf8(kChybaSite), result.note); return;
    case LookupResult::State::BadAnswer: SetState(row, QString::fromUtf8(kChyba), result.note); return;
    }
}

void IsbnWindow::ShowCandidate(int row, const FoundRecord& record) {
    QTableWidget* t = ui_->frontatw;
    const QSignalBlocker quiet(t);
    bool replaced = false;
    t->item(row, Autor)->setText(Fitted(record.autor, replaced));
    t->item(row, Titul)->setText(Fitted(record.titul, replaced));
    t->item(row, Vydal)->setText(Fitted(record.vydal, replaced));
    t->item(row, Rok)->setText(record.rok);
    t->item(row, Serie)->setText(Fitted(record.serie, replaced));
    t->item(row, Zdroj)->setText(record.source);
    if (!record.zanr.isEmpty() && t->item(row, Zanr)->text().isEmpty())
        t->item(row, Zanr)->setText(Fitted(record.zanr, replaced));

    // Several candidates: a choice among them in the source column.
    if (rows_[row].candidates.size() > 1 && !t->cellWidget(row, Zdroj)) {
        auto* choice = new QComboBox(t);
        for (const FoundRecord& c : rows_[row].candidates)
            choice->addItem(c.source + QStringLiteral(": ") + c.autor + QStringLiteral(" – ") + c.titul);
        connect(choice, &QComboBox::currentIndexChanged, this, [this, choice](int index) {
            for (int r = 0; r < RowCount(); ++r)
                if (ui_->frontatw->cellWidget(r, Zdroj) == choice && index >= 0 &&
                    index < static_cast<int>(rows_[r].candidates.size()))
                    ShowCandidate(r, rows_[r].candidates[index]);
        });
        t->setCellWidget(row, Zdroj, choice);
    }
    SetState(row, QString::fromUtf8(kNalezeno),
             replaced ? QStringLiteral("znaky, které katalog neumí uložit, jsou nahrazeny „?“") : QString());
    t->item(row, Isbn)->setCheckState(Qt::Checked);
    MarkDuplicate(row);
}

void IsbnWindow::MarkDuplicate(int row) {
    ReadCatalogueKeys();
    NewBook b;
    b.udaj1 = rows_[row].isbn.toStdString();
    bool fits = true;
    try {
        b.autor = ToCodePage(Cell(row, Autor));
        b.titul = ToCodePage(Cell(row, Titul));
    } catch (const CodePageError&) {
        fits = false;
    }
    const Duplicate d = fits ? keys_->Check(b) : Duplicate::None;
    if (d == Duplicate::None) return;
    SetState(row, QString::fromUtf8(kVKatalogu),
             d == Duplicate::Isbn ? QStringLiteral("stejné ISBN") : QStringLiteral("stejný autor a titul"));
    ui_->frontatw->item(row, Isbn)->setCheckState(Qt::Unchecked);
}

void IsbnWindow::ReadCatalogueKeys() {
    if (!keys_) keys_ = ::ReadCatalogueKeys(*context_.db);
}

void IsbnWindow::CatalogueChanged() {
    keys_.reset();
    FillList(*context_.lists, ValueLists::Umisteni, *ui_->umistenicb);
    FillList(*context_.lists, ValueLists::Zanr, *ui_->zanrcb);
}

void IsbnWindow::ulozitbClick() {
    QTableWidget* t = ui_->frontatw;
    std::vector<int> chosen;
    std::vector<NewBook> books;
    // Every text is converted before anything runs, so a refused character stores nothing.
    for (int row = 0; row < RowCount(); ++row) {
        if (rows_[row].stored || t->item(row, Isbn)->checkState() != Qt::Checked) continue;
        NewBook b;
        bool replaced = false;
        auto take = [&](const QString& text) { return ToCodePage(Fitted(text.trimmed(), replaced)); };
        b.autor = take(Cell(row, Autor));
        b.titul = take(Cell(row, Titul));
        b.vydal = take(Cell(row, Vydal));
        b.serie = take(Cell(row, Serie));
        const QString umisteni = Cell(row, Umisteni).isEmpty() ? ui_->umistenicb->currentText() : Cell(row, Umisteni);
        const QString zanr = Cell(row, Zanr).isEmpty() ? ui_->zanrcb->currentText() : Cell(row, Zanr);
        b.umisteni = take(umisteni);
        b.zanr = take(zanr);
        b.udaj1 = rows_[row].isbn.toStdString();
        if (!Storable(b)) {
            t->setCurrentCell(row, b.autor.empty() ? Autor : Titul);
            throw std::runtime_error("Řádek s ISBN " + b.udaj1 + " nemá autora nebo titul; nic nebylo uloženo.");
        }
        chosen.push_back(row);
        books.push_back(std::move(b));
    }
    if (books.empty()) {
        context_.ui->InformationBox(windowTitle(), QStringLiteral("Není zaškrtnutý žádný řádek k uložení."));
        return;
    }
    const bool stored = context_.change({}, [&] {
        StoreNewBooks(*context_.db, books);
        RowsChange change;
        change.changed = static_cast<int64_t>(books.size());
        change.readAnew = true;
        return change;
    });
    if (!stored) return;
    ReadCatalogueKeys();
    for (size_t i = 0; i < chosen.size(); ++i) {
        const int row = chosen[i];
        rows_[row].stored = true;
        keys_->Add(books[i]);
        t->item(row, Isbn)->setCheckState(Qt::Unchecked);
        t->item(row, Isbn)->setFlags(t->item(row, Isbn)->flags() & ~Qt::ItemIsUserCheckable);
        for (int c = 0; c < ColumnCount; ++c) t->item(row, c)->setFlags(t->item(row, c)->flags() & ~Qt::ItemIsEditable);
        SetState(row, QString::fromUtf8(kUlozeno));
    }
}

void IsbnWindow::RowClicked(int row) {
    if (row < 0 || row >= RowCount() || rows_[row].candidates.empty() || !context_.showPage) return;
    int index = 0;
    if (auto* choice = qobject_cast<QComboBox*>(ui_->frontatw->cellWidget(row, Zdroj)))
        index = std::max(0, choice->currentIndex());
    const QString page = rows_[row].candidates[static_cast<size_t>(index)].page;
    if (!page.isEmpty()) context_.showPage(QUrl(page));
}

bool IsbnWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* scan = ui_->isbnle;
    if (watched == ui_->frontatw) {
        // Typed into the queue itself, so no cell is being edited: a scan that went astray.
        const bool ends = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Tab;
        const QString text = key->text();
        if (!text.isEmpty() && text.front().isPrint() && !text.front().isSpace() &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            scan->setFocus(Qt::OtherFocusReason);
            scan->insert(text);
            return true;
        }
        if (ends && !scan->text().isEmpty()) {
            scan->setFocus(Qt::OtherFocusReason);
            QueueTyped();
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched != scan) return QWidget::eventFilter(watched, event);
    // A scanner that ends its code with Tab: taken as Enter, the focus stays.
    if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier && !scan->text().isEmpty()) {
        QueueTyped();
        return true;
    }
    // Typing again clears the mark of a refused number.
    if (key->key() != Qt::Key_Return && !ui_->poznamkal->text().isEmpty()) {
        ui_->poznamkal->clear();
        scan->setStyleSheet({});
    }
    return QWidget::eventFilter(watched, event);
}

void IsbnWindow::closeEvent(QCloseEvent* event) {
    lookup_->CancelAll();
    QWidget::closeEvent(event);
}
