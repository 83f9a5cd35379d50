#include "app/tidy/search_everywhere_window.h"

#include <QKeyEvent>
#include <QTreeWidgetItem>

#include "app/core/codepage.h"
#include "app/platform/catalogue_session.h"
#include "app/platform/error_box.h"
#include "app/platform/rows_change.h"
#include "app/platform/ui_services.h"
#include "app/tidy/group_list.h"
#include "ui_search_everywhere_window.h"

namespace {

// More lines help nobody while typing; the count says how many there are.
constexpr size_t kShownResults = 500;
constexpr int kKeyRole = Qt::UserRole;

QString FieldNames(uint32_t fields) {
    static const char* const names[] = {"autor",    "titul",          "žánr",     "vydal", "série",
                                        "umístění", "zapůjčeno komu", "poznámka", "ISBN"};
    QStringList found;
    for (size_t f = 0; f < std::size(names); ++f)
        if (fields & (1u << f)) found << QString::fromUtf8(names[f]);
    return found.join(QStringLiteral(", "));
}

}  // namespace

SearchEverywhereWindow::SearchEverywhereWindow(CatalogueSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), ui_(std::make_unique<Ui::SearchEverywhereWindow>()) {
    ui_->setupUi(this);
    Ui::SearchEverywhereWindow& f = *ui_;
    f.vysledky->setColumnWidth(0, 220);
    f.vysledky->setColumnWidth(1, 300);
    f.hledej->installEventFilter(this);
    connect(f.hledej, &QLineEdit::textChanged, this, [this] { RunGuarded(session_.Ui(), [this] { Search(); }); });
    connect(f.hledej, &QLineEdit::returnPressed, this, [this] { RunGuarded(session_.Ui(), [this] { ShowChosen(); }); });
    connect(f.vysledky, &QTreeWidget::itemActivated, this,
            [this] { RunGuarded(session_.Ui(), [this] { ShowChosen(); }); });
}

SearchEverywhereWindow::~SearchEverywhereWindow() = default;

void SearchEverywhereWindow::Search() {
    Ui::SearchEverywhereWindow& f = *ui_;
    const std::string query = ToCodePage(f.hledej->text());
    f.vysledky->clear();
    if (f.hledej->text().trimmed().isEmpty()) {
        f.nalezenol->clear();
        return;
    }
    if (!index_.Built()) index_.Build(session_.Connection());
    const SearchResult result = index_.Find(query, kShownResults);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(result.hits.size()));
    for (const SearchHit& hit : result.hits) {
        auto* item = new QTreeWidgetItem(
            {FromCodePage(std::string(hit.author)), FromCodePage(std::string(hit.title)), FieldNames(hit.fields)});
        item->setData(0, kKeyRole, QVariant::fromValue<qlonglong>(hit.key));
        items.append(item);
    }
    f.vysledky->addTopLevelItems(items);
    if (!items.isEmpty()) f.vysledky->setCurrentItem(items.front());
    if (result.total > result.hits.size())
        f.nalezenol->setText(
            QString::fromUtf8("nalezeno: %1, zobrazeno prvních %2").arg(result.total).arg(result.hits.size()));
    else
        f.nalezenol->setText(QString::fromUtf8("nalezeno: %1").arg(result.total));
}

void SearchEverywhereWindow::ShowChosen() {
    QTreeWidgetItem* item = ui_->vysledky->currentItem();
    if (!item) item = ui_->vysledky->topLevelItem(0);
    if (!item) return;
    if (!session_.ShowRow(item->data(0, kKeyRole).toLongLong()))
        session_.Ui().InformationBox(
            QString::fromUtf8("hledat všude"),
            QString::fromUtf8("Kniha „%1“ ve stromu není: katalog se mezitím změnil.").arg(item->text(1)));
}

void SearchEverywhereWindow::Follow(const RowsChange& change) {
    if (!index_.Built()) return;
    if (change.readAnew) {
        index_.Forget();
    } else if (change.deleted) {
        index_.Remove(change.rows);
        index_.Reread(session_.Connection(), change.added);
    } else {
        std::vector<int64_t> keys = change.rows;
        keys.insert(keys.end(), change.added.begin(), change.added.end());
        index_.Reread(session_.Connection(), keys);
    }
    SearchLater();
}

void SearchEverywhereWindow::CatalogueChanged() {
    index_.Forget();
    SearchLater();
}

void SearchEverywhereWindow::SearchLater() {
    // Once the running handler is through: the tree may be in the middle of its rebuild.
    RefreshLater(*this, search_pending_, session_.Ui(), [this] { Search(); });
}

bool SearchEverywhereWindow::eventFilter(QObject* watched, QEvent* event) {
    // Down from the box goes into the list, so the keyboard alone reaches every result.
    if (watched == ui_->hledej && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down && ui_->vysledky->topLevelItemCount() > 0) {
        ui_->vysledky->setFocus();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
