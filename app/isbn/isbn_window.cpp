// The window "přidat podle ISBN": the scanning queue, its look-ups and the batch store.
#include "app/isbn/isbn_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QScopeGuard>
#include <QTimer>
#include <QUrl>

#include "app/isbn/catalogue_keys_reader.h"
#include "app/isbn/isbn_sources.h"
#include "app/isbn/merged_sources.h"
#include "app/isbn/queue_states.h"
#include "app/core/codepage.h"
#include "app/platform/error_box.h"
#include "app/platform/ui_services.h"
#include "app/platform/value_lists.h"
#include "catalogue/bib_details.h"
#include "catalogue/isbn.h"
#include "catalogue/isbn_store.h"
#include "storage/connection.h"
#include "storage/errors.h"
#include "storage/query.h"
#include "ui_isbn_window.h"

namespace {

const char* const kVKatalogu = "už v katalogu";
const char* const kUlozeno = "uloženo";
const char* const kVeFronte = "už ve frontě";
// A locked catalogue is read again after this long, not waited on.
constexpr int kRetryMs = 1000;

// The cells another source may have filled in or seen otherwise.
const std::pair<IsbnWindow::Column, FoundRecord::Field> kNotedCells[] = {
    {IsbnWindow::Autor, FoundRecord::Field::Autor}, {IsbnWindow::Titul, FoundRecord::Field::Titul},
    {IsbnWindow::Vydal, FoundRecord::Field::Vydal}, {IsbnWindow::Rok, FoundRecord::Field::Rok},
    {IsbnWindow::Serie, FoundRecord::Field::Serie}, {IsbnWindow::Zanr, FoundRecord::Field::Zanr}};

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
    // A scanner types digits and Enter into whatever has the focus: a cell is
    // edited only on purpose (double click, F2), the rest goes to the scan field.
    t->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    t->installEventFilter(this);
    SetUpView();

    const IsbnSourceList sources = ReadIsbnSources(context_.settingsPath);
    QStringList notes = sources.faults;
    if (sources.sources.empty())
        notes.prepend(
            QStringLiteral("Vyhledávání je vypnuto (klíč „zdrojeisbn“ je prázdný); "
                           "ISBN se jen zařadí a údaje lze vepsat ručně."));
    ui_->zdrojel->setText(notes.join(QStringLiteral(" ")));
    ui_->zdrojel->setVisible(!notes.isEmpty());

    lookup_ = new IsbnLookup(sources.sources, this);
    reader_ = new CatalogueKeysReader(
        [this](const CatalogueKeysReader::Outcome& o) {
            RunGuarded(*context_.ui, [&] { KeysRead(o.path, o.keys, o.failure); });
        },
        this);
    connect(lookup_, &IsbnLookup::Finished, this,
            [this](int ticket, const LookupResult& r) { RunGuarded(*context_.ui, [&] { Finished(ticket, r); }); });
    connect(ui_->isbnle, &QLineEdit::returnPressed, this, [this] { QueueTyped(); });
    connect(ui_->ulozitb, &QPushButton::clicked, this,
            [this] { RunGuarded(*context_.ui, [this] { ulozitbClick(); }); });
    connect(ui_->zavritb, &QPushButton::clicked, this, &QWidget::close);
    connect(t, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) { ItemChanged(item); });
    connect(t, &QTableWidget::cellClicked, this, [this](int row, int) {
        RowClicked(row);
        ui_->isbnle->setFocus(Qt::OtherFocusReason);
    });
    ui_->isbnle->installEventFilter(this);
    connect(ui_->nacistb, &QPushButton::clicked, this, [this] { LoadKept(); });
    connect(ui_->zahoditb, &QPushButton::clicked, this, [this] { DropKept(); });
    connect(ui_->zkusitb, &QPushButton::clicked, this, [this] { RetryFailed(); });

    RunGuarded(*context_.ui, [this] { CatalogueChanged(); });
    ui_->isbnle->setFocus(Qt::OtherFocusReason);
}

IsbnWindow::~IsbnWindow() = default;

bool IsbnWindow::QueueTyped() {
    const std::string typed = isbn::FromScan(ui_->isbnle->text().toStdString());
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
    const int row = AddRow(QString::fromStdString(*stored));
    SetState(row, QString::fromUtf8(kHledam));
    // Checked at once, whatever the sources will say.
    Recheck(row);
    rows_.back().ticket = lookup_->Start(rows_.back().isbn);
    return true;
}

int IsbnWindow::AddRow(const QString& isbn) {
    const int row = static_cast<int>(rows_.size());
    rows_.push_back({});
    rows_.back().isbn = isbn;
    QTableWidget* t = ui_->frontatw;
    filling_ = true;
    t->insertRow(row);
    for (int c = 0; c < ColumnCount; ++c) {
        auto* item = new QTableWidgetItem;
        if (c == Isbn || c == Stav || c == Zdroj) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        t->setItem(row, c, item);
    }
    t->item(row, Isbn)->setText(rows_.back().isbn);
    t->item(row, Isbn)->setCheckState(Qt::Unchecked);
    filling_ = false;
    return row;
}

void IsbnWindow::SetState(int row, const QString& state, const QString& note) {
    rows_[row].state = state;
    rows_[row].note = note;
    ShowState(row);
    Keep();
}

void IsbnWindow::ShowState(int row) {
    const Row& r = rows_[row];
    QString text;
    switch (r.mark) {
    case Mark::InQueue: text = QString::fromUtf8(kVeFronte); break;
    case Mark::SameIsbn: text = QString::fromUtf8(kVKatalogu) + QStringLiteral(": stejné ISBN"); break;
    case Mark::SameAuthorTitle: text = QString::fromUtf8(kVKatalogu) + QStringLiteral(": stejný autor a titul"); break;
    case Mark::None:
        text = r.note.isEmpty() ? r.state : r.state + QStringLiteral(": ") + r.note;
        if (!r.stored && !keys_ && !keysFailure_.isEmpty()) text += QStringLiteral("; ") + keysFailure_;
        break;
    }
    if (r.stored) text = QString::fromUtf8(kUlozeno);
    // Told apart at a glance: found green, already there yellow, not found or failed red.
    QColor colour;
    if (r.stored)
        colour = QColor(0xe0, 0xe0, 0xe0);
    else if (r.mark != Mark::None)
        colour = QColor(0xff, 0xe8, 0xa0);
    else if (r.state == QString::fromUtf8(kNalezeno))
        colour = QColor(0xc8, 0xf0, 0xc8);
    else if (r.state != QString::fromUtf8(kHledam))
        colour = QColor(0xf8, 0xd0, 0xd0);
    const QSignalBlocker quiet(ui_->frontatw);
    QTableWidgetItem* item = ui_->frontatw->item(row, Stav);
    item->setBackground(colour.isValid() ? QBrush(colour) : QBrush());
    item->setText(text);
    item->setToolTip(r.details.isEmpty() ? r.note : r.note + QStringLiteral("\n\nPodrobnosti:\n") + r.details);
}

void IsbnWindow::SetTick(int row, bool ticked) {
    if (rows_[row].userTicked || rows_[row].stored) return;
    filling_ = true;
    ui_->frontatw->item(row, Isbn)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    filling_ = false;
}

void IsbnWindow::ItemChanged(QTableWidgetItem* item) {
    if (filling_ || item->row() >= RowCount()) return;
    const int row = item->row();
    if (item->column() == Isbn) {
        rows_[row].userTicked = true;
        Keep();
        return;
    }
    rows_[row].edited.insert(item->column());
    // The user's own text: what the sources said of the cell no longer applies.
    filling_ = true;
    item->setToolTip({});
    item->setBackground(QBrush());
    filling_ = false;
    if (item->column() == Autor || item->column() == Titul) Recheck(row);
    Keep();
}

bool IsbnWindow::Checking() const { return reader_->Reading(); }

std::string IsbnWindow::CataloguePath() const {
    const QString name = QString::fromStdString(context_.db->Database());
    return QFileInfo(name).absoluteFilePath().toStdString();
}

void IsbnWindow::Recheck(int row) {
    Row& r = rows_[row];
    if (r.stored) return;
    Mark mark = Mark::None;
    for (int other = 0; other < row; ++other)
        if (rows_[other].isbn == r.isbn && !rows_[other].stored) mark = Mark::InQueue;
    if (mark == Mark::None && keys_) {
        NewBook b;
        b.udaj1 = r.isbn.toStdString();
        try {
            b.autor = ToCodePage(Cell(row, Autor).trimmed());
            b.titul = ToCodePage(Cell(row, Titul).trimmed());
        } catch (const CodePageError&) {
            b.autor.clear();  // a text the catalogue cannot hold is in no row of it
        }
        // Author and title count only when both are known.
        if (b.autor.empty() || b.titul.empty()) b.autor = b.titul = {};
        const Duplicate d = keys_->Check(b);
        if (d == Duplicate::Isbn) mark = Mark::SameIsbn;
        if (d == Duplicate::AuthorTitle) mark = Mark::SameAuthorTitle;
    }
    // A mark newly found outweighs an earlier tick; a tick given after it stands.
    if (mark != Mark::None && mark != r.mark) r.userTicked = false;
    r.mark = mark;
    if (mark != Mark::None)
        SetTick(row, false);
    else if (r.state == QString::fromUtf8(kNalezeno))
        SetTick(row, true);
    ShowState(row);
}

void IsbnWindow::RecheckAll() {
    for (int row = 0; row < RowCount(); ++row) Recheck(row);
}

void IsbnWindow::KeysRead(const std::string& path, std::optional<CatalogueKeys> keys, const QString& failure) {
    if (path != CataloguePath()) return;  // another catalogue is open by now; its read is under way
    if (!keys) {
        keysFailure_ = failure;
        QTimer::singleShot(kRetryMs, this, [this] {
            if (!keys_ && !reader_->Reading()) reader_->Read(CataloguePath());
        });
    } else {
        keysFailure_.clear();
        if (!keysPath_.empty() && keysPath_ != path)
            ui_->poznamkal->setText(QStringLiteral("Fronta je ověřena v nově otevřeném katalogu."));
        keys_ = std::move(keys);
        keysPath_ = path;
    }
    RecheckAll();
    Keep();
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
    if (r.stored) return;  // stored meanwhile: the row stays as the user stored it
    // A short sound for every answer, so the user need not look up while scanning.
    QApplication::beep();
    switch (result.state) {
    case LookupResult::State::Found:
        r.candidates = result.candidates;
        ShowCandidate(row, r.candidates.front(), false);
        return;
    case LookupResult::State::NotFound: SetState(row, QString::fromUtf8(kNenalezeno)); return;
    case LookupResult::State::NetworkError: SetState(row, QString::fromUtf8(kChybaSite), result.note); return;
    case LookupResult::State::BadAnswer:
        r.details = result.details;
        SetState(row, QString::fromUtf8(kChyba), result.note);
        return;
    }
}

void IsbnWindow::ShowCandidate(int row, const FoundRecord& record, bool chosen) {
    QTableWidget* t = ui_->frontatw;
    Row& r = rows_[row];
    // A candidate the user picks replaces what was found; an answer fills only
    // what the user has not typed.
    if (chosen) r.edited.clear();
    bool replaced = false;
    filling_ = true;
    const auto fill = [&](Column column, const QString& text) {
        if (!r.edited.count(column)) t->item(row, column)->setText(Fitted(text, replaced));
    };
    fill(Autor, record.autor);
    fill(Titul, record.titul);
    fill(Vydal, record.vydal);
    fill(Rok, record.rok);
    fill(Serie, record.serie);
    r.stran = record.stran;
    r.vydani = record.vydani;
    t->item(row, Zdroj)->setText(record.source);
    if (!record.zanr.isEmpty() && t->item(row, Zanr)->text().isEmpty())
        t->item(row, Zanr)->setText(Fitted(record.zanr, replaced));
    // Where the sources disagree the cell is marked and its tooltip says what the other one said.
    for (const auto& [column, field] : kNotedCells) {
        QTableWidgetItem* item = t->item(row, column);
        const bool own = r.edited.count(column) > 0;
        item->setToolTip(own ? QString() : SourceNoteText(record, field));
        item->setBackground(!own && SourcesDiffer(record, field) ? QBrush(QColor(0xff, 0xd0, 0x90)) : QBrush());
    }
    filling_ = false;

    // Several candidates: a choice among them in the source column.
    if (rows_[row].candidates.size() > 1 && !t->cellWidget(row, Zdroj)) {
        auto* choice = new QComboBox(t);
        for (const FoundRecord& c : rows_[row].candidates)
            choice->addItem(c.source + QStringLiteral(": ") + c.autor + QStringLiteral(" – ") + c.titul);
        connect(choice, &QComboBox::currentIndexChanged, this, [this, choice](int index) {
            for (int r = 0; r < RowCount(); ++r)
                if (ui_->frontatw->cellWidget(r, Zdroj) == choice && index >= 0 &&
                    index < static_cast<int>(rows_[r].candidates.size()))
                    ShowCandidate(r, rows_[r].candidates[index], true);
        });
        t->setCellWidget(row, Zdroj, choice);
        DescribeChoice(row, *choice);
    }
    SetState(row, QString::fromUtf8(kNalezeno),
             replaced ? QStringLiteral("znaky, které katalog neumí uložit, jsou nahrazeny „?“") : QString());
    Recheck(row);
}

void IsbnWindow::CatalogueChanged() {
    const std::string path = CataloguePath();
    // The window's own store: its keys took the stored books already, the lists follow the notice.
    if (storing_ && path == keysPath_ && keys_ && !reader_->Reading()) {
        FillLists();
        return;
    }
    if (!keysPath_.empty() && path != keysPath_) {
        // Marks and ticks from the other catalogue mean nothing here.
        keys_.reset();
        ui_->poznamkal->setText(QStringLiteral("Otevřen jiný katalog: fronta se v něm ověřuje znovu."));
        RecheckAll();
    }
    FollowCatalogue();
    reader_->Read(path);
    FillLists();
}

void IsbnWindow::FillLists() {
    // Another program's lock is not waited for in the scanning window: the
    // lists stay as they are and are read again a moment later.
    TASQLite3DB& db = *context_.db;
    const auto wait = std::exchange(db.BusyTimeout, std::chrono::milliseconds(0));
    const auto restore = qScopeGuard([&] { db.BusyTimeout = wait; });
    try {
        FillList(*context_.lists, ValueLists::Umisteni, *ui_->umistenicb);
        FillList(*context_.lists, ValueLists::Zanr, *ui_->zanrcb);
    } catch (const EDatabaseError& e) {
        if (!e.Locked()) throw;
        if (listsDue_) return;
        listsDue_ = true;
        QTimer::singleShot(kRetryMs, this, [this] {
            listsDue_ = false;
            RunGuarded(*context_.ui, [this] { FillLists(); });
        });
    }
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
        // A new row's udaj2 is empty: ours to write.
        BibDetails details;
        details.year = take(Cell(row, Rok));
        details.pages = take(rows_[row].stran);
        details.edition = take(rows_[row].vydani);
        b.udaj2 = FormatBibDetails(details);
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
    // Checked again at storing: against the queue (the ISBN-13 of a row stored
    // or chosen before) and against the catalogue as it is now. A row the user
    // ticked while it was marked is stored as asked.
    std::vector<Mark> found(books.size(), Mark::None);
    std::set<QString> taken;
    for (const Row& r : rows_)
        if (r.stored) taken.insert(r.isbn);
    for (size_t i = 0; i < chosen.size(); ++i)
        if (!taken.insert(rows_[chosen[i]].isbn).second && rows_[chosen[i]].mark == Mark::None)
            found[i] = Mark::InQueue;
    std::vector<NewBook> storing;
    storing_ = true;
    const auto endStoring = qScopeGuard([this] { storing_ = false; });
    const bool stored = context_.change({}, [&] {
        const std::vector<Duplicate> inCatalogue = FindDuplicates(*context_.db, books);
        for (size_t i = 0; i < books.size(); ++i) {
            if (found[i] == Mark::None && rows_[chosen[i]].mark == Mark::None && inCatalogue[i] != Duplicate::None)
                found[i] = inCatalogue[i] == Duplicate::Isbn ? Mark::SameIsbn : Mark::SameAuthorTitle;
            if (found[i] == Mark::None) storing.push_back(books[i]);
        }
        RowsChange change;
        StoreNewBooks(*context_.db, storing, &change.added);
        change.changed = static_cast<int64_t>(storing.size());
        return change;
    });
    if (!stored) return;
    int left = 0;
    for (size_t i = 0; i < chosen.size(); ++i) {
        const int row = chosen[i];
        Row& r = rows_[row];
        if (found[i] != Mark::None) {
            ++left;
            r.mark = found[i];
            r.userTicked = false;
            SetTick(row, false);
            ShowState(row);
            continue;
        }
        r.stored = true;
        if (r.ticket) lookup_->Cancel(std::exchange(r.ticket, 0));
        if (keys_) keys_->Add(books[i]);
        filling_ = true;
        t->item(row, Isbn)->setCheckState(Qt::Unchecked);
        t->item(row, Isbn)->setFlags(t->item(row, Isbn)->flags() & ~Qt::ItemIsUserCheckable);
        for (int c = 0; c < ColumnCount; ++c) t->item(row, c)->setFlags(t->item(row, c)->flags() & ~Qt::ItemIsEditable);
        filling_ = false;
        SetState(row, QString::fromUtf8(kUlozeno));
    }
    if (left > 0)
        ui_->poznamkal->setText(
            QStringLiteral("Neuloženo řádků: %1 – kniha už je v katalogu nebo výše ve frontě.").arg(left));
    KeepNow();
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
    ViewEvent(watched, event);
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
    if (!closeAsked_ && !MayClose()) {
        event->ignore();
        return;
    }
    lookup_->CancelAll();
    KeepNow();
    QWidget::closeEvent(event);
}
