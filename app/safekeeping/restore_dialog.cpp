#include "app/safekeeping/restore_dialog.h"

#include <QFileInfo>
#include <QPushButton>
#include <QTreeWidget>

#include "app/safekeeping/catalogue_backup.h"
#include "ui_restore_dialog.h"

RestoreDialog::RestoreDialog(const CatalogueBackup& backups, const QString& catalogue, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::RestoreDialog>()) {
    ui_->setupUi(this);
    ui_->zalohyl->setText(QString::fromUtf8("&zálohy katalogu „%1“:").arg(QFileInfo(catalogue).fileName()));
    QTreeWidget& list = *ui_->zalohytv;
    for (const BackupFile& backup : backups.Backups()) {
        const QString shown = CatalogueBackup::ShownTime(backup.made);
        const qsizetype blank = shown.lastIndexOf(' ');
        const long long books = backups.BooksIn(backup.path);
        auto* item = new QTreeWidgetItem(
            &list, QStringList{shown.left(blank), shown.mid(blank + 1),
                               books < 0 ? QString::fromUtf8("nečitelná") : QString::number(books)});
        item->setData(0, Qt::UserRole, QByteArray::fromStdString(backup.path));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (int column = 0; column < list.columnCount(); ++column) list.resizeColumnToContents(column);
    if (list.topLevelItemCount() > 0) list.setCurrentItem(list.topLevelItem(0));
    list.setFocus(Qt::OtherFocusReason);
    ui_->obnovitb->setEnabled(list.topLevelItemCount() > 0);

    connect(ui_->obnovitb, &QPushButton::clicked, this, &RestoreDialog::obnovitbClick);
    connect(ui_->stornob, &QPushButton::clicked, this, &QDialog::reject);
    connect(&list, &QTreeWidget::itemDoubleClicked, this, &RestoreDialog::obnovitbClick);
}

RestoreDialog::~RestoreDialog() = default;

void RestoreDialog::obnovitbClick() {
    const QTreeWidgetItem* item = ui_->zalohytv->currentItem();
    if (!item) return;
    chosen_ = item->data(0, Qt::UserRole).toByteArray().toStdString();
    accept();
}
