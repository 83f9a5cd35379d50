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
// A second place ("zalohydo") gets a copy of each backup.
#include <QDateTime>
#include <QString>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/platform/catalogue_session.h"
#include "app/platform/progress.h"
#include "app/safekeeping/backup_files.h"
#include "catalogue/backup_store.h"

class TASQLite3DB;
class UiServices;

// Makes the progress of a backup; without one, the dialog of UiServices.
using ProgressFactory = std::function<std::unique_ptr<Progress>(const QString& label)>;

class CatalogueBackup {
public:
    // `settingsPath` names the settings file that holds the backup count.
    CatalogueBackup(TASQLite3DB& con, UiServices& ui, std::function<QString()> settingsPath);

    // Before a change to the open catalogue: the first change to a catalogue
    // in a run backs it up first. False when the change must not happen (the
    // user cancelled the backup or declined to go on without one, or the
    // catalogue is damaged and open only for reading).
    bool BeforeChange();

    // "zálohovat nyní": a backup of the open catalogue whatever the backup
    // count says, reported with its file name. False after a message when none
    // was made (or silently when the user cancelled it).
    bool BackupNow();

    // Right after the connection opened a catalogue: the quick integrity
    // check. A damaged one is never written to; the user is offered its newest
    // sound backup. Declined, it throws CatalogueDamaged, unless `lastResort`
    // (nothing else would be open): then the catalogue stays open for reading only.
    // An empty file, or one without a database header, counts as damaged.
    enum class Opened { Sound, Restored, ReadOnly };
    Opened CheckOpened(bool lastResort);
    // Starts that check on a connection of its own and another thread, so that
    // it reads the file while the program's connection does; the next
    // CheckOpened takes its answer when the same catalogue is still open.
    void CheckAside();

    // The open catalogue's backups, newest first (see backupfiles::List).
    std::vector<BackupFile> Backups() const;
    // The number of books in a backup; -1 when it cannot be read.
    long long BooksIn(const std::string& backup) const;

    // Puts `backup` in the open catalogue's place, after backing up the
    // catalogue as it is now (so the restore can be undone). The connection is
    // closed on the way (its write-ahead log goes back into the file first); the
    // caller then reconnects. False, after a message, when the catalogue was left alone.
    bool Restore(const std::string& backup);
    // The backup of the state before the last restore; empty when the user
    // went on without one.
    const std::string& SavedBeforeRestore() const { return savedBeforeRestore_; }

    // Whether the open catalogue is a damaged one kept open for reading only.
    bool ReadingOnly() const { return !damaged_.empty(); }

    // The open catalogue's file (a full path, the file system's bytes); empty when none is open.
    std::string OpenCatalogue() const;
    // How a backup's time is shown: "8. 12. 2026 21:04:05", local time.
    static QString ShownTime(const QDateTime& made);
    // "1 kniha", "3 knihy", "5 knih".
    static QString BooksText(long long books);

    // The backups kept per catalogue, from the settings ("pocetzaloh", 10 when
    // absent or not a number); 0 switches the automatic backups off.
    int KeptBackups() const;
    // The second place for backups ("zalohydo", the file system's bytes); empty when none.
    std::string SecondPlace() const;

    ProgressFactory progressFactory;
    // How often a running backup reports its progress.
    std::chrono::milliseconds progressInterval{40};
    // Runs on the side check's thread before it reads the file; tests slow the check with it.
    std::function<void()> beforeSideCheck;

private:
    enum class Outcome { Done, Cancelled, Busy, Failed };
    struct Result {
        Outcome outcome;
        QString failure;  // the system's or the engine's own words
        std::string path;
        int engineCode = 0;  // the engine's failure, when it was one
        int systemError = 0;
        // The failure's cause in Czech, and the original for "Podrobnosti".
        QString Said() const;
        QString Details() const;
    };
    // A backup of the open catalogue `catalogue`, then the oldest beyond the
    // count removed, and its copy in the second place.
    Result MakeBackup(const std::string& catalogue);
    void CopyToSecondPlace(const std::string& catalogue, const std::string& backup, int keep);
    // A byte-for-byte copy of a damaged catalogue, kept beside the backups.
    Result KeepDamagedCopy(const std::string& catalogue);
    // Copies `backup` beside `catalogue`, runs `saveCurrent`, closes the
    // connection, then renames the copy over the catalogue. False after a
    // message; the connection is then open again.
    bool PutInPlace(const std::string& backup, const std::string& catalogue, const std::function<bool()>& saveCurrent);
    // Closes the connection so that its journal is gone; false (reopened) when
    // another program still keeps one beside the catalogue.
    bool ReleaseCatalogue(const std::string& catalogue);
    // The newest backup the engine finds sound, with its books; null when none.
    const BackupFile* NewestSound(const std::vector<BackupFile>& backups, long long& books) const;
    // A sound file whose table is not the catalogue's: the restore is offered
    // when a sound backup exists; else, or declined, throws DetailedFailure
    // saying why in Czech.
    Opened CheckTable(const std::string& catalogue);
    // A damaged catalogue kept for reading: every row the engine can still
    // read is shown, and how many could not be is said.
    Opened KeepForReading(const std::string& catalogue);
    // The check another program's lock kept from running at opening, made
    // before the first change; false (after a message) when it found damage.
    bool CheckPostponed(const std::string& catalogue);
    std::function<bool()> Ticker(const QString& label, const std::string& growing, double expected,
                                 std::unique_ptr<Progress>& progress) const;

    TASQLite3DB& con_;
    UiServices& ui_;
    std::function<QString()> settingsPath_;
    // The catalogue whose first change in this run has been dealt with.
    std::string firstChangeDone_;
    // The catalogue whose first change went ahead without a backup, and the
    // rows the connection had changed before it.
    std::string unguarded_;
    long long changesBeforeUnguarded_ = 0;
    // The catalogue whose health check another program's lock kept from running.
    std::string unchecked_;
    // The damaged catalogue that is open for reading only.
    std::string damaged_;
    // A damaged catalogue just reported and not restored: when the fallback
    // that follows opens the same file, it is not reported a second time.
    std::string justReported_;
    std::string savedBeforeRestore_;
    std::future<Integrity> aside_;
    std::string asidePath_;
    // A failing second place is reported once per run.
    bool secondPlaceReported_ = false;
};
