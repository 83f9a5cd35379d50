#include "app/safekeeping/catalogue_backup.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "app/platform/error_box.h"
#include "app/core/profile_file.h"
#include "app/platform/system_message.h"
#include "app/platform/ui_services.h"
#include "app/safekeeping/second_place.h"
#include "catalogue/backup_store.h"
#include "storage/connection.h"
#include "storage/errors.h"

namespace fs = std::filesystem;
using namespace backupfiles;

namespace {

const char* const kSettingsSection = "nastaveni";
const char* const kCountKey = "pocetzaloh";
const char* const kSecondPlaceKey = "zalohydo";
constexpr int kDefaultCount = 10;
// A backup's progress is the share of the catalogue's size written, in steps.
constexpr long long kProgressSteps = 1000;
const char* const kPartSuffix = ".part";
const char* const kRestoreSuffix = ".obnova";

const char* const kBackupFailed =
    "Zálohu katalogu se nepodařilo zapsat do složky „%1“: %2.\n\nProvést změnu i bez zálohy?";
const char* const kBackupNowFailed = "Zálohu katalogu se nepodařilo zapsat do složky „%1“: %2.";
const char* const kBackupNowDone = "Katalog je zazálohován do souboru „%1“.";
const char* const kBackupNowDamaged =
    "Katalog „%1“ je poškozený a zazálohovat ho nelze. Obnovte ho ze zálohy příkazem "
    "„obnovit ze zálohy…“ v nabídce „databáze“.";
const char* const kNothingOpen = "Není otevřen žádný katalog.";
const char* const kSecondPlaceFailed =
    "Zálohu se nepodařilo zkopírovat do druhého místa pro zálohy „%1“ (klíč „zalohydo“ "
    "v nastav.ini): %2. Záloha vedle katalogu je v pořádku. Do konce běhu programu se "
    "tato zpráva už neukáže.";
const char* const kCurrentNotSaved =
    "Současný stav katalogu se nepodařilo zazálohovat do složky „%1“: %2.\n\n"
    "Obnovit katalog ze zvolené zálohy i tak? Současný stav by se tím ztratil.";
const char* const kReadOnlyDamaged =
    "Katalog „%1“ je poškozený a je otevřený jen pro čtení: změny se do něj neukládají. "
    "Obnovte ho ze zálohy příkazem „obnovit ze zálohy…“ v nabídce „databáze“.";
const char* const kDamagedAsk =
    "Katalog „%1“ je poškozený (%2) a program do něj nic nezapíše.\n\n"
    "Obnovit ho z nejnovější zálohy z %3 (%4)? Poškozený soubor se předtím uschová do "
    "složky záloh. Ne: %5";
const char* const kDamagedNoBackup =
    "Katalog „%1“ je poškozený (%2) a záloha, ze které by šel obnovit, neexistuje. "
    "Program do něj nic nezapíše; %3";
const char* const kDamageDetails = "Hlášení databázového stroje:\n%1";
const char* const kNotOpened = "katalog se neotevře.";
const char* const kOpenedReadOnly = "katalog se otevře jen pro čtení.";
const char* const kBadBackup = "Zálohu „%1“ nelze použít: %2.\nKatalog zůstal beze změny.";
const char* const kCopyFailed = "Zálohu se nepodařilo zkopírovat vedle katalogu: %1.\nKatalog zůstal beze změny.";
const char* const kDamagedNotKept =
    "Poškozený katalog se nepodařilo uschovat do složky záloh: %1.\nKatalog zůstal beze změny.";
const char* const kReplaceFailed = "Katalog se nepodařilo nahradit zálohou: %1.\nKatalog zůstal beze změny.";
const char* const kJournalBeside =
    "Vedle katalogu leží rozepsaný deník změn („%1“): katalog má otevřený jiný program. "
    "Zavřete ho a obnovu zkuste znovu. Obnova se neprovedla.";

QString Czech(const char* text) { return QString::fromUtf8(text); }
QString ShownName(const std::string& path) { return Shown(NameOf(path)); }
QString Said(const QString& failure) { return CzechSystemMessage(failure); }
// The engine's result code of a catalogue held locked by another program.
constexpr int kBusyCode = 5;
constexpr int kLockedCode = 6;
constexpr int kErrorCode = 1;
constexpr int kCorruptCode = 11;
constexpr int kNotADbCode = 26;
// The count of books failed on a file the engine reads: it holds no table of books.
const char* const kNoCatalogueTable = "soubor neobsahuje tabulku katalogu";

}  // namespace

QString CatalogueBackup::Result::Said() const {
    return engineCode != 0 ? EngineFailureCause(engineCode, systemError) : CzechSystemMessage(failure);
}

QString CatalogueBackup::Result::Details() const { return engineCode != 0 ? failure : SystemDetails(failure); }

CatalogueBackup::CatalogueBackup(TASQLite3DB& con, UiServices& ui, std::function<QString()> settingsPath)
    : con_(con), ui_(ui), settingsPath_(std::move(settingsPath)) {}

QString CatalogueBackup::ShownTime(const QDateTime& made) {
    const QDateTime local = made.toLocalTime();
    return QString("%1. %2. %3 %4")
        .arg(local.date().day())
        .arg(local.date().month())
        .arg(local.date().year())
        .arg(local.time().toString("HH:mm:ss"));
}

QString CatalogueBackup::BooksText(long long books) {
    const char* word = books == 1 ? "kniha" : (books >= 2 && books <= 4) ? "knihy" : "knih";
    return QString::number(books) + ' ' + word;
}

int CatalogueBackup::KeptBackups() const {
    const std::string value =
        ProfileFile(settingsPath_()).ReadString(kSettingsSection, kCountKey, std::to_string(kDefaultCount));
    const QString text = QString::fromLatin1(value.c_str()).trimmed();
    bool ok = false;
    const int count = text.toInt(&ok);
    return ok && count >= 0 ? count : kDefaultCount;
}

std::string CatalogueBackup::SecondPlace() const {
    return ProfileFile(settingsPath_()).ReadString(kSettingsSection, kSecondPlaceKey, "");
}

std::string CatalogueBackup::OpenCatalogue() const {
    if (!con_.LibraryLoaded() || !con_.Handle()) return {};
    return OpenCataloguePath(con_);
}

std::vector<BackupFile> CatalogueBackup::Backups() const {
    const std::string catalogue = OpenCatalogue();
    if (catalogue.empty()) return {};
    return List(FolderOf(catalogue), QDateTime::currentDateTimeUtc());
}

long long CatalogueBackup::BooksIn(const std::string& backup) const {
    return InspectCatalogueFile(con_.Api(), backup, false).books;
}

std::function<bool()> CatalogueBackup::Ticker(const QString& label, const std::string& growing, double expected,
                                              std::unique_ptr<Progress>& progress) const {
    auto last = std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
    return [=, this, &progress]() {
        const auto now = std::chrono::steady_clock::now();
        if (now - *last < progressInterval) return true;
        *last = now;
        if (!progress)
            progress =
                progressFactory ? progressFactory(label) : ui_.StartProgress(ProgramTitle(), label, kProgressSteps);
        const double written = static_cast<double>(std::max(0LL, SizeOf(growing)));
        const double share = std::min(1.0, written / std::max(expected, 1.0));
        return progress->Step(static_cast<long long>(share * kProgressSteps));
    };
}

CatalogueBackup::Result CatalogueBackup::MakeBackup(const std::string& catalogue) {
    const std::string folder = FolderOf(catalogue);
    if (QString failure = MakeFolder(folder); !failure.isEmpty()) return {Outcome::Failed, failure, {}};
    RemoveUnfinished(folder);

    const std::string target = FreshName(folder, {});
    // Whatever way this ends without the backup, the part and its journal go.
    PartFile part(target + kPartSuffix);
    if (!part.failure().isEmpty()) return {Outcome::Failed, part.failure(), {}};
    std::unique_ptr<Progress> progress;
    const auto tick = Ticker(Czech("Zálohuje se katalog „%1“…").arg(ShownName(catalogue)), part.path(),
                             static_cast<double>(SizeOf(catalogue)), progress);
    QString failure;
    try {
        // The engine writes into the empty file the lock is held on.
        VacuumInto(con_, part.path(), tick);
        KeepSchemaFormat(catalogue, part.path());
        failure = SyncFile(part.path());
        if (failure.isEmpty()) failure = part.Finish(target);
    } catch (const CopyCancelled&) {
        return {Outcome::Cancelled, {}, {}};
    } catch (const CatalogueBusy& e) {
        return {Outcome::Busy, QString::fromLocal8Bit(e.what()), {}, kBusyCode};
    } catch (const EDatabaseError& e) {
        return {Outcome::Failed, QString::fromLocal8Bit(e.what()), {}, e.EngineCode(), e.SystemError()};
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    if (!failure.isEmpty()) return {Outcome::Failed, failure, {}};
    SyncDirectory(folder);
    const int keep = KeptBackups();
    // The backup just made stays whatever the clock said when the others were named.
    Prune(folder, keep, target);
    progress.reset();
    CopyToSecondPlace(catalogue, target, keep);
    return {Outcome::Done, {}, target};
}

void CatalogueBackup::CopyToSecondPlace(const std::string& catalogue, const std::string& backup, int keep) {
    const std::string place = SecondPlace();
    if (place.empty() || secondPlaceReported_) return;
    std::unique_ptr<Progress> progress;
    const std::string folder = secondplace::FolderFor(place, catalogue);
    const auto tick = Ticker(Czech("Záloha se kopíruje do „%1“…").arg(Shown(folder)),
                             Join(folder, NameOf(backup) + kPartSuffix), static_cast<double>(SizeOf(backup)), progress);
    const QString failure = secondplace::Mirror(place, catalogue, backup, keep, tick);
    progress.reset();
    // A cancelled copy is the user's choice, not a fault of the place.
    if (failure.isEmpty() || failure == kInterrupted) return;
    secondPlaceReported_ = true;
    ui_.DetailedErrorBox(ProgramTitle(), Czech(kSecondPlaceFailed).arg(Shown(place), Said(failure)),
                         SystemDetails(failure));
}

CatalogueBackup::Result CatalogueBackup::KeepDamagedCopy(const std::string& catalogue) {
    const std::string folder = FolderOf(catalogue);
    if (QString failure = MakeFolder(folder); !failure.isEmpty()) return {Outcome::Failed, failure, {}};
    // Not named like a backup: it is neither listed for restoring nor rotated away.
    const std::string target = FreshName(folder, "poskozeny-");
    PartFile part(target + kPartSuffix);
    QString failure = part.failure();
    if (failure.isEmpty()) failure = CopyFile(catalogue, part, {});
    if (failure.isEmpty()) failure = part.Finish(target);
    if (!failure.isEmpty()) return {Outcome::Failed, failure, {}};
    SyncDirectory(folder);
    return {Outcome::Done, {}, target};
}

bool CatalogueBackup::ReleaseCatalogue(const std::string& catalogue) {
    if (aside_.valid()) aside_.wait();  // a check on the engine about to be let go of
    // Closing the last connection of a catalogue in write-ahead-log mode puts
    // the log back into the file and removes it; the checkpoint first does the
    // same while the connection is still there to report nothing was lost.
    if (con_.Handle()) {
        try {
            con_.ExecStatements("PRAGMA wal_checkpoint(TRUNCATE)");
        } catch (const std::exception&) {
            // a damaged or read-only catalogue: closing is all that can be done
        }
        con_.SetConnected(false);
    }
    // What is still there belongs to another program, which would play it
    // back into the restored file: a journal with content, or a log at all
    // (the last connection to close removes it).
    const std::string journal = catalogue + "-journal";
    const std::string log = catalogue + "-wal";
    const std::string left = SizeOf(journal) > 0 ? journal : Exists(log) ? log : std::string();
    if (left.empty()) return true;
    con_.SetConnected(true);
    ui_.ErrorBox(ProgramTitle(), Czech(kJournalBeside).arg(ShownName(left)));
    return false;
}

bool CatalogueBackup::PutInPlace(const std::string& backup, const std::string& catalogue,
                                 const std::function<bool()>& saveCurrent) {
    // The copy is made beside the catalogue and renamed over it, so the
    // catalogue is at every moment either the old file or the whole backup.
    // Held until it is renamed, so that another copy of the program opening
    // the catalogue meanwhile does not take it for a leftover.
    RemoveAbandoned(catalogue + kRestoreSuffix);
    PartFile temporary(catalogue + kRestoreSuffix);
    std::unique_ptr<Progress> progress;
    const auto tick = Ticker(Czech("Obnovuje se katalog „%1“…").arg(ShownName(catalogue)), temporary.path(),
                             static_cast<double>(SizeOf(backup)), progress);
    QString failure = temporary.failure();
    if (failure.isEmpty()) failure = CopyFile(backup, temporary, tick);
    progress.reset();
    if (failure == kInterrupted) return false;
    if (!failure.isEmpty()) {
        ui_.DetailedErrorBox(ProgramTitle(), Czech(kCopyFailed).arg(Said(failure)), SystemDetails(failure));
        return false;
    }
    std::error_code error;
    fs::permissions(temporary.path(), fs::status(catalogue, error).permissions(), error);
    // The log of a catalogue in write-ahead-log mode goes into the file first,
    // so that the backup of the state before the restore holds it.
    if (con_.Handle()) {
        try {
            con_.ExecStatements("PRAGMA wal_checkpoint(TRUNCATE)");
        } catch (const std::exception&) {}
    }
    if (!saveCurrent() || !ReleaseCatalogue(catalogue)) return false;
    if (const QString why = temporary.Finish(catalogue); !why.isEmpty()) {
        con_.SetConnected(true);
        ui_.DetailedErrorBox(ProgramTitle(), Czech(kReplaceFailed).arg(Said(why)), SystemDetails(why));
        return false;
    }
    SyncDirectory(ParentOf(catalogue));
    firstChangeDone_.clear();
    unguarded_.clear();
    damaged_.clear();
    return true;
}

bool CatalogueBackup::BeforeChange() {
    if (!con_.LibraryLoaded() || !con_.Handle()) return true;
    std::string catalogue;
    try {
        catalogue = OpenCataloguePath(con_);
    } catch (const std::exception&) {
        return true;  // the change meets the same failure and reports it
    }
    if (catalogue.empty()) return true;
    if (catalogue == damaged_) {
        ui_.ErrorBox(ProgramTitle(), Czech(kReadOnlyDamaged).arg(ShownName(catalogue)));
        return false;
    }
    if (catalogue == unchecked_ && !CheckPostponed(catalogue)) return false;
    if (catalogue == firstChangeDone_) return true;
    // A change that went ahead without a backup counts as the first only once
    // it wrote something: one that failed leaves the next to be backed up,
    // without asking again when the backup fails again.
    const bool agreed = catalogue == unguarded_;
    if (agreed && ChangesMade(con_) > changesBeforeUnguarded_) {
        firstChangeDone_ = catalogue;
        return true;
    }
    if (KeptBackups() == 0) {
        firstChangeDone_ = catalogue;
        return true;
    }
    // A catalogue that cannot be written cannot be changed either: the change
    // reports that itself, and a backup would guard nothing.
    if (::access(catalogue.c_str(), W_OK) != 0) return true;

    const Result made = MakeBackup(catalogue);
    switch (made.outcome) {
    case Outcome::Done: break;
    case Outcome::Cancelled: return false;
    case Outcome::Busy:
        // The change would meet the same lock: it is reported as the change's
        // own failure would be, and the backup is tried again next time.
        ui_.DetailedErrorBox(ProgramTitle(), EngineFailureSentence(made.engineCode, 0), made.failure);
        return false;
    case Outcome::Failed:
        // Asked once: agreed, the catalogue's later changes in this run go ahead without asking.
        if (!agreed &&
            !ui_.DetailedQuestion(ProgramTitle(), Czech(kBackupFailed).arg(Shown(FolderOf(catalogue)), made.Said()),
                                  made.Details()))
            return false;
        unguarded_ = catalogue;
        changesBeforeUnguarded_ = ChangesMade(con_);
        return true;
    }
    firstChangeDone_ = catalogue;
    return true;
}

bool CatalogueBackup::BackupNow() {
    std::string catalogue;
    if (con_.LibraryLoaded() && con_.Handle()) catalogue = OpenCataloguePath(con_);
    if (catalogue.empty()) {
        ui_.InformationBox(ProgramTitle(), Czech(kNothingOpen));
        return false;
    }
    if (catalogue == damaged_) {
        ui_.ErrorBox(ProgramTitle(), Czech(kBackupNowDamaged).arg(ShownName(catalogue)));
        return false;
    }
    const Result made = MakeBackup(catalogue);
    if (made.outcome == Outcome::Cancelled) return false;
    if (made.outcome != Outcome::Done) {
        ui_.DetailedErrorBox(ProgramTitle(), Czech(kBackupNowFailed).arg(Shown(FolderOf(catalogue)), made.Said()),
                             made.Details());
        return false;
    }
    // The state is saved: the next change in this run needs no backup of its own.
    firstChangeDone_ = catalogue;
    ui_.InformationBox(ProgramTitle(), Czech(kBackupNowDone).arg(Shown(made.path)));
    return true;
}

bool CatalogueBackup::Restore(const std::string& backup) {
    savedBeforeRestore_.clear();
    const std::string catalogue = OpenCatalogue();
    if (catalogue.empty()) throw std::runtime_error("Database not connected");
    const CatalogueSummary summary = InspectCatalogueFile(con_.Api(), backup, true);
    if (summary.integrity.state != Integrity::State::Sound || summary.books < 0) {
        const QString why = QString::fromLocal8Bit(
            (summary.integrity.state != Integrity::State::Sound ? summary.integrity.report : summary.failure).c_str());
        const QString said =
            summary.integrity.state == Integrity::State::NotADatabase ? EngineFailureCause(kNotADbCode, 0)
            : summary.integrity.state == Integrity::State::Damaged    ? EngineFailureCause(kCorruptCode, 0)
            : summary.failureCode == kErrorCode                       ? Czech(kNoCatalogueTable)
            : summary.failureCode != 0                                ? EngineFailureCause(summary.failureCode, 0)
                                                                      : Said(why);
        ui_.DetailedErrorBox(ProgramTitle(), Czech(kBadBackup).arg(ShownName(backup), said), why);
        return false;
    }
    const bool damaged = catalogue == damaged_;
    return PutInPlace(backup, catalogue, [&] {
        // A damaged catalogue cannot be copied by the engine: its bytes are kept as they are.
        const Result saved = damaged ? KeepDamagedCopy(catalogue) : MakeBackup(catalogue);
        if (saved.outcome == Outcome::Done) {
            savedBeforeRestore_ = saved.path;
            return true;
        }
        if (saved.outcome == Outcome::Cancelled) return false;
        if (saved.outcome == Outcome::Busy) {
            ui_.DetailedErrorBox(ProgramTitle(), EngineFailureSentence(saved.engineCode, 0), saved.failure);
            return false;
        }
        if (damaged) {
            ui_.DetailedErrorBox(ProgramTitle(), Czech(kDamagedNotKept).arg(saved.Said()), saved.Details());
            return false;
        }
        return ui_.DetailedQuestion(
            ProgramTitle(), Czech(kCurrentNotSaved).arg(Shown(FolderOf(catalogue)), saved.Said()), saved.Details());
    });
}

void CatalogueBackup::CheckAside() {
    aside_ = {};  // waits for a check still running
    asidePath_ = OpenCatalogue();
    // A journal left by a broken write is rolled back by the first reader;
    // that stays the program's own connection, checking as it always did.
    if (asidePath_.empty() || ::access((asidePath_ + "-journal").c_str(), F_OK) == 0) return;
    aside_ = std::async(std::launch::async, [api = &con_.Api(), optional = &con_.OptionalApi(), path = asidePath_,
                                             wait = con_.BusyTimeout, hook = beforeSideCheck] {
        if (hook) hook();
        return QuickCheckFile(*api, *optional, path, wait);
    });
}

CatalogueBackup::Opened CatalogueBackup::CheckOpened(bool lastResort) {
    // What follows may restore the file, let go of the engine the check reads
    // through, or hand back to a caller that opens another catalogue: the
    // check beside it finishes first, whichever way this ends.
    std::future<Integrity> aside = std::move(aside_);
    if (aside.valid()) aside.wait();
    firstChangeDone_.clear();
    unguarded_.clear();
    damaged_.clear();
    unchecked_.clear();
    const std::string reported = lastResort ? justReported_ : std::string();
    justReported_.clear();
    const std::string catalogue = OpenCatalogue();
    if (catalogue.empty()) return Opened::Sound;
    // What a killed run left: a restore's copy, unfinished backups and their journals.
    RemoveAbandoned(catalogue + kRestoreSuffix);
    RemoveUnfinished(FolderOf(catalogue));
    Integrity health = CheckEmptiness(catalogue);
    try {
        if (health.state == Integrity::State::Sound)
            health = aside.valid() && asidePath_ == catalogue ? aside.get() : QuickCheck(con_);
    } catch (const EDatabaseError& e) {
        // Another program's lock keeps the check from reading: it is made
        // before the first change instead.
        if ((e.EngineCode() & 0xFF) == kBusyCode || (e.EngineCode() & 0xFF) == kLockedCode) unchecked_ = catalogue;
        throw;
    }
    if (health.state == Integrity::State::Sound) return CheckTable(catalogue);
    if (catalogue == reported) return KeepForReading(reported);

    const std::vector<BackupFile> backups = Backups();
    // Without backups, a file with no database header is taken for what it
    // most likely is, some other file: the caller's usual failure follows.
    if (health.state == Integrity::State::NotADatabase && backups.empty())
        throw EDatabaseError(health.report, kNotADbCode);

    const bool empty = SizeOf(catalogue) == 0;
    const char* problem = empty                                            ? "soubor je prázdný"
                          : health.state == Integrity::State::NotADatabase ? "soubor nemá platnou hlavičku databáze"
                          : LooksTruncated(catalogue)                      ? "soubor je zkrácený, chybí jeho konec"
                                                                           : "kontrola celistvosti v něm našla chyby";
    const QString name = ShownName(catalogue);
    const QString details = Czech(kDamageDetails).arg(QString::fromLocal8Bit(health.report.c_str()));
    long long books = 0;
    const BackupFile* newest = NewestSound(backups, books);
    const QString outcome = Czech(lastResort ? kOpenedReadOnly : kNotOpened);
    if (newest) {
        const QString question =
            Czech(kDamagedAsk).arg(name, Czech(problem), ShownTime(newest->made), BooksText(books), outcome);
        if (ui_.DetailedQuestion(ProgramTitle(), question, details) && PutInPlace(newest->path, catalogue, [&] {
                const Result kept = KeepDamagedCopy(catalogue);
                if (kept.outcome != Outcome::Done)
                    ui_.DetailedErrorBox(ProgramTitle(), Czech(kDamagedNotKept).arg(kept.Said()), kept.Details());
                return kept.outcome == Outcome::Done;
            })) {
            con_.SetConnected(true);
            if (QuickCheck(con_).state == Integrity::State::Sound) return Opened::Restored;
        }
    } else {
        ui_.DetailedErrorBox(ProgramTitle(), Czech(kDamagedNoBackup).arg(name, Czech(problem), outcome), details);
    }
    if (!lastResort) {
        justReported_ = catalogue;
        throw CatalogueDamaged(health.report);
    }
    return KeepForReading(OpenCataloguePath(con_));
}
