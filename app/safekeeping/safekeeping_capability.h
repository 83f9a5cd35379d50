#pragma once
// Safe keeping in the main window: it guards the open catalogue (a backup
// before the first change, the health check of every opened file) and runs
// the command that restores a backup.
#include <QObject>
#include <memory>

#include "app/platform/catalogue_session.h"

class CatalogueBackup;
class QAction;

class SafekeepingCapability : public QObject, public CatalogueGuard {
    Q_OBJECT
public:
    // `restore` is the menu command "obnovit ze zálohy…"; the window owns it and this.
    SafekeepingCapability(CatalogueSession& session, QAction& restore, QObject* parent);
    ~SafekeepingCapability() override;

    bool BeforeChange() override;
    void CheckOpened(bool lastResort) override;
    bool ReadingOnly() const override;

    void obnovitExecute();
    CatalogueBackup& backups() const { return *backups_; }

private:
    CatalogueSession& session_;
    std::unique_ptr<CatalogueBackup> backups_;
};
