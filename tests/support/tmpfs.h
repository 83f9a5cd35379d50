#pragma once
// A small tmpfs mounted over a folder (root only), unmounted at the end: a
// full disk or a read-only one on demand.
#include <filesystem>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace testsupport {

struct Tmpfs {
    Tmpfs(const std::string& dir, const char* options) : dir_(dir) {
        std::filesystem::create_directories(dir);
        mounted = geteuid() == 0 && mount("tmpfs", dir.c_str(), "tmpfs", 0, options) == 0;
    }
    ~Tmpfs() {
        if (mounted) umount2(dir_.c_str(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;
    bool MakeReadOnly() { return mount("tmpfs", dir_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0; }
    std::string dir_;
    bool mounted = false;
};

}  // namespace testsupport
