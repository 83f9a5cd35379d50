// Safe keeping in the main window: the guard of the open catalogue, and the
// command that restores a backup. The work itself is CatalogueBackup's.
#include "app/safekeeping/safekeeping_capability.h"

#include <QAction>
#include <QFileInfo>
#include <QMainWindow>
#include <QStatusBar>

#include "app/platform/error_box.h"
#include "app/platform/ui_services.h"
#include "app/safekeeping/catalogue_backup.h"
#include "app/safekeeping/restore_dialog.h"

SafekeepingCapability::SafekeepingCapability(CatalogueSession& session, QAction& restore, QObject* parent)
    : QObject(parent),
      session_(session),
      backups_(std::make_unique<CatalogueBackup>(session.Connection(), session.Ui(),
                                                 [&session] { return session.SettingsPath(); })) {
    session_.SetGuard(this);
    connect(&restore, &QAction::triggered, this,
            [this] { RunGuarded(session_.Ui(), [this] { obnovitExecute(); }); });
}

SafekeepingCapability::~SafekeepingCapability() { session_.SetGuard(nullptr); }

bool SafekeepingCapability::BeforeChange() { return backups_->BeforeChange(); }

void SafekeepingCapability::CheckOpened(bool lastResort) { backups_->CheckOpened(lastResort); }

bool SafekeepingCapability::ReadingOnly() const { return backups_->ReadingOnly(); }

void SafekeepingCapability::obnovitExecute() {
    UiServices& ui = session_.Ui();
    const QString catalogue = backups_->OpenCatalogue();
    if (catalogue.isEmpty()) {
        ui.InformationBox(ProgramTitle(), QString::fromUtf8("Není otevřen žádný katalog."));
        return;
    }
    if (backups_->Backups().empty()) {
        ui.InformationBox(
            ProgramTitle(),
            QString::fromUtf8("Katalog „%1“ zatím nemá žádnou zálohu. Zálohy vznikají ve složce „%2“ "
                              "před první změnou katalogu při každém spuštění programu.")
                .arg(QFileInfo(catalogue).fileName(), CatalogueBackup::FolderOf(catalogue)));
        return;
    }
    TRestoreDialog dialog(*backups_, catalogue, &session_.Window());
    ui.ExecModal(dialog);
    if (!dialog.Chosen()) return;
    const bool wasDamaged = backups_->ReadingOnly();
    if (!backups_->Restore(*dialog.Chosen())) return;

    // The file under the connection has been replaced: the window opens it
    // again as any opened catalogue (the health check included).
    session_.reopenCatalogue();
    if (auto* main = qobject_cast<QMainWindow*>(&session_.Window()))
        main->statusBar()->showMessage(QString::fromUtf8(
            wasDamaged ? "Katalog byl obnoven ze zálohy. Poškozený soubor je uschován ve složce záloh."
                       : "Katalog byl obnoven ze zálohy. Stav před obnovou je uložen jako nejnovější záloha."));
}
