#pragma once
// Safe keeping in the main window: it guards the open catalogue (a backup
// before the first change, the health check of every opened file) and runs
// the commands that restore a backup and make one now ("zálohovat nyní",
// which it adds to the "databáze" menu itself, as "obnovit ze zálohy…").
#include <QObject>
#include <QPointer>
#include <memory>

#include "app/platform/catalogue_session.h"

class CatalogueBackup;
class QAction;

class SafekeepingCapability : public Capability, public CatalogueGuard {
    Q_OBJECT
public:
    // Guards the session from now on; made before any other capability.
    SafekeepingCapability(CatalogueSession& session, QObject* parent);
    ~SafekeepingCapability() override;

    bool BeforeChange() override;
    bool CheckOpened(bool lastResort) override;
    void CheckAside() override;
    bool ReadingOnly() const override;

    void obnovitExecute();
    CatalogueBackup& backups() const { return *backups_; }

private:
    std::unique_ptr<CatalogueBackup> backups_;
    // Null once the session is destroyed.
    QPointer<CatalogueSession> sessionAlive_;
};
