// The main window's part in backups: the check before every change, and the
// command that restores a backup. The work itself is CatalogueBackup's.
#include <QFileInfo>
#include <QStatusBar>

#include "app/safekeeping/catalogue_backup.h"
#include "app/platform/error_box.h"
#include "app/window/main_window.h"
#include "app/safekeeping/restore_dialog.h"
#include "app/platform/ui_services.h"

bool TForm1::beforeCatalogueChange() { return backups_->BeforeChange(); }

void TForm1::obnovitExecute() {
    const QString catalogue = backups_->OpenCatalogue();
    if (catalogue.isEmpty()) {
        uiServices().InformationBox(ProgramTitle(), QString::fromUtf8("Není otevřen žádný katalog."));
        return;
    }
    if (backups_->Backups().empty()) {
        uiServices().InformationBox(
            ProgramTitle(),
            QString::fromUtf8("Katalog „%1“ zatím nemá žádnou zálohu. Zálohy vznikají ve složce „%2“ "
                              "před první změnou katalogu při každém spuštění programu.")
                .arg(QFileInfo(catalogue).fileName(), CatalogueBackup::FolderOf(catalogue)));
        return;
    }
    TRestoreDialog dialog(*backups_, catalogue, this);
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
    statusBar()->showMessage(QString::fromUtf8(
        wasDamaged ? "Katalog byl obnoven ze zálohy. Poškozený soubor je uschován ve složce záloh."
                   : "Katalog byl obnoven ze zálohy. Stav před obnovou je uložen jako nejnovější záloha."));
}
