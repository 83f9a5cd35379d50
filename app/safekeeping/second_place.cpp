#include "app/safekeeping/second_place.h"

#include <cerrno>
#include <sys/stat.h>

#include "app/platform/system_message.h"
#include "app/safekeeping/backup_files.h"

namespace secondplace {

std::string FolderFor(const std::string& place, const std::string& catalogue) {
    const std::string base =
        !place.empty() && place.front() != '/' ? backupfiles::Join(backupfiles::ParentOf(catalogue), place) : place;
    return backupfiles::Join(base, backupfiles::NameOf(backupfiles::FolderOf(catalogue)));
}

QString Mirror(const std::string& place, const std::string& catalogue, const std::string& backup, int keep,
               const std::function<bool()>& tick) {
    const std::string folder = FolderFor(place, catalogue);
    struct stat info {};
    if (::stat(backupfiles::ParentOf(folder).c_str(), &info) != 0) return SystemErrorText(errno);
    if (!S_ISDIR(info.st_mode)) return SystemErrorText(ENOTDIR);
    if (QString failure = backupfiles::MakeFolder(folder); !failure.isEmpty()) return failure;
    backupfiles::RemoveUnfinished(folder);
    // The same name as beside the catalogue, so both places list the same backups.
    const std::string target = backupfiles::Join(folder, backupfiles::NameOf(backup));
    const std::string part = target + ".part";
    backupfiles::RemoveAbandoned(part);
    backupfiles::PartFile copy(part);
    if (!copy.failure().isEmpty()) return copy.failure();
    QString failure = backupfiles::CopyFile(backup, copy, tick);
    if (failure.isEmpty()) failure = copy.Finish(target);
    if (!failure.isEmpty()) return failure;
    backupfiles::SyncDirectory(folder);
    backupfiles::Prune(folder, keep, target);
    return {};
}

}  // namespace secondplace
