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
// What an interrupted run left behind ("<backup name>.part") is no backup.
void RemoveUnfinished(const std::string& folder);

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
// reason for a failure, or an empty text; a failed copy is removed.
QString CopyFile(const std::string& from, const std::string& to, const std::function<bool()>& tick);
// Flushes a written file to the disk; the system's reason when that fails.
QString SyncFile(const std::string& path);
void SyncDirectory(const std::string& dir);

// The reason a cancelled copy returns.
inline const char* const kInterrupted = "interrupted";

}  // namespace backupfiles
