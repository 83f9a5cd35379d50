// Where the settings file lives: beside the executable where it can be
// written there, else in the user's configuration folder, starting from the
// file beside the executable.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/mount.h>
#include <unistd.h>

#include "app/core/profile_file.h"
#include "app/platform/settings_location.h"
#include "support/app_window_fixture.h"
#include "ui_main_window.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

TEST(SettingsLocationRule, Table) {
    TempDir exe, home;
    const QString beside = Q(exe.path() / "nastav.ini");
    const QString homeFile = Q(home.path() / ".config/svazkovna/nastav.ini");
    const QString xdgFile = "/xdg/svazkovna/nastav.ini";
    struct Case {
        const char* name;
        bool folderWritable;
        bool fileExists;
        bool fileWritable;
        QString configHome;
        QString path;
        QString seed;
    } cases[] = {
        {"writable folder", true, false, false, "/xdg", beside, ""},
        {"writable folder, read-only file", true, true, false, "/xdg", beside, ""},
        {"writable file in an unwritable folder", false, true, true, "/xdg", beside, ""},
        {"read-only file in an unwritable folder", false, true, false, "/xdg", xdgFile, beside},
        {"unwritable folder, no file", false, false, false, "/xdg", xdgFile, ""},
        {"no XDG_CONFIG_HOME", false, false, false, "", homeFile, ""},
        {"relative XDG_CONFIG_HOME is ignored", false, true, false, "xdg", homeFile, beside},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(beside);
        if (c.fileExists) WriteFile(exe.path() / "nastav.ini", "[nastaveni]\r\n");
        std::set<QString> asked;
        const SettingsEnvironment env{c.configHome, Q(home.path()), [&](const QString& p) {
                                          asked.insert(QDir::cleanPath(p));
                                          return p == beside ? c.fileWritable : c.folderWritable;
                                      }};
        const SettingsLocation where = LocateSettings(Q(exe.path()), env);
        EXPECT_EQ(where.path, c.path);
        EXPECT_EQ(where.seed, c.seed);
        EXPECT_EQ(where.userFolder, c.path != beside);
        // Nothing but the executable's folder and the file beside it decides.
        for (const QString& p : asked) EXPECT_TRUE(p == beside || p == Q(exe.path())) << p.toStdString();
    }
}

// The user's folder is missing and the file beside the executable is read-only:
// reading takes the seed, writing creates the folder and a writable file that
// keeps the seed's other contents, and leaves the seed as it was.
TEST(SettingsLocationRule, TheUserFolderIsMadeAndStartsFromTheSeed) {
    TempDir exe, config;
    const fs::path seed = exe.path() / "nastav.ini";
    const std::string seedBytes = "; komentar\r\n[jine]\r\nklic=1\r\n[nastaveni]\r\nwebbrowserskript=http://x/\r\n";
    WriteFile(seed, seedBytes);
    fs::permissions(seed, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const SettingsLocation where{Q(config.path() / "a/svazkovna/nastav.ini"), Q(seed), true};
    EXPECT_EQ(where.ReadPath(), Q(seed));

    where.PrepareForWriting();
    ProfileFile(where.path).WriteString("nastaveni", "databaze", "svazkovna.db");
    const std::string written = ReadFile(where.path.toStdString());
    EXPECT_EQ(profile::Lookup(written, "jine", "klic", "<absent>"), "1");
    EXPECT_EQ(profile::Lookup(written, "nastaveni", "webbrowserskript", "<absent>"), "http://x/");
    EXPECT_EQ(profile::Lookup(written, "nastaveni", "databaze", "<absent>"), "svazkovna.db");
    EXPECT_NE(fs::status(where.path.toStdString()).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(ReadFile(seed), seedBytes);
    // From now on the user's own file is read, and the seed never comes back over it.
    EXPECT_EQ(where.ReadPath(), where.path);
    WriteFile(seed, "[nastaveni]\r\nwebbrowserskript=jiny\r\n");
    where.PrepareForWriting();
    EXPECT_EQ(ReadFile(where.path.toStdString()), written);

    // Without a seed the folder is made all the same, or the first save would fail.
    const SettingsLocation bare{Q(config.path() / "b/svazkovna/nastav.ini"), {}, true};
    bare.PrepareForWriting();
    ProfileFile(bare.path).WriteString("nastaveni", "databaze", "svazkovna.db");
    EXPECT_EQ(ReadFile(bare.path.toStdString()), "[nastaveni]\r\ndatabaze=svazkovna.db\r\n");
}

// The installed program: the executable's folder is on a read-only file system
// (so that even root cannot write it), with a settings file the installation
// shipped. The window starts from that file and closes without a box, its
// settings kept in $XDG_CONFIG_HOME.
class SettingsInstalledTest : public testsupport::WindowFixture {
protected:
    void SetUp() override {
        oldConfigHome_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().c_str());
        if (geteuid() != 0) {
            why_ = "not root, so no read-only file system can be mounted";
        } else if (mount("tmpfs", exeDir.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
            why_ = std::string("mount failed: ") + std::strerror(errno);
        } else {
            mounted_ = true;
        }
    }
    void TearDown() override {
        if (mounted_) umount2(exeDir.path().c_str(), MNT_DETACH);
        qputenv("XDG_CONFIG_HOME", oldConfigHome_);
        if (oldConfigHome_.isNull()) qunsetenv("XDG_CONFIG_HOME");
    }
    bool MakeReadOnly() { return mount("tmpfs", exeDir.path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0; }

    TempDir config;
    std::string why_;
    bool mounted_ = false;
    QByteArray oldConfigHome_;
};

TEST_F(SettingsInstalledTest, StartsFromTheShippedFileAndWritesTheUsersOwn) {
    if (!mounted_) GTEST_SKIP() << why_;
    WriteFile(exeDir.path() / "nastav.ini", "[nastaveni]\r\nwebbrowserskript=http://kniha/?q=\r\n");
    ASSERT_TRUE(MakeReadOnly()) << std::strerror(errno);

    OpenWindow();
    EXPECT_EQ(window->form()->wb1skriptle->text(), "http://kniha/?q=");
    window->form()->wb1skriptle->setText("http://jinde/?q=");
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes.front().text.toStdString();

    const std::string written = ReadFile(config.path() / "svazkovna/nastav.ini");
    EXPECT_EQ(profile::Lookup(written, "nastaveni", "webbrowserskript", "<absent>"), "http://jinde/?q=");
    EXPECT_EQ(profile::Lookup(written, "nastaveni", "databaze", "<absent>"), "svazkovna.db");
    EXPECT_EQ(ReadFile(exeDir.path() / "nastav.ini"), "[nastaveni]\r\nwebbrowserskript=http://kniha/?q=\r\n");
}

}  // namespace
