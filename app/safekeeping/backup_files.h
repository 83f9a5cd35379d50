#pragma once
// The files of the backups: their folder, their names, listing, pruning and
// plain copies. Paths are the file system's bytes throughout, so a folder
// whose name is no UTF-8 (a Windows-1250 "Č" copied from an old disk) is
// found again; they become text only to be shown.
#include <QDateTime>
#include <QString>
#include <functional>
#include <string>
#include <vector>

struct BackupFile {
    std::string path;  // the file system's bytes
    QDateTime made;    // UTC, from the name
};

namespace backupfiles {

// The folder of a catalogue's backups: "svazkovna.db.zalohy" beside it.
std::string FolderOf(const std::string& catalogue);
std::string Join(const std::string& folder, const std::string& name);
std::string NameOf(const std::string& path);
std::string ParentOf(const std::string& path);
// A path as the user reads it.
QString Shown(const std::string& path);

// The backups in `folder`, newest first by the time in their names. A name
// later than `now` was made while the clock was wrong: it counts as the
// oldest, so that it neither hides nor prunes the backups made since.
std::vector<BackupFile> List(const std::string& folder, const QDateTime& now);
// Removes the backups in `folder` beyond the newest `keep` (0 keeps all),
// never `spared` (the one just made).
void Prune(const std::string& folder, int keep, const std::string& spared);
// What an interrupted run left behind ("<backup name>.part", a kept damaged
// catalogue's part, and the engine's journal of either) is no backup; a part
// that another copy of the program is writing right now is left alone.
void RemoveUnfinished(const std::string& folder);
// Removes `path` unless a live writer holds it (see PartFile); the engine's
// journal beside it goes with it.
void RemoveAbandoned(const std::string& path);

// A file being written, created empty and locked for as long as this lives, so
// that another copy of the program does not take it for a leftover. The lock
// is the file system's whole-file lock, which the engine's own locks (and the
// closing of other handles of the file) leave alone. Unless Finish renamed it,
// the file and its journal are removed when this goes.
class PartFile {
public:
    // Creates `path`, which must not exist.
    explicit PartFile(std::string path);
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    // The system's reason when the file could not be made, else empty.
    const QString& failure() const { return failure_; }
    const std::string& path() const { return path_; }
    int fd() const { return fd_; }
    // Renames the written file to `name`, still locked until this goes; the
    // system's reason when that fails, else empty.
    QString Finish(const std::string& name);

private:
    std::string path_;
    int fd_ = -1;
    bool finished_ = false;
    QString failure_;
};

// A path for a new file in `folder` named by the time now, that no file there has yet.
std::string FreshName(const std::string& folder, const std::string& prefix);
// Makes `folder` when it is missing; the system's reason when that fails, else empty.
QString MakeFolder(const std::string& folder);
bool Exists(const std::string& path);
long long SizeOf(const std::string& path);  // -1 when it cannot be read
void Remove(const std::string& path);
// Renames within one file system; the system's reason when that fails, else empty.
QString Rename(const std::string& from, const std::string& to);

// A byte-for-byte copy to `to` (which must not exist), flushed to the disk.
// `tick` returning false cancels it ("interrupted"). Returns the system's
// reason for a failure, or an empty text; a failed copy is removed, also when
// `tick` throws.
QString CopyFile(const std::string& from, const std::string& to, const std::function<bool()>& tick);
// The same into a part file held by the caller; a failed copy is left to it.
QString CopyFile(const std::string& from, PartFile& to, const std::function<bool()>& tick);
// Flushes a written file to the disk; the system's reason when that fails.
QString SyncFile(const std::string& path);
void SyncDirectory(const std::string& dir);

// The reason a cancelled copy returns.
inline const char* const kInterrupted = "interrupted";

}  // namespace backupfiles
