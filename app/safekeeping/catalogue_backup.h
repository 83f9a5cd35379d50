#pragma once
// Automatic backups of the open catalogue, restoring one of them, and the
// health check whenever a catalogue is opened.
//
// Backups lie in a folder beside the catalogue named after it
// ("svazkovna.db.zalohy"), so they travel with the catalogue and a second
// catalogue never mixes with the first. Each is named by the time it was made,
// in UTC ("2026-12-08_20-58-29-123Z.db"): the names sort by age on every file
// system, also across a change of daylight-saving time, and hold no character
// that some file system refuses. Other files in the folder are never touched.
#include <QDateTime>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/platform/catalogue_session.h"
#include "app/platform/progress.h"

class TASQLite3DB;
class UiServices;

// Makes the progress of a backup; without one, the dialog of UiServices.
using ProgressFactory = std::function<std::unique_ptr<Progress>(const QString& label)>;

struct BackupFile {
    QString path;
    QDateTime made;  // UTC
};

class CatalogueBackup {
public:
    // `settingsPath` names the settings file that holds the backup count.
    CatalogueBackup(TASQLite3DB& con, UiServices& ui, std::function<QString()> settingsPath);

    // Before a change to the open catalogue: the first change to a catalogue
    // in a run backs it up first. False when the change must not happen (the
    // user cancelled the backup or declined to go on without one, or the
    // catalogue is damaged and open only for reading).
    bool BeforeChange();

    // Right after the connection opened a catalogue: the quick integrity
    // check. A damaged one is never written to; the user is offered its newest
    // sound backup. Declined, it throws CatalogueDamaged, unless `lastResort`
    // (nothing else would be open): then the catalogue stays open for reading only.
    enum class Opened { Sound, Restored, ReadOnly };
    Opened CheckOpened(bool lastResort);

    // The open catalogue's backups, newest first.
    std::vector<BackupFile> Backups() const;
    // The number of books in a backup; -1 when it cannot be read.
    long long BooksIn(const QString& backup) const;

    // Puts `backup` in the open catalogue's place, after backing up the
    // catalogue as it is now (so the restore can be undone). The caller then
    // reconnects. False, after a message, when the catalogue was left alone.
    bool Restore(const QString& backup);

    // Whether the open catalogue is a damaged one kept open for reading only.
    bool ReadingOnly() const { return !damaged_.empty(); }

    // The open catalogue's file (a full path); empty when none is open.
    QString OpenCatalogue() const;
    // The folder of a catalogue's backups.
    static QString FolderOf(const QString& catalogue);
    // How a backup's time is shown: "8. 12. 2026 21:04:05", local time.
    static QString ShownTime(const QDateTime& made);
    // "1 kniha", "3 knihy", "5 knih".
    static QString BooksText(long long books);

    // The backups kept per catalogue, from the settings ("pocetzaloh", 10 when
    // absent or not a number); 0 switches the automatic backups off.
    int KeptBackups() const;

    ProgressFactory progressFactory;
    // How often a running backup reports its progress.
    std::chrono::milliseconds progressInterval{40};

private:
    enum class Outcome { Done, Cancelled, Busy, Failed };
    struct Result {
        Outcome outcome;
        QString failure;
        QString path;
    };
    // A backup of the open catalogue `catalogue`, then the oldest beyond the count removed.
    Result MakeBackup(const QString& catalogue);
    // A byte-for-byte copy of a damaged catalogue, kept beside the backups.
    Result KeepDamagedCopy(const QString& catalogue);
    // Copies `backup` beside `catalogue`, runs `saveCurrent`, then renames the
    // copy over the catalogue. False after a message.
    bool PutInPlace(const QString& backup, const QString& catalogue,
                    const std::function<bool()>& saveCurrent);
    std::function<bool()> Ticker(const QString& label, const std::string& growing, double expected,
                                 std::unique_ptr<Progress>& progress) const;

    TASQLite3DB& con_;
    UiServices& ui_;
    std::function<QString()> settingsPath_;
    // The catalogue whose first change in this run has been dealt with.
    std::string firstChangeDone_;
    // The damaged catalogue that is open for reading only.
    std::string damaged_;
    // A damaged catalogue just reported and not restored: when the fallback
    // that follows opens the same file, it is not reported a second time.
    std::string justReported_;
};
