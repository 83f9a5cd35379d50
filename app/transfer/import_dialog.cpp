#include "app/transfer/import_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

#include "app/transfer/catalogue_import.h"
#include "app/platform/codepage.h"
#include "ui_import_dialog.h"

namespace {

const char* const kColumnTitles[kCatalogueColumnCount] = {
    "id",       "autor",   "titul",   "žánr",   "vydal", "série", "umístění", "zapůjčeno komu",
    "zapůjčeno kdy", "hodnocení", "poznámka", "údaj 1", "údaj 2", "údaj 3"};

QString Shown(const std::optional<std::string>& value) {
    return value ? FromCodePage(*value) : QString();
}

}  // namespace

ImportDialog::ImportDialog(const ImportPlan& plan, const QString& path, QWidget* parent)
    : QDialog(parent), plan_(plan), ui_(std::make_unique<Ui::TImportDialog>()) {
    ui_->setupUi(this);
    import_ = ui_->tlacitkabb->addButton(QStringLiteral("&Importovat"), QDialogButtonBox::AcceptRole);
    ui_->tlacitkabb->addButton(QStringLiteral("Storno"), QDialogButtonBox::RejectRole);
    import_->setDefault(true);
    connect(ui_->tlacitkabb, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_->tlacitkabb, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ui_->duplicitychb, &QCheckBox::toggled, this, [this] { Refresh(); });

    ui_->souborl->setText(QStringLiteral("Soubor: %1").arg(path));
    QString facts = QStringLiteral("Kódování: %1; oddělovač: %2; záznamů v souboru: %3, z toho už v katalogu: %4.")
                        .arg(plan.encoding, SeparatorName(plan.separator))
                        .arg(static_cast<qulonglong>(plan.rows.size()))
                        .arg(plan.DuplicateCount());
    if (!plan.ignoredColumns.isEmpty())
        facts += QStringLiteral(" Sloupce, které se nenačtou: %1.").arg(plan.ignoredColumns.join(", "));
    ui_->udajel->setText(facts);

    QTableWidget& table = *ui_->nahledtw;
    table.setColumnCount(kCatalogueColumnCount);
    QStringList titles;
    for (const char* title : kColumnTitles) titles.append(QString::fromUtf8(title));
    table.setHorizontalHeaderLabels(titles);
    table.verticalHeader()->setVisible(false);
    // A long note must not push the other columns out of sight.
    table.horizontalHeader()->setMaximumSectionSize(240);

    QListWidget& list = *ui_->duplicitylw;
    for (size_t i = 0; i < plan.rows.size(); ++i) {
        if (!plan.duplicate[i]) continue;
        list.addItem(QStringLiteral("řádek %1: %2 – %3")
                         .arg(plan.lines[i])
                         .arg(Shown(plan.rows[i][kAuthorColumn]), Shown(plan.rows[i][kTitleColumn])));
    }
    ui_->duplicityl->setEnabled(list.count() > 0);
    list.setEnabled(list.count() > 0);
    ui_->duplicitychb->setEnabled(list.count() > 0);
    Refresh();
}

ImportDialog::~ImportDialog() = default;

bool ImportDialog::IncludeDuplicates() const { return ui_->duplicitychb->isChecked(); }

void ImportDialog::Refresh() {
    const bool all = IncludeDuplicates();
    QTableWidget& table = *ui_->nahledtw;
    const int shown = static_cast<int>(std::min<size_t>(plan_.rows.size(), kPreviewRows));
    table.setRowCount(shown);
    long long id = plan_.firstId;
    long long stored = 0;
    for (size_t i = 0; i < plan_.rows.size(); ++i) {
        const bool skipped = plan_.duplicate[i] && !all;
        if (!skipped) ++stored;
        if (static_cast<int>(i) >= shown) continue;
        const CatalogueRow& row = plan_.rows[i];
        for (int c = 0; c < kCatalogueColumnCount; ++c) {
            QString text = Shown(row[static_cast<size_t>(c)]);
            if (c == kIdColumn) text = skipped ? QStringLiteral("přeskočí se") : QString::number(id);
            auto* item = new QTableWidgetItem(text);
            if (skipped) item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            table.setItem(static_cast<int>(i), c, item);
        }
        if (!skipped) ++id;
    }
    table.resizeColumnsToContents();
    ui_->pocetl->setText(QStringLiteral("Bude importováno záznamů: %1.").arg(stored));
    import_->setEnabled(stored > 0);
}
