// Safe keeping in the main window: the guard of the open catalogue, and the
// commands that restore a backup and make one now. The work itself is CatalogueBackup's.
#include "app/safekeeping/safekeeping_capability.h"

#include <QAction>
#include <QMainWindow>
#include <QStatusBar>

#include "app/platform/error_box.h"
#include "app/platform/ui_services.h"
#include "app/safekeeping/catalogue_backup.h"
#include "app/safekeeping/restore_dialog.h"

namespace {

// Right after "zápůjčky"; "zálohovat nyní" after the transfer's commands.
constexpr int kRestoreCommandPosition = 20;
constexpr int kBackupNowCommandPosition = 50;

}  // namespace

SafekeepingCapability::SafekeepingCapability(CatalogueSession& session, QObject* parent)
    : Capability(session, parent),
      backups_(std::make_unique<CatalogueBackup>(session.Connection(), session.Ui(),
                                                 [&session] { return session.SettingsPath(); })) {
    session_.SetGuard(this);
    sessionAlive_ = &session;
    QAction& restore =
        session_.AddCommand("obnovit", kRestoreCommandPosition, QString::fromUtf8("o&bnovit ze zálohy…"));
    connect(&restore, &QAction::triggered, this, [this] { RunGuarded(session_.Ui(), [this] { obnovitExecute(); }); });
    QAction& backupNow =
        session_.AddCommand("zalohovat", kBackupNowCommandPosition, QString::fromUtf8("zálohovat &nyní"));
    connect(&backupNow, &QAction::triggered, this,
            [this] { RunGuarded(session_.Ui(), [this] { backups_->BackupNow(); }); });
}

SafekeepingCapability::~SafekeepingCapability() {
    // The window destroys its session before its children, this among them:
    // a session already gone has no guard to forget.
    if (sessionAlive_) session_.SetGuard(nullptr);
}

bool SafekeepingCapability::BeforeChange() { return backups_->BeforeChange(); }

bool SafekeepingCapability::CheckOpened(bool lastResort) {
    return backups_->CheckOpened(lastResort) == CatalogueBackup::Opened::Sound;
}

void SafekeepingCapability::CheckAside() { backups_->CheckAside(); }

bool SafekeepingCapability::ReadingOnly() const { return backups_->ReadingOnly(); }

void SafekeepingCapability::obnovitExecute() {
    UiServices& ui = session_.Ui();
    const std::string catalogue = backups_->OpenCatalogue();
    if (catalogue.empty()) {
        ui.InformationBox(ProgramTitle(), QString::fromUtf8("Není otevřen žádný katalog."));
        return;
    }
    const QString name = backupfiles::Shown(backupfiles::NameOf(catalogue));
    if (backups_->Backups().empty()) {
        ui.InformationBox(ProgramTitle(),
                          QString::fromUtf8("Katalog „%1“ zatím nemá žádnou zálohu. Zálohy vznikají ve složce „%2“ "
                                            "před první změnou katalogu při každém spuštění programu.")
                              .arg(name, backupfiles::Shown(backupfiles::FolderOf(catalogue))));
        return;
    }
    RestoreDialog dialog(*backups_, name, &session_.Window());
    session_.PlaceOverWindow(dialog);
    ui.ExecModal(dialog);
    if (!dialog.Chosen()) return;
    const bool wasDamaged = backups_->ReadingOnly();
    if (!backups_->Restore(*dialog.Chosen())) return;

    // The file under the connection has been replaced: the window opens it
    // again as any opened catalogue (the health check included).
    session_.reopenCatalogue();
    // Only a file that is there is named as the way back.
    const std::string saved = backups_->SavedBeforeRestore();
    QString message = QString::fromUtf8("Katalog byl obnoven ze zálohy.");
    if (!saved.empty() && backupfiles::Exists(saved))
        message += QString::fromUtf8(wasDamaged ? " Poškozený soubor je uschován ve složce záloh jako „%1“."
                                                : " Stav před obnovou je uložen jako záloha „%1“.")
                       .arg(backupfiles::Shown(backupfiles::NameOf(saved)));
    if (auto* main = qobject_cast<QMainWindow*>(&session_.Window())) main->statusBar()->showMessage(message);
}
