#include "app/safekeeping/backup_files.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/platform/system_message.h"
#include "catalogue/backup_store.h"

namespace fs = std::filesystem;

namespace backupfiles {

namespace {

const char* const kStampFormat = "yyyy-MM-dd_HH-mm-ss-zzz";
const char* const kPartSuffix = ".part";
const char* const kJournalSuffix = "-journal";
// A damaged catalogue kept aside is named like a backup after this.
const char* const kDamagedPrefix = "poskozeny-";

// Backup names are ASCII; Latin-1 reads any other name byte for byte without failing.
bool IsBackupName(const std::string& name) {
    static const QRegularExpression pattern(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2}-\\d{3}Z\\.db$"));
    return pattern.match(QString::fromLatin1(name.data(), qsizetype(name.size()))).hasMatch();
}

QDateTime TimeIn(const std::string& name) {
    const QString text = QString::fromLatin1(name.data(), qsizetype(name.size()));
    // Read as UTC from the start: a local reading could fall into a daylight-saving gap.
    return QDateTime(QDate::fromString(text.left(10), "yyyy-MM-dd"),
                     QTime::fromString(text.mid(11, 12), "HH-mm-ss-zzz"), Qt::UTC);
}

bool SameFile(int fd, const std::string& path) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

// "<backup name>.part" or "poskozeny-<backup name>.part": what our own runs write.
bool IsPartName(const std::string& name) {
    const std::string suffix = kPartSuffix;
    if (name.size() <= suffix.size() || !name.ends_with(suffix)) return false;
    std::string stem = name.substr(0, name.size() - suffix.size());
    if (stem.starts_with(kDamagedPrefix)) stem.erase(0, std::strlen(kDamagedPrefix));
    return IsBackupName(stem);
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code kind;
        if (it->is_regular_file(kind)) names.push_back(it->path().filename().native());
    }
    return names;
}

}  // namespace

std::string FolderOf(const std::string& catalogue) { return BackupFolderOf(catalogue); }

std::string Join(const std::string& folder, const std::string& name) { return (fs::path(folder) / name).native(); }

std::string NameOf(const std::string& path) { return fs::path(path).filename().native(); }

std::string ParentOf(const std::string& path) { return fs::path(path).parent_path().native(); }

QString Shown(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::vector<BackupFile> List(const std::string& folder, const QDateTime& now) {
    std::vector<BackupFile> backups;
    for (const std::string& name : NamesIn(folder))
        if (IsBackupName(name)) backups.push_back({Join(folder, name), TimeIn(name)});
    std::sort(backups.begin(), backups.end(), [&](const BackupFile& a, const BackupFile& b) {
        const bool aFuture = a.made > now;
        const bool bFuture = b.made > now;
        if (aFuture != bFuture) return bFuture;
        return a.made > b.made;
    });
    return backups;
}

void Prune(const std::string& folder, int keep, const std::string& spared) {
    if (keep <= 0) return;
    const std::vector<BackupFile> backups = List(folder, QDateTime::currentDateTimeUtc());
    int kept = spared.empty() ? 0 : 1;
    for (const BackupFile& backup : backups) {
        if (backup.path == spared) continue;
        if (kept < keep)
            ++kept;
        else
            Remove(backup.path);
    }
}

void RemoveUnfinished(const std::string& folder) {
    const std::string journal = kJournalSuffix;
    for (const std::string& name : NamesIn(folder)) {
        if (IsPartName(name)) {
            RemoveAbandoned(Join(folder, name));
        } else if (name.ends_with(journal)) {
            // A journal outlives its part only when the run that wrote both was killed.
            const std::string part = name.substr(0, name.size() - journal.size());
            if (IsPartName(part) && !Exists(Join(folder, part))) Remove(Join(folder, name));
        }
    }
}

void RemoveAbandoned(const std::string& path) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (file.fd >= 0) {
        // Its writer holds the lock until the file is complete and renamed.
        if (::flock(file.fd, LOCK_EX | LOCK_NB) != 0 || !SameFile(file.fd, path)) return;
        Remove(path);
    } else if (errno != ENOENT) {
        return;
    }
    Remove(path + kJournalSuffix);
}

PartFile::PartFile(std::string path) : path_(std::move(path)) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd_ < 0) {
            failure_ = SystemErrorText(errno);
            finished_ = true;  // not ours to remove
            return;
        }
        // Another copy's clean-up may have taken the fresh file for a leftover
        // before it was locked: it is made again. A file system without the
        // lock still gets its copy, unguarded.
        if (::flock(fd_, LOCK_EX) != 0 || SameFile(fd_, path_)) return;
        ::close(fd_);
        fd_ = -1;
    }
    failure_ = SystemErrorText(ENOENT);
    finished_ = true;
}

PartFile::~PartFile() {
    if (!finished_) {
        Remove(path_);
        Remove(path_ + kJournalSuffix);
    }
    if (fd_ >= 0) ::close(fd_);
}

QString PartFile::Finish(const std::string& name) {
    QString failure = Rename(path_, name);
    if (failure.isEmpty()) finished_ = true;
    return failure;
}

std::string FreshName(const std::string& folder, const std::string& prefix) {
    QDateTime made = QDateTime::currentDateTimeUtc();
    for (;;) {
        const std::string path = Join(folder, prefix + made.toString(kStampFormat).toStdString() + "Z.db");
        if (!Exists(path) && !Exists(path + kPartSuffix)) return path;
        made = made.addMSecs(1);
    }
}

QString MakeFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0777) == 0) return {};
    const int error = errno;
    struct stat info {};
    if (error == EEXIST && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return {};
    return SystemErrorText(error == EEXIST ? ENOTDIR : error);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

long long SizeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

void Remove(const std::string& path) { ::unlink(path.c_str()); }

QString Rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? QString() : SystemErrorText(errno);
}

QString CopyFile(const std::string& from, const std::string& to, const std::function<bool()>& tick) {
    // The source is opened first: a missing one leaves nothing to remove.
    if (::access(from.c_str(), R_OK) != 0) return SystemErrorText(errno);
    PartFile out(to);
    if (!out.failure().isEmpty()) return out.failure();
    const QString failure = CopyFile(from, out, tick);
    // Renaming it to its own name only keeps it.
    return failure.isEmpty() ? out.Finish(to) : failure;
}

QString CopyFile(const std::string& from, PartFile& to, const std::function<bool()>& tick) {
    const Descriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.fd < 0) return SystemErrorText(errno);
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(in.fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return SystemErrorText(errno);
        if (got == 0) break;
        ssize_t done = 0;
        while (done < got) {
            const ssize_t put = ::write(to.fd(), buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) return SystemErrorText(errno);
            done += put;
        }
        if (tick && !tick()) return kInterrupted;
    }
    return ::fsync(to.fd()) == 0 ? QString() : SystemErrorText(errno);
}

QString SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return SystemErrorText(errno);
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    return synced == 0 ? QString() : SystemErrorText(error);
}

void SyncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace backupfiles
