// Completing a stored book from the record found for its ISBN.
#include "app/isbn/isbn_complete_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <stdexcept>

#include "app/core/codepage.h"
#include "app/platform/error_box.h"
#include "app/platform/ui_services.h"
#include "storage/connection.h"

const std::vector<std::pair<std::string, QString>>& IsbnCompleteDialog::Fields() {
    static const std::vector<std::pair<std::string, QString>> fields = {
        {"autor", QStringLiteral("autor")}, {"titul", QStringLiteral("titul")}, {"zanr", QStringLiteral("žánr")},
        {"vydal", QStringLiteral("vydal")}, {"serie", QStringLiteral("série")}, {"udaj1", QStringLiteral("ISBN")}};
    return fields;
}

namespace {

std::string* Field(NewBook& b, const std::string& name) {
    if (name == "autor") return &b.autor;
    if (name == "titul") return &b.titul;
    if (name == "zanr") return &b.zanr;
    if (name == "vydal") return &b.vydal;
    if (name == "serie") return &b.serie;
    return &b.udaj1;
}

}  // namespace

IsbnCompleteDialog::IsbnCompleteDialog(TASQLite3DB& db, UiServices& ui, StoredBook stored, QString isbn13,
                                       std::vector<IsbnSource> sources, RowsWriter change, QWidget* parent)
    : QDialog(parent), db_(db), ui_(ui), stored_(std::move(stored)), isbn_(std::move(isbn13)),
      change_(std::move(change)), opened_(db.Database()) {
    setObjectName(QStringLiteral("doplnitf"));
    setWindowTitle(QStringLiteral("doplnit podle ISBN"));
    setAttribute(Qt::WA_DeleteOnClose);
    table_ = new QTableWidget(static_cast<int>(Fields().size()), 3, this);
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("údaj"), QStringLiteral("v katalogu"), QStringLiteral("nalezeno")});
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < static_cast<int>(Fields().size()); ++r) {
        auto* name = new QTableWidgetItem(Fields()[r].second);
        table_->setItem(r, 0, name);
        table_->setItem(r, 1, new QTableWidgetItem(FromCodePage(*Field(stored_.book, Fields()[r].first))));
        table_->setItem(r, 2, new QTableWidgetItem);
    }
    status_ = new QLabel(QStringLiteral("hledám %1…").arg(isbn_), this);
    save_ = new QPushButton(QStringLiteral("&uložit zaškrtnuté"), this);
    save_->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("&zavřít"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(save_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    resize(620, 300);

    lookup_ = new IsbnLookup(std::move(sources), this);
    connect(lookup_, &IsbnLookup::Finished, this,
            [this](int, const LookupResult& r) { RunGuarded(ui_, [&] { Finished(r); }); });
    connect(save_, &QPushButton::clicked, this, [this] { RunGuarded(ui_, [this] { Save(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, lookup_, &IsbnLookup::CancelAll);
    lookup_->Start(isbn_);
}

QString IsbnCompleteDialog::Status() const { return status_->text(); }

void IsbnCompleteDialog::Finished(const LookupResult& result) {
    if (result.state != LookupResult::State::Found) {
        status_->setText(result.state == LookupResult::State::NotFound ? QStringLiteral("nenalezeno")
                                                                       : QStringLiteral("chyba: %1").arg(result.note));
        return;
    }
    const FoundRecord& f = result.candidates.front();
    bool replaced = false;
    auto fit = [&](const QString& text) {
        // What the code page cannot hold becomes "?", as in the scanning window.
        QString out;
        for (const QChar c : text) {
            if (FitsCodePage(QString(c)))
                out += c;
            else if (!c.isLowSurrogate()) {
                out += u'?';
                replaced = true;
            }
        }
        return ToCodePage(out);
    };
    found_.autor = fit(f.autor);
    found_.titul = fit(f.titul);
    found_.zanr = fit(f.zanr);
    found_.vydal = fit(f.vydal);
    found_.serie = fit(f.serie);
    found_.udaj1 = isbn_.toStdString();
    const bool isbnWritable = MayWriteIsbn(stored_.book.udaj1);
    for (int r = 0; r < static_cast<int>(Fields().size()); ++r) {
        const std::string& name = Fields()[r].first;
        const std::string& value = *Field(found_, name);
        table_->item(r, 2)->setText(FromCodePage(value));
        QTableWidgetItem* tick = table_->item(r, 0);
        const bool differs = !value.empty() && value != *Field(stored_.book, name);
        const bool allowed = differs && (name != "udaj1" || isbnWritable);
        tick->setFlags(allowed ? (tick->flags() | Qt::ItemIsUserCheckable)
                               : (tick->flags() & ~Qt::ItemIsUserCheckable));
        tick->setData(Qt::CheckStateRole, allowed ? QVariant(Qt::Unchecked) : QVariant());
        if (name == "udaj1" && differs && !isbnWritable)
            tick->setToolTip(QStringLiteral("Pole udaj1 drží jiný text; ISBN se do něj neukládá."));
    }
    status_->setText(
        QStringLiteral("nalezeno (%1)").arg(f.source) +
        (replaced ? QStringLiteral("; znaky, které katalog neumí uložit, jsou nahrazeny „?“") : QString()));
    save_->setEnabled(true);
}

void IsbnCompleteDialog::Save() {
    // The row key means a row of the catalogue the dialog was opened on, and no other.
    if (!OnOpenedCatalogue()) throw std::runtime_error("Mezitím byl otevřen jiný katalog; doplnění se do něj neuloží.");
    std::vector<std::string> ticked;
    for (int r = 0; r < static_cast<int>(Fields().size()); ++r)
        if (table_->item(r, 0)->data(Qt::CheckStateRole).toInt() == Qt::Checked) ticked.push_back(Fields()[r].first);
    if (ticked.empty()) {
        ui_.InformationBox(windowTitle(), QStringLiteral("Není zaškrtnutý žádný údaj."));
        return;
    }
    bool completed = false;
    const bool asked = change_({stored_.rowKey}, [&] {
        completed = CompleteBook(db_, stored_, found_, ticked);
        RowsChange change;
        change.changed = completed ? 1 : 0;
        return change;
    });
    if (!asked) return;
    if (!completed) {
        ui_.InformationBox(windowTitle(), QStringLiteral("Záznam se mezitím v katalogu změnil; nic nebylo uloženo."));
        return;
    }
    accept();
}

bool IsbnCompleteDialog::OnOpenedCatalogue() const { return db_.Database() == opened_; }
