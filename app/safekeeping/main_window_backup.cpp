// The main window's part in backups: the check before every change, and the
// commands that restore a backup and make one now. The work itself is CatalogueBackup's.
#include <QStatusBar>

#include "app/safekeeping/catalogue_backup.h"
#include "app/platform/error_box.h"
#include "app/window/main_window.h"
#include "app/safekeeping/restore_dialog.h"
#include "app/platform/ui_services.h"

bool TForm1::beforeCatalogueChange() { return backups_->BeforeChange(); }

void TForm1::obnovitExecute() {
    const std::string catalogue = backups_->OpenCatalogue();
    if (catalogue.empty()) {
        uiServices().InformationBox(ProgramTitle(), QString::fromUtf8("Není otevřen žádný katalog."));
        return;
    }
    const QString name = backupfiles::Shown(backupfiles::NameOf(catalogue));
    if (backups_->Backups().empty()) {
        uiServices().InformationBox(
            ProgramTitle(),
            QString::fromUtf8("Katalog „%1“ zatím nemá žádnou zálohu. Zálohy vznikají ve složce „%2“ "
                              "před první změnou katalogu při každém spuštění programu.")
                .arg(name, backupfiles::Shown(backupfiles::FolderOf(catalogue))));
        return;
    }
    TRestoreDialog dialog(*backups_, name, this);
    uiServices().ExecModal(dialog);
    if (!dialog.Chosen()) return;
    const bool wasDamaged = backups_->ReadingOnly();
    if (!backups_->Restore(*dialog.Chosen())) return;

    // The file under the connection has been replaced: reopen it as any opened catalogue.
    con1.SetConnected(true);
    backups_->CheckOpened(true);
    ProbeCatalogue();
    vymazokna();
    tv1update();
    // Only a file that is there is named as the way back.
    const std::string saved = backups_->SavedBeforeRestore();
    const QString savedName = backupfiles::Shown(backupfiles::NameOf(saved));
    QString message = QString::fromUtf8("Katalog byl obnoven ze zálohy.");
    if (!saved.empty() && backupfiles::Exists(saved))
        message += QString::fromUtf8(wasDamaged ? " Poškozený soubor je uschován ve složce záloh jako „%1“."
                                                : " Stav před obnovou je uložen jako záloha „%1“.")
                       .arg(savedName);
    statusBar()->showMessage(message);
}
