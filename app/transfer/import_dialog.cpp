#include "app/transfer/import_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>

#include <algorithm>

#include "app/core/codepage.h"
#include "app/transfer/readers/import_reader.h"
#include "app/transfer/tick_list_accessible.h"
#include "ui_import_dialog.h"

namespace {

const char* const kColumnTitles[kCatalogueColumnCount] = {
    "id",        "autor",    "titul",  "žánr",   "vydal", "série", "umístění", "zapůjčeno komu", "zapůjčeno kdy",
    "hodnocení", "poznámka", "údaj 1", "údaj 2", "údaj 3"};

// The row index a list item stands for.
constexpr int kRowRole = Qt::UserRole;

QString Shown(const std::optional<std::string>& value) { return value ? FromCodePage(*value) : QString(); }

}  // namespace

ImportDialog::ImportDialog(const ImportPlan& plan, const QString& path, QWidget* parent)
    : QDialog(parent), plan_(plan), ui_(std::make_unique<Ui::ImportDialog>()), chosen_(plan.Offered()) {
    ui_->setupUi(this);
    import_ = ui_->tlacitkabb->addButton(QStringLiteral("&Importovat"), QDialogButtonBox::AcceptRole);
    ui_->tlacitkabb->addButton(QStringLiteral("Storno"), QDialogButtonBox::RejectRole);
    import_->setDefault(true);
    connect(ui_->tlacitkabb, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_->tlacitkabb, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ui_->duplicitychb, &QCheckBox::toggled, this, &ImportDialog::IncludeStored);

    ui_->souborl->setText(QStringLiteral("Soubor: %1").arg(path));
    QString facts = QStringLiteral("Formát: %1; kódování: %2").arg(plan.format, plan.encoding);
    if (plan.separator) facts += QStringLiteral("; oddělovač: %1").arg(SeparatorName(plan.separator));
    facts += QStringLiteral("; záznamů v souboru: %1, z toho už v katalogu: %2")
                 .arg(static_cast<qulonglong>(plan.rows.size()))
                 .arg(plan.DuplicateCount());
    if (plan.RepeatCount() > 0) facts += QStringLiteral(", opakovaných v souboru: %1").arg(plan.RepeatCount());
    facts += u'.';
    if (!plan.ignoredColumns.isEmpty())
        facts += QStringLiteral(" Sloupce, které se nenačtou: %1.").arg(plan.ignoredColumns.join(", "));
    ui_->udajel->setText(facts);
    ui_->mapovanilw->addItems(plan.mapping);
    ui_->upozornenilw->addItems(plan.warnings.mid(0, kShownWarnings));
    if (plan.warnings.size() > kShownWarnings)
        ui_->upozornenilw->addItem(QStringLiteral("… a dalších %1.").arg(plan.warnings.size() - kShownWarnings));
    ui_->upozornenil->setEnabled(!plan.warnings.isEmpty());
    ui_->upozornenilw->setEnabled(!plan.warnings.isEmpty());

    QTableWidget& table = *ui_->nahledtw;
    table.setColumnCount(kCatalogueColumnCount);
    QStringList titles;
    for (const char* title : kColumnTitles) titles.append(QString::fromUtf8(title));
    table.setHorizontalHeaderLabels(titles);
    table.verticalHeader()->setVisible(false);
    // A long note must not push the other columns out of sight.
    table.horizontalHeader()->setMaximumSectionSize(240);

    QListWidget& list = *ui_->duplicitylw;
    MakeTicksAccessible(&list);
    for (size_t i = 0; i < plan.rows.size(); ++i) {
        const ImportRow& r = plan.rows[i];
        QStringList why;
        if (r.duplicate) why.append(QStringLiteral("už v katalogu"));
        if (!r.owned) why.append(QStringLiteral("nevlastněná"));
        if (r.repeats >= 0)
            why.append(
                QStringLiteral("opakuje %1 %2").arg(plan.unit).arg(plan.rows[static_cast<size_t>(r.repeats)].line));
        if (why.isEmpty()) continue;
        auto* item =
            new QListWidgetItem(QStringLiteral("%1 %2: %3 – %4 (%5)")
                                    .arg(plan.unit)
                                    .arg(r.line)
                                    .arg(Shown(r.row[kAuthorColumn]), Shown(r.row[kTitleColumn]), why.join(", ")));
        item->setData(kRowRole, static_cast<int>(i));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(chosen_[i] ? Qt::Checked : Qt::Unchecked);
        list.addItem(item);
    }
    connect(&list, &QListWidget::itemChanged, this, &ImportDialog::ItemChanged);
    list.installEventFilter(this);
    const auto every = [&list] {
        QList<QListWidgetItem*> items;
        for (int k = 0; k < list.count(); ++k) items.append(list.item(k));
        return items;
    };
    connect(ui_->vybratvsepb, &QPushButton::clicked, this, [this, every] { SetTicked(every(), true); });
    connect(ui_->zrusitvyberpb, &QPushButton::clicked, this, [this, every] { SetTicked(every(), false); });
    ui_->vybratvsepb->setEnabled(list.count() > 0);
    ui_->zrusitvyberpb->setEnabled(list.count() > 0);
    for (const bool c : chosen_) stored_ += c ? 1 : 0;
    ui_->duplicityl->setEnabled(list.count() > 0);
    list.setEnabled(list.count() > 0);
    ui_->duplicitychb->setEnabled(plan.DuplicateCount() > 0);
    Refresh(0);
}

ImportDialog::~ImportDialog() = default;

bool ImportDialog::IncludeDuplicates() const { return ui_->duplicitychb->isChecked(); }

void ImportDialog::ItemChanged(QListWidgetItem* item) {
    const auto row = static_cast<size_t>(item->data(kRowRole).toInt());
    const bool ticked = item->checkState() == Qt::Checked;
    if (chosen_[row] == ticked) return;
    chosen_[row] = ticked;
    stored_ += ticked ? 1 : -1;
    AnnounceTick(ui_->duplicitylw, ui_->duplicitylw->row(item));
    Refresh(row);
}

void ImportDialog::SetTicked(const QList<QListWidgetItem*>& items, bool ticked) {
    size_t first = plan_.rows.size();
    {
        const QSignalBlocker quiet(ui_->duplicitylw);
        for (QListWidgetItem* item : items) {
            const auto row = static_cast<size_t>(item->data(kRowRole).toInt());
            item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
            if (chosen_[row] == ticked) continue;
            AnnounceTick(ui_->duplicitylw, ui_->duplicitylw->row(item));
            chosen_[row] = ticked;
            stored_ += ticked ? 1 : -1;
            first = std::min(first, row);
        }
    }
    Refresh(first);
}

bool ImportDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->duplicitylw && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        const QList<QListWidgetItem*> selected = ui_->duplicitylw->selectedItems();
        if (selected.size() > 1) {
            // As one tick: all follow the current row's new state.
            QListWidgetItem* current = ui_->duplicitylw->currentItem();
            const QListWidgetItem* lead = current && current->isSelected() ? current : selected.front();
            SetTicked(selected, lead->checkState() != Qt::Checked);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ImportDialog::IncludeStored(bool include) {
    QList<QListWidgetItem*> stored;
    QListWidget& list = *ui_->duplicitylw;
    for (int k = 0; k < list.count(); ++k)
        if (plan_.rows[static_cast<size_t>(list.item(k)->data(kRowRole).toInt())].duplicate)
            stored.append(list.item(k));
    SetTicked(stored, include);
}

void ImportDialog::Refresh(size_t from) {
    ui_->pocetl->setText(QStringLiteral("Bude importováno záznamů: %1.").arg(stored_));
    import_->setEnabled(stored_ > 0);
    QTableWidget& table = *ui_->nahledtw;
    const size_t shown = std::min<size_t>(plan_.rows.size(), kPreviewRows);
    if (from >= shown) return;  // the shown rows' ids stay
    const bool first = table.rowCount() == 0;
    table.setRowCount(static_cast<int>(shown));
    long long id = plan_.firstId;
    for (size_t i = 0; i < shown; ++i) {
        const bool skipped = !chosen_[i];
        if (i < from) {
            if (!skipped) ++id;
            continue;
        }
        const CatalogueRow& row = plan_.rows[i].row;
        for (int c = 0; c < kCatalogueColumnCount; ++c) {
            QString text = Shown(row[static_cast<size_t>(c)]);
            if (c == kIdColumn) text = skipped ? QStringLiteral("přeskočí se") : QString::number(id);
            auto* item = new QTableWidgetItem(text);
            if (skipped) item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            table.setItem(static_cast<int>(i), c, item);
        }
        if (!skipped) ++id;
    }
    if (first) table.resizeColumnsToContents();
}
