#pragma once
// The second place for backups ("zalohydo" in the settings): a folder on
// another disk or a synchronised one, where each backup is copied as well.
#include <QString>
#include <functional>
#include <string>

namespace secondplace {

// The folder of a catalogue's backups in the second place `place`: named
// after the catalogue as beside it ("svazkovna.db.zalohy"). A relative
// `place` is taken from the catalogue's folder.
std::string FolderFor(const std::string& place, const std::string& catalogue);

// Copies `backup` of `catalogue` into its folder in `place` and prunes that
// folder to `keep` (0 keeps all). The place itself must exist: a disk that is
// not plugged in is not made anew under its mount point. Returns the system's
// reason for a failure, else an empty text; a cancelled copy ("interrupted")
// leaves nothing behind.
QString Mirror(const std::string& place, const std::string& catalogue, const std::string& backup, int keep,
               const std::function<bool()>& tick);

}  // namespace secondplace
