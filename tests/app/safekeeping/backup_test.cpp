// Backups before the first change, restoring them, and the health check on
// opening, checked on the files with the system's SQLite library.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/mount.h>
#include <unistd.h>

#include "app/safekeeping/catalogue_backup.h"
#include "app/window/edit_dialog.h"
#include "app/safekeeping/restore_dialog.h"
#include "app/safekeeping/safekeeping_capability.h"
#include "catalogue/template_db.h"
#include "support/app_catalogue_rows.h"
#include "support/app_window_fixture.h"
#include "ui_main_window.h"
#include "ui_restore_dialog.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;
using Kind = ScriptedUi::BoxKind;

// A tmpfs mounted at `dir` (root only), unmounted at the end.
struct Tmpfs {
    Tmpfs(const std::string& dir, const char* options) : dir_(dir) {
        fs::create_directories(dir);
        mounted = geteuid() == 0 && mount("tmpfs", dir.c_str(), "tmpfs", 0, options) == 0;
    }
    ~Tmpfs() {
        if (mounted) umount2(dir_.c_str(), MNT_DETACH);
    }
    bool MakeReadOnly() { return mount("tmpfs", dir_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0; }
    std::string dir_;
    bool mounted = false;
};

// Cancels at the first report.
struct CancellingProgress : Progress {
    bool Step(long long) override { return false; }
};

class BackupTest : public WindowFixture {
protected:
    Ui::TForm1& F() { return *window->form(); }
    std::string Folder() const { return CataloguePath() + ".zalohy"; }

    // A catalogue written from the program's template (schema format 2), with `count` books.
    static void MakeTemplateCatalogue(const std::string& path, int count) {
        ASSERT_TRUE(WriteTemplateCatalogue(path));
        std::vector<Book> books;
        for (int i = 0; i < count; ++i)
            books.push_back(BookOf("Autor " + std::to_string(i % 7), "Titul " + std::to_string(i) + std::string(150, 't')));
        InsertBooks(path, books);
    }
    void Settings(const std::string& count) {
        WriteFile(exeDir.file("nastav.ini"), "[nastaveni]\r\npocetzaloh=" + count + "\r\n");
    }
    // A changed note on the first title, saved as a user saves it.
    void SaveNote(const QString& note) {
        ClickItem(Tree(), Tree().topLevelItem(0)->child(0));
        F().poznamkale->setText(note);
        F().ulozitb->click();
    }
    // "obnovit ze zálohy…", choosing the backup in `row` (newest first).
    void RestoreRow(int row, const std::function<void(Ui::TRestoreDialog&)>& check = {}) {
        ui.QueueDialog([=](QDialog& d) {
            Ui::TRestoreDialog& r = *static_cast<TRestoreDialog&>(d).form();
            if (check) check(r);
            r.zalohytv->setCurrentItem(r.zalohytv->topLevelItem(row));
            QTest::mouseClick(r.obnovitb, Qt::LeftButton);
        });
        F().obnovit->trigger();
    }
    // Names in the backup folder, oldest first.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        if (fs::is_directory(Folder()))
            for (const auto& entry : fs::directory_iterator(Folder())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    size_t Questions() const {
        return std::count_if(ui.boxes.begin(), ui.boxes.end(), [](const auto& b) { return b.kind == Kind::Question; });
    }
    void CloseWindow() {
        window->close();
        window.reset();
        editf = nullptr;
        Form1 = nullptr;
    }
};

TEST_F(BackupTest, BackupsRotateAtTheSetCountAndEachIsASoundCatalogueInTheSameFormat) {
    const struct {
        const char* setting;
        size_t kept;
    } cases[] = {{"3", 3}, {"0", 0}, {"deset", 5}};  // not a number: the default 10 keeps all five
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        fs::remove_all(Folder());
        fs::remove(CataloguePath());
        MakeTemplateCatalogue(CataloguePath(), 12);
        fs::create_directory(Folder());
        WriteFile(Folder() + "/moje.txt", "cizí soubor");
        Settings(c.setting);
        OpenWindow();
        std::vector<std::vector<Row>> before;
        for (int i = 0; i < 5; ++i) {
            // Opening the catalogue again starts a new first change.
            ui.QueueFile(QString::fromStdString(CataloguePath()));
            F().otevrit->trigger();
            before.push_back(ReadAllRows(CataloguePath()));
            SaveNote(QString("poznamka %1").arg(i));
            SaveNote(QString("druha %1").arg(i));  // not a first change: no backup
        }
        ASSERT_TRUE(ui.boxes.empty()) << ui.boxes[0].text.toStdString();
        std::vector<std::string> names = Files();
        ASSERT_EQ(names.back(), "moje.txt") << "a file of the user's stays";
        names.pop_back();
        ASSERT_EQ(names.size(), c.kept);
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string path = Folder() + "/" + names[i];
            EXPECT_EQ(IntegrityCheck(path), "ok");
            EXPECT_EQ(ReadAllRows(path), before[before.size() - names.size() + i]) << names[i];
            // Older engines refuse the newer format, so the copy keeps the catalogue's.
            EXPECT_EQ(ReadFile(path).substr(44, 4), std::string("\0\0\0\2", 4)) << names[i];
        }
        CloseWindow();
    }
}

TEST_F(BackupTest, DamagedCatalogueIsNeverWrittenAndItsNewestBackupRestoresIt) {
    const struct {
        const char* what;
        std::function<std::string(std::string)> damage;
    } cases[] = {
        {"truncated", [](std::string bytes) { return bytes.substr(0, bytes.size() / 2); }},
        {"overwritten page", [](std::string bytes) { return bytes.replace(20 * 1024, 1024, 1024, '\xA5'); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Folder());
        fs::remove(CataloguePath());
        MakeTemplateCatalogue(CataloguePath(), 300);
        const std::vector<Row> original = ReadAllRows(CataloguePath());
        OpenWindow();
        SaveNote("zmena");
        CloseWindow();
        const std::string damaged = c.damage(ReadFile(CataloguePath()));
        WriteFile(CataloguePath(), damaged);

        // Declined: the only catalogue stays open for reading only.
        ui.boxes.clear();
        ui.QueueQuestion(false);
        OpenWindow();
        ASSERT_FALSE(ui.boxes.empty());
        EXPECT_EQ(ui.boxes[0].kind, Kind::Question);
        EXPECT_TRUE(ui.boxes[0].text.contains(QString::fromUtf8("je poškozený"))) << ui.boxes[0].text.toStdString();
        EXPECT_FALSE(window->beforeCatalogueChange());
        EXPECT_THROW(window->con1.ExecStatements("delete from svazkovna"), std::exception);
        // Declined again on a switch: the fallback is the same file, which is not asked about twice.
        const size_t asked = Questions();
        ui.QueueFile(QString::fromStdString(CataloguePath()));
        F().otevrit->trigger();
        EXPECT_EQ(Questions(), asked + 1);
        EXPECT_FALSE(window->beforeCatalogueChange());
        EXPECT_EQ(ReadFile(CataloguePath()), damaged);

        // Accepted when it is opened again: the newest backup takes its place.
        ui.QueueQuestion(true);
        ui.QueueFile(QString::fromStdString(CataloguePath()));
        F().otevrit->trigger();
        EXPECT_EQ(IntegrityCheck(CataloguePath()), "ok");
        EXPECT_EQ(ReadAllRows(CataloguePath()), original);
        EXPECT_EQ(Tree().topLevelItemCount(), 7);
        const std::vector<std::string> names = Files();
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names[1].rfind("poskozeny-", 0), 0u);
        EXPECT_EQ(ReadFile(Folder() + "/" + names[1]), damaged) << "the damaged file is kept as it was";
        EXPECT_TRUE(window->beforeCatalogueChange());
        CloseWindow();
    }
}

TEST_F(BackupTest, RestoreFromTheMenuIsUndoable) {
    MakeTemplateCatalogue(CataloguePath(), 20);
    const std::vector<Row> original = ReadAllRows(CataloguePath());
    OpenWindow();
    SaveNote("zmena");
    const std::vector<Row> changed = ReadAllRows(CataloguePath());
    ASSERT_NE(changed, original);

    ui.QueueDialog([](QDialog& d) { static_cast<TRestoreDialog&>(d).form()->stornob->click(); });
    F().obnovit->trigger();
    EXPECT_EQ(ReadAllRows(CataloguePath()), changed) << "storno restores nothing";

    RestoreRow(0, [](Ui::TRestoreDialog& r) {
        ASSERT_EQ(r.zalohytv->topLevelItemCount(), 1);
        EXPECT_EQ(r.zalohytv->topLevelItem(0)->text(2), "20");
    });
    EXPECT_EQ(ReadAllRows(CataloguePath()), original);
    EXPECT_EQ(F().poznamkale->text(), "") << "the panel is emptied";
    ASSERT_EQ(Files().size(), 2u) << "the state before the restore is a backup";
    EXPECT_EQ(ReadAllRows(Folder() + "/" + Files()[1]), changed);

    RestoreRow(0);  // the newest: the state before the first restore
    EXPECT_EQ(ReadAllRows(CataloguePath()), changed);
    EXPECT_EQ(IntegrityCheck(CataloguePath()), "ok");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(fs::exists(CataloguePath() + ".obnova"));
}

TEST_F(BackupTest, CancelledBackupChangesNothingAndLeavesNoFile) {
    MakeTemplateCatalogue(CataloguePath(), 2000);
    OpenWindow();
    const std::vector<Row> before = ReadAllRows(CataloguePath());
    window->capability<SafekeepingCapability>().backups().progressInterval = std::chrono::milliseconds(0);
    window->capability<SafekeepingCapability>().backups().progressFactory = [](const QString&) { return std::make_unique<CancellingProgress>(); };
    SaveNote("zmena");
    EXPECT_EQ(ReadAllRows(CataloguePath()), before);
    EXPECT_TRUE(Files().empty());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(BackupTest, FullDiskDuringABackupLosesNothing) {
    Tmpfs small(startDir.file("maly"), "size=160k");
    if (!small.mounted) GTEST_SKIP() << "needs root to mount a small file system";
    const std::string path = startDir.file("maly/plny.db");
    MakeTemplateCatalogue(path, 300);
    WriteTemplateCatalogue(CataloguePath());
    OpenWindow();
    ui.QueueFile(QString::fromStdString(path));
    F().otevrit->trigger();
    {
        std::ofstream filler(startDir.file("maly/vypln"), std::ios::binary);
        const std::string block(512, 'f');
        while (filler.write(block.data(), block.size())) filler.flush();
    }
    const std::string bytes = ReadFile(path);
    SaveNote("plno");  // declines to go on without a backup
    ASSERT_EQ(Questions(), 1u);
    EXPECT_TRUE(ui.boxes.back().text.contains("database or disk is full"));
    EXPECT_EQ(ReadFile(path), bytes);
    EXPECT_TRUE(!fs::exists(path + ".zalohy") || fs::is_empty(path + ".zalohy")) << "no half-written backup is left";

    fs::remove(startDir.file("maly/vypln"));
    const std::vector<Row> before = ReadAllRows(path);
    SaveNote("misto");
    EXPECT_EQ(Questions(), 1u);
    const auto backups = fs::directory_iterator(path + ".zalohy");
    const fs::path backup = backups->path();
    EXPECT_EQ(ReadAllRows(backup), before);
    EXPECT_EQ(IntegrityCheck(path), "ok");
    Reconnect(CataloguePath());  // let go of the file before the unmount
}

TEST_F(BackupTest, ReadOnlyBackupFolderAsksOnceTheUserAgrees) {
    MakeTemplateCatalogue(CataloguePath(), 5);
    Tmpfs folder(Folder(), "size=64k");
    if (!folder.mounted || !folder.MakeReadOnly()) GTEST_SKIP() << "needs root to mount a read-only folder";
    OpenWindow();
    const auto note = [&] { return std::get<std::string>(ReadAllRows(CataloguePath())[0][10]); };
    SaveNote("ne");
    EXPECT_EQ(Questions(), 1u);
    EXPECT_EQ(note(), "") << "declined: the change does not happen";
    ui.QueueQuestion(true);
    SaveNote("ano");
    SaveNote("znovu");
    EXPECT_EQ(Questions(), 2u) << "agreed once, not asked again";
    EXPECT_EQ(note(), "znovu");
    EXPECT_EQ(ui.boxes.size(), 2u);
}

}  // namespace
}  // namespace testsupport
