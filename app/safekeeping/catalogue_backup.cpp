#include "app/safekeeping/catalogue_backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "app/platform/error_box.h"
#include "app/platform/profile_file.h"
#include "app/platform/ui_services.h"
#include "catalogue/backup_store.h"
#include "storage/connection.h"
#include "storage/errors.h"

namespace fs = std::filesystem;

namespace {

const char* const kSettingsSection = "nastaveni";
const char* const kCountKey = "pocetzaloh";
constexpr int kDefaultCount = 10;
// A backup's progress is the share of the catalogue's size written, in steps.
constexpr long long kProgressSteps = 1000;
const char* const kStampFormat = "yyyy-MM-dd_HH-mm-ss-zzz";
const char* const kPartSuffix = ".part";
const char* const kRestoreSuffix = ".obnova";

const char* const kBackupFailed =
    "Zálohu katalogu se nepodařilo zapsat do složky „%1“: %2\n\nProvést změnu i bez zálohy?";
const char* const kCurrentNotSaved =
    "Současný stav katalogu se nepodařilo zazálohovat do složky „%1“: %2\n\n"
    "Obnovit katalog ze zvolené zálohy i tak? Současný stav by se tím ztratil.";
const char* const kReadOnlyDamaged =
    "Katalog „%1“ je poškozený a je otevřený jen pro čtení: změny se do něj neukládají. "
    "Obnovte ho ze zálohy příkazem „obnovit ze zálohy…“ v nabídce „databáze“.";
const char* const kDamagedAsk =
    "Katalog „%1“ je poškozený: %2.\nHlášení databázového stroje: %3\n\n"
    "Do poškozeného souboru program nic nezapíše. Obnovit katalog z nejnovější zálohy "
    "z %4 (%5)? Poškozený soubor se předtím uschová do složky záloh „%6“.\n\nNe: %7";
const char* const kDamagedNoBackup =
    "Katalog „%1“ je poškozený: %2.\nHlášení databázového stroje: %3\n\n"
    "Záloha, ze které by šel obnovit, neexistuje. Do poškozeného souboru program nic nezapíše; %4";
const char* const kNotOpened = "katalog se neotevře.";
const char* const kOpenedReadOnly = "katalog se otevře jen pro čtení.";
const char* const kBadBackup = "Zálohu „%1“ nelze použít: %2\nKatalog zůstal beze změny.";
const char* const kCopyFailed =
    "Zálohu se nepodařilo zkopírovat vedle katalogu: %1\nKatalog zůstal beze změny.";
const char* const kDamagedNotKept =
    "Poškozený katalog se nepodařilo uschovat do složky záloh: %1\nKatalog zůstal beze změny.";
const char* const kReplaceFailed = "Katalog se nepodařilo nahradit zálohou: %1\nKatalog zůstal beze změny.";
const char* const kJournalBeside =
    "Vedle katalogu leží rozepsaný deník změn („%1“): katalog možná právě mění jiný program. "
    "Obnova se neprovedla.";

QString Czech(const char* text) { return QString::fromUtf8(text); }

std::string Bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString Path(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }
QString NameOf(const QString& path) { return QFileInfo(path).fileName(); }

const QRegularExpression& BackupName() {
    static const QRegularExpression name(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2}-\\d{3}Z\\.db$"));
    return name;
}

QString SystemMessage(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// A name for a new file in `folder` made now, one that no file there has yet.
QString FreshName(const QString& folder, const QString& prefix) {
    QDateTime made = QDateTime::currentDateTimeUtc();
    for (;;) {
        const QString name = prefix + made.toString(kStampFormat) + "Z.db";
        const QString path = QDir(folder).filePath(name);
        if (!QFileInfo::exists(path) && !QFileInfo::exists(path + kPartSuffix)) return path;
        made = made.addMSecs(1);
    }
}

void SyncDirectory(const QString& dir) {
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Flushes a written file to the disk; "VACUUM INTO" and plain copies leave that to the system.
QString SyncFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return SystemMessage(errno);
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    return synced == 0 ? QString() : SystemMessage(error);
}

// A byte-for-byte copy to `to` (which must not exist), flushed to the disk.
// Returns why it failed, or an empty text; a failed copy is removed.
QString CopyFile(const QString& from, const QString& to, const std::function<bool()>& tick) {
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return SystemMessage(errno);
    const int out = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return SystemMessage(error);
    }
    QString failure;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            failure = SystemMessage(errno);
            break;
        }
        if (got == 0) break;
        ssize_t done = 0;
        while (done < got) {
            const ssize_t put = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) break;
            done += put;
        }
        if (done < got) {
            failure = SystemMessage(errno);
            break;
        }
        if (tick && !tick()) {
            failure = "interrupted";
            break;
        }
    }
    if (failure.isEmpty() && ::fsync(out) != 0) failure = SystemMessage(errno);
    if (::close(out) != 0 && failure.isEmpty()) failure = SystemMessage(errno);
    ::close(in);
    if (!failure.isEmpty()) QFile::remove(to);
    return failure;
}

}  // namespace

CatalogueBackup::CatalogueBackup(TASQLite3DB& con, UiServices& ui, std::function<QString()> settingsPath)
    : con_(con), ui_(ui), settingsPath_(std::move(settingsPath)) {}

QString CatalogueBackup::FolderOf(const QString& catalogue) { return catalogue + ".zalohy"; }

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

QString CatalogueBackup::OpenCatalogue() const {
    if (!con_.LibraryLoaded() || !con_.Handle()) return {};
    return Path(OpenCataloguePath(con_));
}

std::vector<BackupFile> CatalogueBackup::Backups() const {
    std::vector<BackupFile> backups;
    const QString catalogue = OpenCatalogue();
    if (catalogue.isEmpty()) return backups;
    const QDir folder(FolderOf(catalogue));
    QStringList names = folder.entryList(QDir::Files, QDir::Name);
    std::reverse(names.begin(), names.end());
    for (const QString& name : names) {
        if (!BackupName().match(name).hasMatch()) continue;
        // Read as UTC from the start: a local reading could fall into a daylight-saving gap.
        const QDateTime made(QDate::fromString(name.left(10), "yyyy-MM-dd"),
                             QTime::fromString(name.mid(11, 12), "HH-mm-ss-zzz"), Qt::UTC);
        backups.push_back({folder.filePath(name), made});
    }
    return backups;
}

long long CatalogueBackup::BooksIn(const QString& backup) const {
    return InspectCatalogueFile(con_.Api(), Bytes(backup), false).books;
}

std::function<bool()> CatalogueBackup::Ticker(const QString& label, const std::string& growing,
                                              double expected,
                                              std::unique_ptr<Progress>& progress) const {
    auto last = std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
    return [=, this, &progress]() {
        const auto now = std::chrono::steady_clock::now();
        if (now - *last < progressInterval) return true;
        *last = now;
        if (!progress)
            progress = progressFactory ? progressFactory(label)
                                       : ui_.StartProgress(ProgramTitle(), label, kProgressSteps);
        struct stat info {};
        const double written = ::stat(growing.c_str(), &info) == 0 ? static_cast<double>(info.st_size) : 0;
        const double share = std::min(1.0, written / std::max(expected, 1.0));
        return progress->Step(static_cast<long long>(share * kProgressSteps));
    };
}

CatalogueBackup::Result CatalogueBackup::MakeBackup(const QString& catalogue) {
    const QString folder = FolderOf(catalogue);
    std::error_code error;
    fs::create_directory(Bytes(folder), error);
    if (error) return {Outcome::Failed, QString::fromLocal8Bit(error.message().c_str()), {}};
    // What an interrupted run left behind is no backup.
    for (const QString& name : QDir(folder).entryList({QString("*") + kPartSuffix}, QDir::Files))
        if (BackupName().match(name.chopped(int(std::strlen(kPartSuffix)))).hasMatch())
            QFile::remove(QDir(folder).filePath(name));

    const QString target = FreshName(folder, QString());
    const std::string part = Bytes(target + kPartSuffix);
    std::unique_ptr<Progress> progress;
    const auto tick = Ticker(Czech("Zálohuje se katalog „%1“…").arg(NameOf(catalogue)), part,
                             static_cast<double>(QFileInfo(catalogue).size()), progress);
    QString failure;
    try {
        VacuumInto(con_, part, tick);
        KeepSchemaFormat(Bytes(catalogue), part);
        failure = SyncFile(Path(part));
        if (failure.isEmpty() && ::rename(part.c_str(), Bytes(target).c_str()) != 0)
            failure = SystemMessage(errno);
    } catch (const CopyCancelled&) {
        QFile::remove(Path(part));
        return {Outcome::Cancelled, {}, {}};
    } catch (const CatalogueBusy& e) {
        QFile::remove(Path(part));
        return {Outcome::Busy, QString::fromLocal8Bit(e.what()), {}};
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    if (!failure.isEmpty()) {
        QFile::remove(Path(part));
        return {Outcome::Failed, failure, {}};
    }
    SyncDirectory(folder);

    const int keep = KeptBackups();
    if (keep > 0) {
        const std::vector<BackupFile> backups = Backups();
        for (size_t i = static_cast<size_t>(keep); i < backups.size(); ++i) QFile::remove(backups[i].path);
    }
    return {Outcome::Done, {}, target};
}

CatalogueBackup::Result CatalogueBackup::KeepDamagedCopy(const QString& catalogue) {
    const QString folder = FolderOf(catalogue);
    std::error_code error;
    fs::create_directory(Bytes(folder), error);
    if (error) return {Outcome::Failed, QString::fromLocal8Bit(error.message().c_str()), {}};
    // Not named like a backup: it is neither listed for restoring nor rotated away.
    const QString target = FreshName(folder, "poskozeny-");
    const QString part = target + kPartSuffix;
    QString failure = CopyFile(catalogue, part, {});
    if (failure.isEmpty() && ::rename(Bytes(part).c_str(), Bytes(target).c_str()) != 0) {
        failure = SystemMessage(errno);
        QFile::remove(part);
    }
    if (!failure.isEmpty()) return {Outcome::Failed, failure, {}};
    SyncDirectory(folder);
    return {Outcome::Done, {}, target};
}

bool CatalogueBackup::PutInPlace(const QString& backup, const QString& catalogue,
                                 const std::function<bool()>& saveCurrent) {
    // A journal beside the catalogue belongs to its present contents; the
    // engine would play it back into the restored file.
    for (const char* suffix : {"-journal", "-wal"}) {
        if (QFileInfo::exists(catalogue + suffix)) {
            ui_.ErrorBox(ProgramTitle(), Czech(kJournalBeside).arg(NameOf(catalogue) + suffix));
            return false;
        }
    }
    // The copy is made beside the catalogue and renamed over it, so the
    // catalogue is at every moment either the old file or the whole backup.
    const QString temporary = catalogue + kRestoreSuffix;
    QFile::remove(temporary);
    std::unique_ptr<Progress> progress;
    const auto tick = Ticker(Czech("Obnovuje se katalog „%1“…").arg(NameOf(catalogue)), Bytes(temporary),
                             static_cast<double>(QFileInfo(backup).size()), progress);
    const QString failure = CopyFile(backup, temporary, tick);
    if (failure == "interrupted") return false;
    if (!failure.isEmpty()) {
        ui_.ErrorBox(ProgramTitle(), Czech(kCopyFailed).arg(failure));
        return false;
    }
    std::error_code error;
    fs::permissions(Bytes(temporary), fs::status(Bytes(catalogue), error).permissions(), error);
    if (!saveCurrent()) {
        QFile::remove(temporary);
        return false;
    }
    if (::rename(Bytes(temporary).c_str(), Bytes(catalogue).c_str()) != 0) {
        const QString why = SystemMessage(errno);
        QFile::remove(temporary);
        ui_.ErrorBox(ProgramTitle(), Czech(kReplaceFailed).arg(why));
        return false;
    }
    SyncDirectory(QFileInfo(catalogue).absolutePath());
    firstChangeDone_.clear();
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
        ui_.ErrorBox(ProgramTitle(), Czech(kReadOnlyDamaged).arg(NameOf(Path(catalogue))));
        return false;
    }
    if (catalogue == firstChangeDone_) return true;
    if (KeptBackups() == 0) {
        firstChangeDone_ = catalogue;
        return true;
    }
    // A catalogue that cannot be written cannot be changed either: the change
    // reports that itself, and a backup would guard nothing.
    if (::access(catalogue.c_str(), W_OK) != 0) return true;

    const Result made = MakeBackup(Path(catalogue));
    switch (made.outcome) {
        case Outcome::Done:
            break;
        case Outcome::Cancelled:
            return false;
        case Outcome::Busy:
            // The change would meet the same lock: it is reported as the change's
            // own failure would be, and the backup is tried again next time.
            ui_.ErrorBox(ProgramTitle(), ErrorBoxText(made.failure));
            return false;
        case Outcome::Failed:
            // Asked once: agreed, the catalogue's later changes in this run go ahead without asking.
            if (!ui_.Question(ProgramTitle(),
                              Czech(kBackupFailed).arg(FolderOf(Path(catalogue)), made.failure)))
                return false;
            break;
    }
    firstChangeDone_ = catalogue;
    return true;
}

bool CatalogueBackup::Restore(const QString& backup) {
    const QString catalogue = OpenCatalogue();
    if (catalogue.isEmpty()) throw std::runtime_error("Database not connected");
    const CatalogueSummary summary = InspectCatalogueFile(con_.Api(), Bytes(backup), true);
    if (summary.integrity.state != Integrity::State::Sound || summary.books < 0) {
        const std::string why =
            summary.integrity.state != Integrity::State::Sound ? summary.integrity.report : summary.failure;
        ui_.ErrorBox(ProgramTitle(), Czech(kBadBackup).arg(NameOf(backup), QString::fromLocal8Bit(why.c_str())));
        return false;
    }
    const bool damaged = Bytes(catalogue) == damaged_;
    return PutInPlace(backup, catalogue, [&] {
        // A damaged catalogue cannot be copied by the engine: its bytes are kept as they are.
        const Result saved = damaged ? KeepDamagedCopy(catalogue) : MakeBackup(catalogue);
        if (saved.outcome == Outcome::Done) return true;
        if (saved.outcome == Outcome::Cancelled) return false;
        if (saved.outcome == Outcome::Busy) {
            ui_.ErrorBox(ProgramTitle(), ErrorBoxText(saved.failure));
            return false;
        }
        if (damaged) {
            ui_.ErrorBox(ProgramTitle(), Czech(kDamagedNotKept).arg(saved.failure));
            return false;
        }
        return ui_.Question(ProgramTitle(), Czech(kCurrentNotSaved).arg(FolderOf(catalogue), saved.failure));
    });
}

CatalogueBackup::Opened CatalogueBackup::CheckOpened(bool lastResort) {
    firstChangeDone_.clear();
    damaged_.clear();
    const std::string reported = lastResort ? justReported_ : std::string();
    justReported_.clear();
    const QString catalogue = OpenCatalogue();
    if (catalogue.isEmpty()) return Opened::Sound;
    const Integrity health = QuickCheck(con_);
    if (health.state == Integrity::State::Sound) return Opened::Sound;
    if (Bytes(catalogue) == reported) {
        RefuseWrites(con_);
        damaged_ = reported;
        return Opened::ReadOnly;
    }

    const std::vector<BackupFile> backups = Backups();
    // Without backups, a file with no database header is taken for what it
    // most likely is, some other file: the caller's usual failure follows.
    if (health.state == Integrity::State::NotADatabase && backups.empty())
        throw EDatabaseError(health.report);

    const char* problem = health.state == Integrity::State::NotADatabase
                              ? "soubor nemá platnou hlavičku databáze"
                          : LooksTruncated(Bytes(catalogue)) ? "soubor je zkrácený, chybí jeho konec"
                                                             : "kontrola celistvosti v něm našla chyby";
    const QString name = NameOf(catalogue);
    const QString report = QString::fromLocal8Bit(health.report.c_str());
    const BackupFile* newest = nullptr;
    long long books = 0;
    for (const BackupFile& backup : backups) {
        const CatalogueSummary summary = InspectCatalogueFile(con_.Api(), Bytes(backup.path), true);
        if (summary.integrity.state == Integrity::State::Sound && summary.books >= 0) {
            newest = &backup;
            books = summary.books;
            break;
        }
    }
    if (newest) {
        const QString question = Czech(kDamagedAsk)
                                     .arg(name, Czech(problem), report, ShownTime(newest->made),
                                          BooksText(books), FolderOf(catalogue),
                                          Czech(lastResort ? kOpenedReadOnly : kNotOpened));
        if (ui_.Question(ProgramTitle(), question) &&
            PutInPlace(newest->path, catalogue, [&] {
                const Result kept = KeepDamagedCopy(catalogue);
                if (kept.outcome != Outcome::Done)
                    ui_.ErrorBox(ProgramTitle(), Czech(kDamagedNotKept).arg(kept.failure));
                return kept.outcome == Outcome::Done;
            })) {
            con_.SetConnected(true);
            if (QuickCheck(con_).state == Integrity::State::Sound) return Opened::Restored;
        }
    } else {
        ui_.ErrorBox(ProgramTitle(), Czech(kDamagedNoBackup)
                                         .arg(name, Czech(problem), report,
                                              Czech(lastResort ? kOpenedReadOnly : kNotOpened)));
    }
    if (!lastResort) {
        justReported_ = Bytes(catalogue);
        throw CatalogueDamaged(health.report);
    }
    RefuseWrites(con_);
    damaged_ = OpenCataloguePath(con_);
    return Opened::ReadOnly;
}
